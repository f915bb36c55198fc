// CDialog: the dialog procedure shared by every dialog of the program.
#include "CDialog.h"

#include "CWinApp.h"

// The dialog DoModal is creating, until its WM_INITDIALOG binds it to its
// window. Every dialog of the program runs on its one user-interface thread.
CDialog* CDialog::s_pCreating = NULL;

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_pbDefault(NULL), m_nModalResult(-1),
      m_bContinueModal(FALSE), m_hWndDisabledOwner(NULL), m_nDestroy(kAlive)
{
}

CDialog::~CDialog()
{
}

INT_PTR CDialog::DoModal()
{
    // Without a parent the application's main window owns the dialog, or
    // whatever popup it shows on top, so that a dialog opened from another
    // one stays above it.
    HWND hWndOwner = NULL;
    if (m_pParentWnd != NULL)
        hWndOwner = m_pParentWnd->m_hWnd;
    else if (CWnd* pMainWnd = AfxGetMainWnd())
    {
        if (pMainWnd != this && pMainWnd->m_hWnd != NULL && ::IsWindow(pMainWnd->m_hWnd))
            hWndOwner = ::GetLastActivePopup(pMainWnd->m_hWnd);
    }
    // The owner takes no input while the dialog is up.
    m_hWndDisabledOwner = NULL;
    if (hWndOwner != NULL && ::IsWindowEnabled(hWndOwner))
    {
        ::EnableWindow(hWndOwner, FALSE);
        m_hWndDisabledOwner = hWndOwner;
    }
    m_bContinueModal = TRUE;
    // A dialog opened while another one is set up (from its OnInitDialog)
    // comes and goes within this call: the outer one is put back after it.
    CDialog* pOuter = s_pCreating;
    s_pCreating = this;
    HWND hWnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hWndOwner, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    s_pCreating = pOuter;
    if (hWnd == NULL || m_hWnd != hWnd)
    {
        if (hWnd != NULL)
            ::DestroyWindow(hWnd); // never bound: no handler of ours runs
        m_hWnd = NULL;
        EndDialog(-1);
        return -1;
    }

    RunModalLoop();
    // The window goes here and nowhere else, whatever ended the loop: the
    // destroy messages it sends now are the only ones the dialog acts on.
    if (m_bContinueModal)
        EndDialog(IDCANCEL); // WM_QUIT: hidden and the owner enabled, as EndDialog does
    if (::IsWindow(hWnd))
    {
        m_nDestroy = kDestroying;
        ::DestroyWindow(hWnd);
    }
    m_hWnd = NULL;
    m_nDestroy = kAlive;
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bContinueModal = FALSE;
    // The owner first, so that the dialog manager can hand it the activation.
    if (m_hWndDisabledOwner != NULL)
        ::EnableWindow(m_hWndDisabledOwner, TRUE);
    m_hWndDisabledOwner = NULL;
    // Hides the dialog, activates its owner and wakes the loop.
    if (m_hWnd != NULL && ::IsWindow(m_hWnd))
        ::EndDialog(m_hWnd, nResult);
}

void CDialog::RunModalLoop()
{
    HWND hWnd = m_hWnd;
    bool bShown = ::IsWindowVisible(hWnd) != FALSE;
    while (m_bContinueModal && ::IsWindow(hWnd))
    {
        MSG msg;
        if (!::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        {
            if (!bShown)
            {
                ::ShowWindow(hWnd, SW_SHOWNORMAL);
                bShown = true;
            }
            if (::GetMessageA(&msg, NULL, 0, 0) == -1)
                break;
        }
        if (msg.message == WM_QUIT)
        {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!::IsDialogMessageA(hWnd, &msg))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        // A queue that never empties still shows the dialog by the first tick.
        if (!bShown && msg.message == WM_TIMER && ::IsWindow(hWnd))
        {
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
            bShown = true;
        }
    }
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/)
{
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::Default()
{
    if (m_pbDefault != NULL)
        *m_pbDefault = TRUE;
}

void CDialog::OnSysCommand(UINT /*nID*/, LPARAM /*lParam*/)
{
    Default();
}

HCURSOR CDialog::OnQueryDragIcon()
{
    Default();
    return NULL;
}

HBRUSH CDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    // What the dialog manager would answer: it passes these messages to
    // DefWindowProc, which sets the system colours and returns their brush.
    return reinterpret_cast<HBRUSH>(::DefWindowProcA(m_hWnd, WM_CTLCOLORMSGBOX + nCtlColor,
                                                     reinterpret_cast<WPARAM>(pDC->m_hDC),
                                                     reinterpret_cast<LPARAM>(pWnd->m_hWnd)));
}

void CDialog::CenterWindow()
{
    RECT rcDlg;
    RECT rcArea;
    ::GetWindowRect(m_hWnd, &rcDlg);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0);
    RECT rcCenter = rcArea;
    HWND hWndOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hWndOwner != NULL && ::IsWindowVisible(hWndOwner) && !::IsIconic(hWndOwner))
        ::GetWindowRect(hWndOwner, &rcCenter);

    const int cx = rcDlg.right - rcDlg.left;
    const int cy = rcDlg.bottom - rcDlg.top;
    int x = (rcCenter.left + rcCenter.right - cx) / 2;
    int y = (rcCenter.top + rcCenter.bottom - cy) / 2;
    if (x + cx > rcArea.right)
        x = rcArea.right - cx;
    if (x < rcArea.left)
        x = rcArea.left;
    if (y + cy > rcArea.bottom)
        y = rcArea.bottom - cy;
    if (y < rcArea.top)
        y = rcArea.top;
    ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CDialog::ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
        lResult = OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            break;
        if (LOWORD(wParam) == IDOK)
        {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL)
        {
            OnCancel();
            return TRUE;
        }
        // Commands no dialog takes go to the application's map.
        if (CWinApp* pApp = AfxGetApp())
            return pApp->OnCmdMsg(LOWORD(wParam));
        break;
    }
    (void)lParam;
    return FALSE;
}

CDialog* CDialog::FromWindow(HWND hWnd, UINT uMsg, LPARAM lParam)
{
    CDialog* pThis = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (pThis != NULL || uMsg != WM_INITDIALOG)
        return pThis; // NULL before WM_INITDIALOG: the dialog manager answers

    // The object is taken only from the dialog that DoModal is creating on
    // this thread, never from a message's parameter alone: any program may
    // post WM_INITDIALOG with a pointer of its choosing.
    pThis = s_pCreating;
    if (pThis == NULL || reinterpret_cast<LPARAM>(pThis) != lParam)
        return NULL;
    s_pCreating = NULL;
    ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    pThis->m_hWnd = hWnd;
    return pThis;
}

LRESULT CDialog::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL* pbDefault)
{
    // Handlers may pump messages (a nested dialog, a wait), so the default
    // flag of an outer message is kept aside while this one is handled.
    *pbDefault = FALSE;
    BOOL* pbOuter = m_pbDefault;
    m_pbDefault = pbDefault;
    LRESULT lResult = 0;
    if (!ProcessWindowMessage(uMsg, wParam, lParam, lResult))
        *pbDefault = TRUE;
    m_pbDefault = pbOuter;
    return lResult;
}

LRESULT CDialog::HandleInitDialog(WPARAM wParam, LPARAM lParam, BOOL* pbDefault)
{
    // A dialog that did not place itself while it was set up is centred,
    // over the window that owns it or on the screen.
    RECT rcBefore;
    ::GetWindowRect(m_hWnd, &rcBefore);
    const LRESULT lResult = HandleMessage(WM_INITDIALOG, wParam, lParam, pbDefault);
    RECT rcAfter;
    ::GetWindowRect(m_hWnd, &rcAfter);
    if (rcAfter.left == rcBefore.left && rcAfter.top == rcBefore.top)
        CenterWindow();
    return lResult;
}

INT_PTR CDialog::DialogResult(HWND hWnd, UINT uMsg, LRESULT lResult)
{
    switch (uMsg)
    {
    // These answers are the dialog procedure's own return value...
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return static_cast<INT_PTR>(lResult);
    }
    // ...every other one goes through DWLP_MSGRESULT.
    ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, lResult);
    return TRUE;
}

BOOL CDialog::IsOwnDestroyMessage(UINT uMsg)
{
    // Any program can send or post these messages to a dialog that lives on:
    // acted on, they would unbind the object, free what the dialog shows,
    // take its font and caption away or remove what marks the window.
    if (uMsg == WM_DESTROY && m_nDestroy == kDestroying)
    {
        m_nDestroy = kDestroyed;
        return TRUE;
    }
    return uMsg == WM_NCDESTROY && m_nDestroy == kDestroyed;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    const bool bBinding = uMsg == WM_INITDIALOG && ::GetWindowLongPtrA(hWnd, DWLP_USER) == 0;
    CDialog* pThis = FromWindow(hWnd, uMsg, lParam);
    if (pThis == NULL)
        return FALSE;
    // The dialog is set up once: a WM_INITDIALOG that comes later was sent
    // or posted by someone else.
    if (uMsg == WM_INITDIALOG && !bBinding)
        return FALSE;
    if ((uMsg == WM_DESTROY || uMsg == WM_NCDESTROY) && !pThis->IsOwnDestroyMessage(uMsg))
        return TRUE; // handled: the dialog manager leaves it alone too

    BOOL bDefault = FALSE;
    const LRESULT lResult = uMsg == WM_INITDIALOG ? pThis->HandleInitDialog(wParam, lParam, &bDefault)
                                                  : pThis->HandleMessage(uMsg, wParam, lParam, &bDefault);
    if (uMsg == WM_NCDESTROY)
    {
        ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        pThis->m_hWnd = NULL;
    }
    return bDefault ? FALSE : DialogResult(hWnd, uMsg, lResult);
}
