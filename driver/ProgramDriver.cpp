// Driving the program from another process: a process of its own, windows
// found among the desktop's top-level windows.
#include "ProgramDriver.h"

#include "CWinApp.h"

namespace
{
// How long the program's thread may take to answer a message.
UINT SendTimeoutMs()
{
    return DriverWaitMs() / 4;
}
} // namespace

std::vector<HWND> FindWizards(const std::string& instanceName)
{
    std::vector<HWND> found;
    const char* name = instanceName.c_str();
    for (HWND hWnd = AfxFindInstanceWindow(name); hWnd != NULL; hWnd = AfxFindInstanceWindow(name, 0, hWnd))
        if (IsWindowVisible(hWnd))
            found.push_back(hWnd);
    return found;
}

RECT ProcessWindowsRect(DWORD pid, int margin)
{
    RECT box;
    SetRectEmpty(&box);
    for (HWND hWnd : TopLevelWindows(pid))
    {
        RECT rc;
        if (GetWindowRect(hWnd, &rc))
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

bool ProgramProcess::Start(const std::string& exePath, const std::string& currentDir)
{
    Kill();
    std::string folder = !currentDir.empty() ? currentDir : exePath.substr(0, exePath.find_last_of("\\/"));
    std::string commandLine = "\"" + exePath + "\"";
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    return CreateProcessA(exePath.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(), &si, &m_pi) !=
           FALSE;
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
        m_hWnd = AfxFindInstanceWindow(m_name.c_str(), m_pid);
        return m_hWnd != NULL && IsWindowVisible(m_hWnd) && !Page().empty() && ButtonEnabled(m_hWnd);
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

std::string WizardDriver::Next(const DialogHandler& onDialog)
{
    // A program that crashed has no wizard left to wait for.
    const auto gone = [this] { return !IsWindow(m_hWnd); };
    if (!WaitFor([&] { return gone() || (ButtonEnabled(m_hWnd) && IsWindowEnabled(m_hWnd)); }))
        return "(no new page: the button stayed disabled)";
    if (gone())
        return "(no new page: the wizard is gone)";
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
        return gone() ||
               (page != before && page != kDiagnosingPage && ButtonEnabled(m_hWnd) && IsWindowEnabled(m_hWnd));
    };
    const bool done = WaitFor(arrived);
    if (gone())
        return "(no new page: the wizard is gone)";
    if (!unexpected.empty())
        return "(no new page: unexpected dialog \"" + unexpected + "\")";
    if (!done)
        return "(no new page; the page still reads \"" + Page() + "\")";
    return page;
}

HWND WizardDriver::OwnedWindow() const
{
    for (HWND hWnd : TopLevelWindows(m_pid))
        if (GetWindow(hWnd, GW_OWNER) == m_hWnd)
            return hWnd;
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
