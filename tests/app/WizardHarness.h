// What the wizard's tests share: the wizard with a few observation points,
// what the user sees of it, the machine in a private hive, and the installer
// library on the search path.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "MachineImage.h"
#include "PrivateHive.h"
#include "ProgramTexts.h"
#include "QbxMenderDlg.h"
#include "Scratch.h"

// The wizard as the program runs it, with what a test cannot see from
// outside recorded on the way: the button text when the window first shows,
// the state at WM_DESTROY, and whether a step ran inside another one.
class CWizardUnderTest : public CQbxMenderDlg
{
public:
    std::string m_buttonWhenShown; // "" when WM_SHOWWINDOW never came
    bool m_bDestroyed = false;
    std::string m_pageAtDestroy;
    int m_nPosAtDestroy = -1;
    bool m_bInOkAtDestroy = false;
    HANDLE m_hPropAfterDestroy = NULL; // the instance-name property at WM_NCDESTROY
    int m_nOkDepth = 0;
    int m_nNestedSteps = 0; // OnOK calls inside OnOK that changed the step or the page
    int m_nOkCalls = 0;
    int m_nIconErases = 0;  // WM_ICONERASEBKGND with a device context, while minimised
    int m_nCancelsInOk = 0; // IDCANCEL commands that came while OnOK ran
    // The client area the window gets while minimised, from its top left
    // corner, as on a system that shows a minimised window as its icon
    // (Wine gives it none); {0, 0}: none. The icon's background is then
    // painted in kIconBackground.
    SIZE m_iconicClient = {0, 0};
    // The clip box of the device context the minimised window last erased
    // its icon's background in: what its painting could reach.
    RECT m_iconPaintClip = {0, 0, 0, 0};

protected:
    virtual void OnOK();
    virtual BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
};

const COLORREF kIconBackground = RGB(255, 0, 255);

// What the user sees of the wizard at one moment.
struct WizardView
{
    std::string page;
    std::string button;
    bool enabled;
    int pos;
    WizardView(const std::string& p, const std::string& b, bool e, int n) : page(p), button(b), enabled(e), pos(n) {}
    bool operator==(const WizardView& o) const
    {
        return page == o.page && button == o.button && enabled == o.enabled && pos == o.pos;
    }
};
WizardView ViewOf(HWND hWizard);
std::ostream& operator<<(std::ostream& os, const WizardView& v);
// "\r\n" shown as such, so that a wrong line break is visible in a failure.
std::string Escaped(const std::string& text);

int ProgressPos(HWND hWizard);
// Low and high bound of the progress bar.
std::pair<int, int> ProgressRange(HWND hWizard);

// Answers the driver notice whenever it comes up: ticks "Understand", then
// presses OK, each again as long as it has not taken. Call it from a watch.
class NoticeAnswerer
{
public:
    explicit NoticeAnswerer(HWND* phWizard) : m_nShown(0), m_phWizard(phWizard), m_hLast(NULL), m_dwLastClick(0) {}
    void Tick();

    int m_nShown;
    // Whether the wizard took input, each time the notice came up.
    std::vector<bool> m_wizardEnabledBehind;

private:
    HWND* m_phWizard;
    HWND m_hLast;
    DWORD m_dwLastClick;
};

// A private hive holding the device's machine on Windows XP (the only
// system where both checks run), with what the description leaves out: the
// account database's answer, and a service key that refuses writes.
class MachineHive : public PrivateHive
{
public:
    explicit MachineHive(const MachineImage& image, bool admin = true, bool portLocked = false);
    // The service's USB setting, or "(none)".
    std::string PortSetting() const;
};

// The stand-in installer library in a folder of its own at the front of
// PATH, for the object's lifetime. returning: what its entry point returns.
class InstallerOnPath
{
public:
    explicit InstallerOnPath(int nReturning);

private:
    ScratchFolder m_folder;
    ScopedEnv m_result;
    ScopedEnv m_path;
};
