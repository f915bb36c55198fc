// The wizard's test harness: observation points, the walking user, machine
// states and the installer library on PATH.
#include "WizardHarness.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

#include "WindowDriver.h"
#include "resource.h"

const char kUsbControlKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10\\6&2c8e1f0&0&1\\Control";

namespace
{
const DWORD kStepTimeoutMs = 10000;
const DWORD kClickRetryMs = 500;
// A posted click is handled before the next timer tick; the gap only keeps
// the notice's two clicks apart on screen.
const DWORD kNoticeClickGapMs = 100;

Walkthrough* g_pWalk = NULL;
} // namespace

CWizardUnderTest::CWizardUnderTest()
    : m_bDestroyed(false), m_nPosAtDestroy(-1), m_bInOkAtDestroy(false), m_hPropAfterDestroy(NULL), m_nOkDepth(0),
      m_nNestedSteps(0), m_nOkCalls(0), m_nIconErases(0), m_nCancelsInOk(0)
{
    m_iconicClient.cx = 0;
    m_iconicClient.cy = 0;
}

void CWizardUnderTest::OnOK()
{
    ++m_nOkCalls;
    const int nStep = m_nStep;
    const std::string page = PageText(m_hWnd);
    ++m_nOkDepth;
    CQbxMenderDlg::OnOK();
    --m_nOkDepth;
    if (m_nOkDepth > 0 && (m_nStep != nStep || PageText(m_hWnd) != page))
        ++m_nNestedSteps;
}

BOOL CWizardUnderTest::ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    switch (uMsg)
    {
    case WM_SHOWWINDOW:
        if (wParam && m_buttonWhenShown.empty())
            m_buttonWhenShown = GetItemText(m_hWnd, IDOK);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && m_nOkDepth != 0)
            ++m_nCancelsInOk;
        break;
    case WM_ICONERASEBKGND:
        if (wParam != 0 && ::IsIconic(m_hWnd))
        {
            ++m_nIconErases;
            if (m_iconicClient.cx != 0 || m_iconicClient.cy != 0)
            {
                HBRUSH hBrush = ::CreateSolidBrush(kIconBackground);
                RECT rect = {0, 0, m_iconicClient.cx, m_iconicClient.cy};
                ::FillRect(reinterpret_cast<HDC>(wParam), &rect, hBrush);
                ::DeleteObject(hBrush);
            }
        }
        break;
    case WM_NCCALCSIZE:
        if (::IsIconic(m_hWnd) && (m_iconicClient.cx != 0 || m_iconicClient.cy != 0))
        {
            // The proposed window rectangle comes first either way.
            RECT* pRect = reinterpret_cast<RECT*>(lParam);
            pRect->right = pRect->left + m_iconicClient.cx;
            pRect->bottom = pRect->top + m_iconicClient.cy;
            lResult = 0;
            return TRUE;
        }
        break;
    case WM_DESTROY:
        m_bDestroyed = true;
        m_pageAtDestroy = PageText(m_hWnd);
        m_nPosAtDestroy = ProgressPos(m_hWnd);
        m_bInOkAtDestroy = m_nOkDepth != 0;
        break;
    case WM_NCDESTROY:
        m_hPropAfterDestroy = ::GetPropA(m_hWnd, AfxGetApp()->m_pszExeName);
        break;
    }
    return CQbxMenderDlg::ProcessWindowMessage(uMsg, wParam, lParam, lResult);
}

std::string PageText(HWND hWizard)
{
    return GetItemText(hWizard, IDC_PAGETEXT);
}

bool ButtonEnabled(HWND hWizard)
{
    return IsWindowEnabled(GetDlgItem(hWizard, IDOK)) != FALSE;
}

int ProgressPos(HWND hWizard)
{
    return static_cast<int>(SendDlgItemMessageA(hWizard, IDC_PROGRESS, PBM_GETPOS, 0, 0));
}

std::pair<int, int> ProgressRange(HWND hWizard)
{
    PBRANGE range = {-1, -1};
    SendDlgItemMessageA(hWizard, IDC_PROGRESS, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    return std::make_pair(range.iLow, range.iHigh);
}

WizardView ViewOf(HWND hWizard)
{
    WizardView v = {PageText(hWizard), GetItemText(hWizard, IDOK), ButtonEnabled(hWizard), ProgressPos(hWizard)};
    return v;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\r')
            out += "\\r";
        else if (text[i] == '\n')
            out += "\\n";
        else
            out += text[i];
    }
    return out;
}

std::ostream& operator<<(std::ostream& os, const WizardView& v)
{
    return os << "{\"" << Escaped(v.page) << "\", \"" << v.button << "\", " << (v.enabled ? "enabled" : "disabled")
              << ", " << v.pos << "}";
}

Walkthrough::Walkthrough() : m_next(0), m_since(GetTickCount()), m_bInTick(false)
{
    EXPECT_EQ(NULL, g_pWalk) << "one walk at a time";
    g_pWalk = this;
    m_timer = SetTimer(NULL, 0, 10, OnTimer);
}

Walkthrough::~Walkthrough()
{
    KillTimer(NULL, m_timer);
    g_pWalk = NULL;
}

Walkthrough& Walkthrough::When(const std::string& what, const Ready& ready, const Act& act)
{
    m_steps.push_back(Step{what, ready, act, 0});
    return *this;
}

Walkthrough& Walkthrough::Then(const std::string& what, const Act& act)
{
    return When(
        what, [] { return true; }, act);
}

Walkthrough& Walkthrough::After(DWORD ms, const std::string& what, const Act& act)
{
    m_steps.push_back(Step{what, [] { return true; }, act, ms});
    return *this;
}

Walkthrough& Walkthrough::Click(const std::string& what, const std::function<HWND()>& dialog, int id,
                                const Ready& taken)
{
    std::shared_ptr<DWORD> pClicked(new DWORD(0));
    Then("click for " + what,
         [dialog, id, pClicked]
         {
             *pClicked = GetTickCount();
             PostClick(dialog(), id);
         });
    return When(
        what,
        [dialog, id, taken, pClicked]
        {
            if (taken())
                return true;
            if (GetTickCount() - *pClicked > kClickRetryMs)
            {
                *pClicked = GetTickCount();
                PostClick(dialog(), id);
            }
            return false;
        },
        [] {});
}

void Walkthrough::Settle()
{
    while (!Done() && m_steps[m_next].afterMs == 0 && m_steps[m_next].ready())
        m_steps[m_next++].act();
}

std::string Walkthrough::Pending() const
{
    return Done() ? "(none)" : "step " + std::to_string(m_next) + ": " + m_steps[m_next].what;
}

void CALLBACK Walkthrough::OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (g_pWalk != NULL && g_pWalk->m_timer == id)
        g_pWalk->Tick();
}

namespace
{
BOOL CALLBACK CancelDialog(HWND hWnd, LPARAM)
{
    char cls[16];
    if (GetClassNameA(hWnd, cls, sizeof(cls)) && strcmp(cls, "#32770") == 0)
        PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}
} // namespace

void Walkthrough::Tick()
{
    if (m_bInTick)
        return;
    m_bInTick = true;
    if (m_watch)
        m_watch();
    if (Done())
    {
        if (GetTickCount() - m_since > kStepTimeoutMs)
        {
            ADD_FAILURE() << "a dialog stayed up after the last step";
            m_since = GetTickCount();
            EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
        }
    }
    else
    {
        const Step& step = m_steps[m_next];
        const DWORD waited = GetTickCount() - m_since;
        if (waited >= step.afterMs && step.ready())
        {
            Act act = step.act;
            ++m_next;
            m_since = GetTickCount();
            act();
        }
        else if (waited > kStepTimeoutMs + step.afterMs)
        {
            ADD_FAILURE() << "waited in vain for " << Pending();
            m_next = m_steps.size();
            EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
        }
    }
    m_bInTick = false;
}

void NoticeAnswerer::Tick()
{
    HWND hNotice = FindThreadDialog(kNoticeCaption);
    if (hNotice == NULL)
        return;
    if (hNotice != m_hLast)
    {
        m_hLast = hNotice;
        ++m_nShown;
        m_wizardEnabledBehind.push_back(IsWindowEnabled(*m_phWizard) != FALSE);
    }
    else if (GetTickCount() - m_dwLastClick < kNoticeClickGapMs)
    {
        return;
    }
    m_dwLastClick = GetTickCount();
    const bool bTicked = IsDlgButtonChecked(hNotice, IDC_UNDERSTAND) == BST_CHECKED;
    PostClick(hNotice, bTicked ? IDOK : IDC_UNDERSTAND);
}

MachineHive::MachineHive(const Machine& m)
{
    SetEnvironmentVariableA("QBX_STUB_USER_PRIV", m.admin ? "2" : "1"); // USER_PRIV_ADMIN, USER_PRIV_USER
    if (m.installed)
        SetString(kProductKey, "VersionStr", "1.00");
    AddPrinter(kDefaultPrinter, kUsbPort);
    SetString(kServiceKey, "0", m.port == PortRight ? kUsbSetting : "VTvLpt0");
    if (m.port == PortWrongLocked)
        MakeReadOnly(kServiceKey);
    const std::string control = kUsbControlKey;
    SetString(control.substr(0, control.rfind('\\')), "DeviceDesc", "USB Printing Support");
    if (m.driver == DriverActive)
        SetString(kUsbControlKey, "ActiveService", "usbprint");
}

std::string MachineHive::PortSetting() const
{
    const std::string value = Value(kServiceKey, "0");
    return value.substr(0, value.find('\0'));
}

InstallerOnPath::InstallerOnPath(int nReturning)
    : m_folder("installer"), m_result("QBX_STUB_VTINST_RESULT", std::to_string(nReturning)),
      m_path("PATH", PathWith(m_folder.Path()))
{
    EXPECT_TRUE(CopyBuilt("stubs\\vtinst32_stub.dll", m_folder.Path(), "VtInst32.dll"));
}
