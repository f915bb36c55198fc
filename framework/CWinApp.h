// CWinApp: the one application object. The start-up code fills in the
// instance handle and the instance name, then runs InitInstance; the program
// has no message loop outside its modal dialogs.
#pragma once

#include <windows.h>

#include "CWnd.h"
#include "MessageMap.h"

// The framework's help command.
#define ID_HELP 0xE146

class CWinApp
{
public:
    explicit CWinApp(LPCSTR lpszAppName = NULL);
    virtual ~CWinApp();

    // Returns TRUE to keep the process running; the program's returns FALSE.
    virtual BOOL InitInstance();
    // Offers a command that no window took to the application's map.
    BOOL OnCmdMsg(UINT nID);

    HICON LoadIcon(UINT nIDResource) const;
    // Kept for the program's start-up sequence: the standard controls draw in
    // three dimensions on every supported Windows, so there is nothing to do.
    BOOL Enable3dControlsStatic() { return TRUE; }
    // The default help handler: the program ships no help file.
    void OnHelp() {}

    // The instance name in place: path cut at its last '.', then what follows
    // the last '\\', '/' or ':'. C:\Tools\Tool.exe gives Tool.
    static void ExeNameFromPath(const char* pszPath, char* pszName, int cchName);
    // Fills m_hInstance and m_pszExeName from the module's whole path, however
    // long; a path that gives no name gives "QbxMender". Called by the
    // start-up code.
    void SetCurrentHandles(HINSTANCE hInstance);

    LPCSTR m_pszAppName;
    LPCSTR m_pszExeName;
    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd;

    DECLARE_MESSAGE_MAP()

private:
    char m_szExeName[MAX_PATH];

    CWinApp(const CWinApp&);
    CWinApp& operator=(const CWinApp&);
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetResourceHandle();
// No template of the program hosts an ActiveX control: nothing to set up.
inline void AfxEnableControlContainer()
{
}
// Registers the common control classes the program's templates use.
void AfxInitCommonControls();
// The start-up sequence: instance name, common controls, InitInstance.
int AfxWinMain(HINSTANCE hInstance);
// The running program's window: the first top-level window in Z order after
// hAfter (from the top when NULL) that carries the instance name pszName as a
// window property, of the process dwProcessId or, for 0, of any; NULL when
// there is none.
HWND AfxFindInstanceWindow(LPCSTR pszName, DWORD dwProcessId = 0, HWND hAfter = NULL);
