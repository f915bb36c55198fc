// CQbxMenderApp and the program's two global objects.
#include "QbxMenderApp.h"

#include "QbxMenderDlg.h"
#include "SysEnv.h"

// The application object first, then the environment service, which takes
// its snapshot of the running Windows before any window exists. Both are
// defined here so that this order is the order of construction.
CQbxMenderApp theApp;
CSysEnv theSysEnv;

CQbxMenderApp::CQbxMenderApp()
{
}

CQbxMenderApp::~CQbxMenderApp()
{
}

BEGIN_MESSAGE_MAP(CQbxMenderApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CQbxMenderApp::InitInstance()
{
    AfxEnableControlContainer();

    // Owned by this process until it ends; the handle is never closed.
    ::CreateMutexA(NULL, TRUE, m_pszExeName);
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
    {
        // Another copy runs: bring its wizard, and whatever dialog it shows
        // over it, to the front.
        HWND hWnd = AfxFindInstanceWindow(m_pszExeName);
        if (hWnd != NULL)
        {
            // The dialog it shows is asked for before the wizard is activated:
            // the running copy may handle that activation at once, and the
            // wizard is then its own last active popup.
            HWND hPopup = ::GetLastActivePopup(hWnd);
            if (::IsIconic(hWnd))
                ::ShowWindow(hWnd, SW_RESTORE);
            ::SetForegroundWindow(hWnd);
            ::SetForegroundWindow(hPopup);
        }
        return FALSE;
    }

    Enable3dControlsStatic();
    CQbxMenderDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = NULL;
    return FALSE;
}
