// CQbxMenderDlg: the wizard's pages, its step machine, and the sequencing
// of diagnosis and repair with the texts they produce.
#include "QbxMenderDlg.h"

#include "AboutDlg.h"
#include "SysEnv.h"
#include "resource.h"

namespace
{
// The program's icon in the size the system asks for with the two metrics,
// from the image of that size in the resource. Not shared: the caller
// destroys it.
HICON LoadProgramIcon(int nMetricX, int nMetricY)
{
    return static_cast<HICON>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                           ::GetSystemMetrics(nMetricX), ::GetSystemMetrics(nMetricY),
                                           LR_DEFAULTCOLOR));
}

void DestroyProgramIcon(HICON hIcon)
{
    if (hIcon != NULL)
        ::DestroyIcon(hIcon);
}
} // namespace

CQbxMenderDlg::CQbxMenderDlg(CWnd* pParent)
    : CDialog(IDD_QBXMENDER_DIALOG, pParent), m_nStep(-1), m_hIcon(NULL), m_hSmallIcon(NULL), m_bInStep(false),
      m_bAboutShown(false)
{
    m_hIcon = LoadProgramIcon(SM_CXICON, SM_CYICON);
    m_hSmallIcon = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
}

CQbxMenderDlg::~CQbxMenderDlg()
{
    // The window that showed them is gone by now.
    DestroyProgramIcon(m_hSmallIcon);
    DestroyProgramIcon(m_hIcon);
}

void CQbxMenderDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BEGIN_MESSAGE_MAP(CQbxMenderDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_DESTROY()
END_MESSAGE_MAP()

const char* CQbxMenderDlg::InstanceName() const
{
    CWinApp* pApp = AfxGetApp();
    return pApp != NULL ? pApp->m_pszExeName : NULL;
}

BOOL CQbxMenderDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CMenu sysMenu = GetSystemMenu(FALSE);
    if (sysMenu.m_hMenu != NULL)
    {
        CString about;
        about.LoadString(IDS_ABOUTBOX);
        if (!about.IsEmpty())
        {
            sysMenu.AppendMenu(MF_SEPARATOR);
            sysMenu.AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hSmallIcon, FALSE);

    // Marks this window so that a second copy of the program can find it.
    const char* pszName = InstanceName();
    if (pszName != NULL && pszName[0] != '\0')
        ::SetPropA(m_hWnd, pszName, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));

    ShowWelcome();
    return TRUE;
}

void CQbxMenderDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX)
    {
        // One About box at a time: any program can post this command, and
        // each box would open inside the last one's modal loop.
        if (m_bAboutShown)
            return;
        m_bAboutShown = true;
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
        m_bAboutShown = false;
    }
    else
    {
        CDialog::OnSysCommand(nID, lParam);
    }
}

POINT CQbxMenderDlg::GetIconOrigin(int cxClient, int cyClient, int cxIcon, int cyIcon)
{
    POINT pt;
    pt.x = (cxClient - cxIcon + 1) / 2;
    pt.y = (cyClient - cyIcon + 1) / 2;
    return pt;
}

void CQbxMenderDlg::OnPaint()
{
    if (!IsIconic())
    {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT rect;
    GetClientRect(&rect);
    POINT pt = GetIconOrigin(rect.right - rect.left, rect.bottom - rect.top, ::GetSystemMetrics(SM_CXICON),
                             ::GetSystemMetrics(SM_CYICON));
    dc.DrawIcon(pt.x, pt.y, m_hIcon);
}

HCURSOR CQbxMenderDlg::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(m_hIcon);
}

void CQbxMenderDlg::OnDestroy()
{
    CDialog::OnDestroy();
    const char* pszName = InstanceName();
    if (pszName != NULL && pszName[0] != '\0')
        ::RemovePropA(m_hWnd, pszName);
}

void CQbxMenderDlg::SetPageText(UINT nID)
{
    CString text;
    text.LoadString(nID);
    GetDlgItem(IDC_PAGETEXT).SetWindowText(text);
}

void CQbxMenderDlg::SetButtonText(UINT nID)
{
    CString text;
    text.LoadString(nID);
    GetDlgItem(IDOK).SetWindowText(text);
}

void CQbxMenderDlg::ShowWelcome()
{
    SetPageText(IDS_WELCOME);
    SetButtonText(IDS_NEXT);
    m_progress.SetPos(0);
    m_nStep = STEP_WELCOME;
}

void CQbxMenderDlg::OnOK()
{
    // A diagnosis or repair handles window messages while it runs (its
    // pauses, the notice, the installer library with Windows' own warning),
    // and any program may send or post a click: a step never starts inside
    // another. What is still queued when it ends is discarded before the
    // default button is enabled again.
    if (m_bInStep)
        return;
    m_bInStep = true;
    switch (m_nStep)
    {
    case STEP_WELCOME:
        RunDiagnosis();
        break;
    case STEP_REPORT:
        RunRepair();
        break;
    case STEP_DONE:
        ShowWelcome();
        break;
    }
    m_bInStep = false;
}

bool CQbxMenderDlg::DisableDefaultButton()
{
    CWnd button = GetDlgItem(IDOK);
    const bool bHadFocus = ::GetFocus() == button.m_hWnd;
    button.EnableWindow(FALSE);
    return bHadFocus;
}

void CQbxMenderDlg::DiscardInputOfTheStep()
{
    // Bounded, so that a program posting without end cannot hold the step.
    const int kMaxMessages = 10000;
    const struct
    {
        HWND hWnd;
        UINT uFirst;
        UINT uLast;
    } queued[] = {
        {NULL, WM_KEYFIRST, WM_KEYLAST},
        {NULL, WM_MOUSEFIRST, WM_MOUSELAST},
        {NULL, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
        {m_hWnd, WM_COMMAND, WM_COMMAND},
        {NULL, BM_CLICK, BM_CLICK},
    };
    // The first look also takes what other threads sent meanwhile, which
    // meets a step still running. WM_QUIT comes whatever the filter: it is
    // left for the modal loops.
    for (size_t i = 0; i < sizeof(queued) / sizeof(queued[0]); ++i)
    {
        MSG msg;
        for (int n = 0; n < kMaxMessages; ++n)
        {
            if (!::PeekMessageA(&msg, queued[i].hWnd, queued[i].uFirst, queued[i].uLast, PM_REMOVE))
                break;
            if (msg.message == WM_QUIT)
            {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
        }
    }
    // A button pressed but not yet released gives up the mouse, its click
    // undone.
    if (::GetCapture() != NULL)
        ::ReleaseCapture();
}

void CQbxMenderDlg::EnableDefaultButton(bool bHadFocus)
{
    CWnd button = GetDlgItem(IDOK);
    button.EnableWindow(TRUE);
    // Disabling the button took the focus from it: the dialog manager left
    // it nowhere, where Enter would no longer act on the page, or, once a
    // dialog shown meanwhile closed, gave it to "Cancel", where Enter would
    // end the program. Give it back.
    const HWND hFocus = ::GetFocus();
    if (hFocus == NULL || (bHadFocus && hFocus != button.m_hWnd))
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button.m_hWnd), TRUE);
}

void CQbxMenderDlg::RunDiagnosis()
{
    SetPageText(IDS_DIAGNOSING);
    const bool bHadFocus = DisableDefaultButton();
    const int nResult = Diagnose();
    GetDlgItem(IDC_PAGETEXT).SetWindowText(GetReportText(nResult));
    DiscardInputOfTheStep();
    EnableDefaultButton(bHadFocus);
    if (nResult > 0)
    {
        m_nStep = STEP_REPORT;
    }
    else
    {
        SetButtonText(IDS_FINISH);
        m_nStep = STEP_DONE;
    }
}

void CQbxMenderDlg::RunRepair()
{
    SetPageText(IDS_DIAGNOSING);
    const bool bHadFocus = DisableDefaultButton();
    CString repairText;
    RepairProblems(repairText);
    GetDlgItem(IDC_PAGETEXT).SetWindowText(repairText);
    SetButtonText(IDS_FINISH);
    DiscardInputOfTheStep();
    EnableDefaultButton(bHadFocus);
    m_nStep = STEP_DONE;
}

int CQbxMenderDlg::Diagnose()
{
    m_progress.SetRange(0, 2);
    if (!theSysEnv.IsProductInstalled())
    {
        m_progress.SetPos(2);
        return DIAG_NOT_INSTALLED;
    }
    if (!theSysEnv.IsAdministrator())
    {
        m_progress.SetPos(2);
        return DIAG_NOT_ADMIN;
    }

    int nProblems = 0;
    if (m_portCheck.Check())
        ++nProblems;
    theSysEnv.WaitWithMessages(100);
    m_progress.SetPos(1);
    if (m_driverCheck.Check())
        ++nProblems;
    theSysEnv.WaitWithMessages(100);
    m_progress.SetPos(2);
    return nProblems;
}

CString CQbxMenderDlg::GetReportText(int nResult)
{
    CString text;
    CString line;
    if (m_portCheck.ProblemFound())
    {
        line.LoadString(IDS_PORT_PROBLEM);
        text += line;
    }
    if (m_driverCheck.ProblemFound())
    {
        line.LoadString(IDS_DRIVER_PROBLEM);
        text += line;
    }
    // A failed precondition replaces the problem lines: flags left from an
    // earlier diagnosis must not show.
    if (nResult > 0)
    {
        line.LoadString(IDS_CLEAR_PROBLEM);
        text += line;
    }
    else if (nResult == DIAG_NOT_INSTALLED)
        text.LoadString(IDS_NOT_INSTALLED);
    else if (nResult == DIAG_NOT_ADMIN)
        text.LoadString(IDS_NOT_ADMIN);
    else
        text.LoadString(IDS_NO_PROBLEM);
    return text;
}

void CQbxMenderDlg::RepairProblems(CString& text)
{
    text.Empty();
    CString line;
    if (m_portCheck.ProblemFound())
    {
        line.LoadString(m_portCheck.Repair() == 0 ? IDS_PORT_REPAIRED : IDS_PORT_FAILED);
        text += line;
    }
    if (m_driverCheck.ProblemFound())
    {
        line.LoadString(m_driverCheck.Repair() == 0 ? IDS_DRIVER_REPAIRED : IDS_DRIVER_FAILED);
        text += line;
    }
}
