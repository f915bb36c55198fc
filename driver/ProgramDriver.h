// Runs the real QbxMender.exe in a process of its own and drives its windows
// from outside, as a user at the screen would: finds the wizard by its window
// property, reads its page, clicks its buttons. Shared by the end-to-end
// tests and the demo walker.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ProgramTexts.h"
#include "WindowKit.h"

// Visible top-level windows carrying the property name, of any process.
std::vector<HWND> FindWizards(const std::string& instanceName);
// The bounding box of the process's visible top-level windows, grown by
// margin and kept on the screen.
RECT ProcessWindowsRect(DWORD pid, int margin);

// Whether the program at exePath is a 32-bit one. On 64-bit Windows such a
// program reads HKLM\SOFTWARE through Wow6432Node and finds its system
// libraries in SysWOW64.
bool Is32BitProgram(const std::string& exePath);

// A copy of the program, started from its own folder (which is also its
// current directory unless another is given) with this process's
// environment. Ended by force if it still runs at destruction.
class ProgramProcess
{
public:
    ProgramProcess();
    ~ProgramProcess();

    // currentDir: the program's own folder when empty.
    bool Start(const std::string& exePath, const std::string& currentDir = std::string());
    DWORD Id() const { return m_pi.dwProcessId; }
    bool Running() const;
    bool WaitForExit(DWORD timeoutMs = DriverWaitMs());
    void Kill();

private:
    ProgramProcess(const ProgramProcess&);
    ProgramProcess& operator=(const ProgramProcess&);
    PROCESS_INFORMATION m_pi;
};

// The wizard of one running copy, walked page by page.
class WizardDriver
{
public:
    // Called for a dialog of the program that comes up while the driver waits
    // for a page; it must see the dialog closed before it returns.
    typedef std::function<void(HWND)> DialogHandler;

    WizardDriver(DWORD pid, const std::string& instanceName);

    // Waits for the wizard to show its welcome page.
    bool Attach(DWORD timeoutMs = DriverWaitMs());
    HWND Window() const { return m_hWnd; }
    std::string Page() const { return PageText(m_hWnd); }
    std::string Button() const { return ReadItemText(m_hWnd, IDOK); }

    // Clicks the default button once it is enabled and returns the page that
    // follows, or a text starting with "(no new page" when none came.
    // Dialogs shown meanwhile go to onDialog, which must close them; without
    // one, the wait fails.
    std::string Next(const DialogHandler& onDialog = DialogHandler());
    // Opens the About box from the system menu; returns it or NULL.
    HWND OpenAbout();
    // Ends the program with "Cancel"; true when the process is gone.
    bool Cancel(ProgramProcess& process);

private:
    // A visible window that the wizard owns (the About box, the notice).
    HWND OwnedWindow() const;

    DWORD m_pid;
    std::string m_name;
    HWND m_hWnd;
};

// Ticks the notice's "Understand" box unless it is ticked; true once "OK"
// can be used.
bool TickUnderstand(HWND hNotice);
// The notice's own walk: tick "Understand", then "OK"; true once it closed.
bool AcceptNotice(HWND hNotice);
