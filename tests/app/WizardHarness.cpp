// The wizard's test harness: observation points, what the user sees, the
// machine in a private hive and the installer library on PATH.
#include "WizardHarness.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "WindowDriver.h"
#include "resource.h"

namespace
{
// A posted click is handled before the next timer tick; the gap only keeps
// the notice's two clicks apart on screen.
const DWORD kNoticeClickGapMs = 100;
} // namespace

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
            m_buttonWhenShown = ReadItemText(m_hWnd, IDOK);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && m_nOkDepth != 0)
            ++m_nCancelsInOk;
        break;
    case WM_ICONERASEBKGND:
        if (wParam != 0 && ::IsIconic(m_hWnd))
        {
            ++m_nIconErases;
            ::GetClipBox(reinterpret_cast<HDC>(wParam), &m_iconPaintClip);
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
    return WizardView(PageText(hWizard), ReadItemText(hWizard, IDOK), ButtonEnabled(hWizard), ProgressPos(hWizard));
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

MachineHive::MachineHive(const MachineImage& image, bool admin, bool portLocked)
{
    SetEnvironmentVariableA("QBX_STUB_USER_PRIV", admin ? "2" : "1"); // USER_PRIV_ADMIN, USER_PRIV_USER
    KeySink sink(Root());
    EXPECT_TRUE(WriteMachine(image, sink)) << "the machine could not be written";
    if (portLocked)
        MakeReadOnly(kServiceKey);
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
