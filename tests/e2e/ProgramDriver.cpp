// Driving the program from another process: a process of its own with a
// chosen environment, windows found by walking the desktop's top-level
// windows.
#include "ProgramDriver.h"

#include <stdlib.h>
#include <string.h>

namespace
{
// How long the program's thread may take to answer a message.
UINT SendTimeoutMs()
{
    return DriverWaitMs() / 4;
}

DWORD WindowProcess(HWND hWnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    return pid;
}

// The desktop's top-level windows in Z order, as the program walks them.
std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    for (HWND hWnd = GetWindow(GetDesktopWindow(), GW_CHILD); hWnd != NULL; hWnd = GetWindow(hWnd, GW_HWNDNEXT))
        windows.push_back(hWnd);
    return windows;
}

bool SameName(const std::string& entry, const std::string& name)
{
    // Skips the first character: the current-directory entries ("=C:=...")
    // begin with the separator.
    const size_t eq = entry.find('=', 1);
    return eq != std::string::npos && eq == name.size() && _strnicmp(entry.c_str(), name.c_str(), eq) == 0;
}

// This process's environment with the changes applied, as CreateProcess
// takes it.
std::vector<char> BuildEnvironment(const std::vector<std::string>& changes)
{
    std::vector<std::string> vars;
    LPCH block = GetEnvironmentStringsA();
    for (LPCH p = block; *p != '\0'; p += strlen(p) + 1)
        vars.push_back(p);
    FreeEnvironmentStringsA(block);

    for (size_t i = 0; i < changes.size(); ++i)
    {
        const std::string& change = changes[i];
        const std::string name = change.substr(0, change.find('='));
        for (size_t j = vars.size(); j-- > 0;)
        {
            if (SameName(vars[j], name))
                vars.erase(vars.begin() + j);
        }
        if (change.size() > name.size() + 1)
            vars.push_back(change);
    }

    std::vector<char> env;
    for (size_t i = 0; i < vars.size(); ++i)
        env.insert(env.end(), vars[i].c_str(), vars[i].c_str() + vars[i].size() + 1);
    env.push_back('\0');
    return env;
}
} // namespace

std::vector<HWND> FindWizards(const std::string& instanceName)
{
    std::vector<HWND> found;
    const std::vector<HWND> windows = TopLevelWindows();
    for (size_t i = 0; i < windows.size(); ++i)
    {
        if (IsWindowVisible(windows[i]) && GetPropA(windows[i], instanceName.c_str()) != NULL)
            found.push_back(windows[i]);
    }
    return found;
}

HWND FindWizard(DWORD pid, const std::string& instanceName)
{
    const std::vector<HWND> wizards = FindWizards(instanceName);
    for (size_t i = 0; i < wizards.size(); ++i)
    {
        if (WindowProcess(wizards[i]) == pid)
            return wizards[i];
    }
    return NULL;
}

RECT ProcessWindowsRect(DWORD pid, int margin)
{
    RECT box;
    SetRectEmpty(&box);
    const std::vector<HWND> windows = TopLevelWindows();
    for (size_t i = 0; i < windows.size(); ++i)
    {
        RECT rc;
        if (IsWindowVisible(windows[i]) && WindowProcess(windows[i]) == pid && GetWindowRect(windows[i], &rc))
            UnionRect(&box, &box, &rc);
    }
    InflateRect(&box, margin, margin);
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&box, &box, &screen);
    return box;
}

bool Is32BitProgram(const std::string& exePath)
{
    DWORD type = SCS_64BIT_BINARY;
    return GetBinaryTypeA(exePath.c_str(), &type) && type == SCS_32BIT_BINARY;
}

ProgramProcess::ProgramProcess()
{
    ZeroMemory(&m_pi, sizeof(m_pi));
}

ProgramProcess::~ProgramProcess()
{
    Kill();
}

bool ProgramProcess::Start(const std::string& exePath, const std::vector<std::string>& env,
                           const std::string& currentDir)
{
    Kill();
    std::string folder = !currentDir.empty() ? currentDir : exePath.substr(0, exePath.find_last_of("\\/"));
    std::string commandLine = "\"" + exePath + "\"";
    std::vector<char> block = BuildEnvironment(env);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    return CreateProcessA(exePath.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, &block[0], folder.c_str(), &si,
                          &m_pi) != FALSE;
}

bool ProgramProcess::Running() const
{
    return m_pi.hProcess != NULL && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool ProgramProcess::WaitForExit(DWORD timeoutMs)
{
    return WaitFor([this] { return !Running(); }, timeoutMs);
}

void ProgramProcess::Kill()
{
    if (m_pi.hProcess == NULL)
        return;
    if (Running())
    {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
    ZeroMemory(&m_pi, sizeof(m_pi));
}

WizardDriver::WizardDriver(DWORD pid, const std::string& instanceName) : m_pid(pid), m_name(instanceName), m_hWnd(NULL)
{
}

bool WizardDriver::Attach(DWORD timeoutMs)
{
    const auto shown = [this]
    {
        m_hWnd = FindWizard(m_pid, m_name);
        return m_hWnd != NULL && !Page().empty() && ButtonEnabled();
    };
    if (!WaitFor(shown, timeoutMs))
        return false;
    // The dialog manager shows (and activates) the wizard once its queue
    // first runs empty; wait for that, so it cannot undo what comes next.
    HANDLE hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, m_pid);
    if (hProcess != NULL)
    {
        WaitForInputIdle(hProcess, timeoutMs);
        CloseHandle(hProcess);
    }
    SettleWindow(m_hWnd);
    return true;
}

std::string WizardDriver::Page() const
{
    return ReadItemText(m_hWnd, kPageTextId);
}

std::string WizardDriver::Button() const
{
    return ReadItemText(m_hWnd, IDOK);
}

bool WizardDriver::ButtonEnabled() const
{
    HWND hButton = GetDlgItem(m_hWnd, IDOK);
    return hButton != NULL && IsWindowEnabled(hButton);
}

std::string WizardDriver::Next(const DialogHandler& onDialog)
{
    if (!WaitFor([this] { return ButtonEnabled() && IsWindowEnabled(m_hWnd); }))
        return "(no new page: the button stayed disabled)";
    const std::string before = Page();
    PostClick(m_hWnd, IDOK);

    std::string page;
    std::string unexpected;
    const auto arrived = [&]
    {
        // A dialog over the wizard: the page cannot change before it closes.
        for (HWND hDialog = OwnedWindow(); hDialog != NULL; hDialog = OwnedWindow())
        {
            if (onDialog)
                onDialog(hDialog);
            if (!onDialog || !WaitFor([hDialog] { return !IsWindowVisible(hDialog); }))
            {
                char caption[256] = "";
                GetWindowTextA(hDialog, caption, sizeof(caption));
                unexpected = caption[0] != '\0' ? caption : "(no caption)";
                return true;
            }
        }
        page = Page();
        return page != before && page != kDiagnosingPage && ButtonEnabled() && IsWindowEnabled(m_hWnd);
    };
    const bool done = WaitFor(arrived);
    if (!unexpected.empty())
        return "(no new page: unexpected dialog \"" + unexpected + "\")";
    if (!done)
        return "(no new page; the page still reads \"" + Page() + "\")";
    return page;
}

HWND WizardDriver::OwnedWindow() const
{
    const std::vector<HWND> windows = TopLevelWindows();
    for (size_t i = 0; i < windows.size(); ++i)
    {
        if (IsWindowVisible(windows[i]) && GetWindow(windows[i], GW_OWNER) == m_hWnd)
            return windows[i];
    }
    return NULL;
}

HWND WizardDriver::OpenAbout()
{
    PostMessageA(m_hWnd, WM_SYSCOMMAND, kAboutCommand, 0);
    HWND hAbout = NULL;
    WaitFor([&] { return (hAbout = FindDialog(m_pid, kAboutCaption)) != NULL; });
    return hAbout;
}

bool WizardDriver::Cancel(ProgramProcess& process)
{
    PostClick(m_hWnd, IDCANCEL);
    return process.WaitForExit();
}

bool TickUnderstand(HWND hNotice)
{
    DWORD_PTR state = BST_UNCHECKED;
    SendMessageTimeoutA(GetDlgItem(hNotice, kUnderstandId), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs(),
                        &state);
    if (state != BST_CHECKED)
        PostClick(hNotice, kUnderstandId);
    return WaitFor([hNotice] { return IsWindowEnabled(GetDlgItem(hNotice, IDOK)) != FALSE; });
}

bool AcceptNotice(HWND hNotice)
{
    if (!TickUnderstand(hNotice))
        return false;
    PostClick(hNotice, IDOK);
    return WaitFor([hNotice] { return !IsWindow(hNotice); });
}

void SettleWindow(HWND hWnd)
{
    DWORD_PTR result;
    SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs(), &result);
    WaitFor([] { return false; }, 300);
}
