// CWinApp: the application object and the program's start-up sequence.
#include "CWinApp.h"

#include <commctrl.h>

#include "AfxGetProcAddress.h"

static CWinApp* s_pApp = NULL;

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_pszAppName(lpszAppName), m_pszExeName(NULL), m_hInstance(NULL), m_pMainWnd(NULL)
{
    m_szExeName[0] = '\0';
    s_pApp = this;
}

CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = NULL;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

BOOL CWinApp::ProcessWindowMessage(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*lResult*/)
{
    return FALSE;
}

BOOL CWinApp::OnCmdMsg(UINT nID)
{
    LRESULT lResult = 0;
    return ProcessWindowMessage(WM_COMMAND, MAKEWPARAM(nID, 0), 0, lResult);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

void CWinApp::ExeNameFromPath(const char* pszPath, char* pszName, int cchName)
{
    if (cchName <= 0)
        return;
    int nEnd = lstrlenA(pszPath);
    for (int i = nEnd - 1; i >= 0; --i)
    {
        if (pszPath[i] == '.')
        {
            nEnd = i;
            break;
        }
    }
    int nStart = 0;
    for (int i = 0; i < nEnd; ++i)
    {
        if (pszPath[i] == '\\' || pszPath[i] == '/' || pszPath[i] == ':')
            nStart = i + 1;
    }
    int nLen = nEnd - nStart;
    if (nLen > cchName - 1)
        nLen = cchName - 1;
    for (int i = 0; i < nLen; ++i)
        pszName[i] = pszPath[nStart + i];
    pszName[nLen] = '\0';
}

namespace
{
// The name every copy of the program shares when its file name gives none
// (a file named ".exe").
const char c_szFallbackExeName[] = "QbxMender";

// The executable's whole path in a heap block the caller frees, however long
// it is; NULL when it cannot be had.
char* GetModulePath(HINSTANCE hInstance)
{
    const DWORD nMaxSize = 2 * 32768; // past the longest path Windows has
    for (DWORD nSize = MAX_PATH; nSize <= nMaxSize; nSize *= 2)
    {
        char* pszPath = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, nSize));
        if (pszPath == NULL)
            return NULL;
        // A path cut to the buffer fills it (Windows 2000 and XP leave it
        // without a terminator): only a shorter one is whole.
        const DWORD nLen = ::GetModuleFileNameA(hInstance, pszPath, nSize);
        if (nLen != 0 && nLen < nSize)
        {
            pszPath[nLen] = '\0';
            return pszPath;
        }
        ::HeapFree(::GetProcessHeap(), 0, pszPath);
        if (nLen == 0)
            return NULL;
    }
    return NULL;
}
} // namespace

void CWinApp::SetCurrentHandles(HINSTANCE hInstance)
{
    m_hInstance = hInstance;
    m_szExeName[0] = '\0';
    if (char* pszPath = GetModulePath(hInstance))
    {
        ExeNameFromPath(pszPath, m_szExeName, MAX_PATH);
        ::HeapFree(::GetProcessHeap(), 0, pszPath);
    }
    // The name is the single-instance mutex's and the wizard's mark: an
    // empty one would let any number of copies run.
    if (m_szExeName[0] == '\0')
        lstrcpynA(m_szExeName, c_szFallbackExeName, MAX_PATH);
    if (m_pszExeName == NULL)
        m_pszExeName = m_szExeName;
    if (m_pszAppName == NULL)
        m_pszAppName = m_pszExeName;
}

CWinApp* AfxGetApp()
{
    return s_pApp;
}

CWnd* AfxGetMainWnd()
{
    return s_pApp != NULL ? s_pApp->m_pMainWnd : NULL;
}

HINSTANCE AfxGetResourceHandle()
{
    return ::GetModuleHandleA(NULL);
}

void AfxInitCommonControls()
{
    INITCOMMONCONTROLSEX icc;
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_PROGRESS_CLASS;
    ::InitCommonControlsEx(&icc);
}

HWND AfxFindInstanceWindow(LPCSTR pszName, DWORD dwProcessId, HWND hAfter)
{
    HWND hWnd = hAfter != NULL ? ::GetWindow(hAfter, GW_HWNDNEXT) : ::GetWindow(::GetDesktopWindow(), GW_CHILD);
    for (; hWnd != NULL; hWnd = ::GetWindow(hWnd, GW_HWNDNEXT))
    {
        DWORD dwOwner = 0;
        ::GetWindowThreadProcessId(hWnd, &dwOwner);
        if ((dwProcessId == 0 || dwOwner == dwProcessId) && ::GetPropA(hWnd, pszName) != NULL)
            return hWnd;
    }
    return NULL;
}

namespace
{
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
typedef BOOL(WINAPI* PFN_SETDLLDIRECTORYA)(LPCSTR lpPathName);
typedef BOOL(WINAPI* PFN_SETDEFAULTDLLDIRECTORIES)(DWORD dwDirectoryFlags);

// Narrows the search for libraries loaded by name from here on: the current
// directory leaves it (XP SP1 and later), and where Windows can (8, or 7 with
// its update) only the system folder remains. Both are looked up, so that
// the program still starts on Windows 2000. The program's own loads name
// full paths and do not depend on this.
void ProtectLibrarySearch()
{
    HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    PFN_SETDLLDIRECTORYA pfnSetDllDirectory = AfxGetProcAddress<PFN_SETDLLDIRECTORYA>(hKernel, "SetDllDirectoryA");
    if (pfnSetDllDirectory != NULL)
        pfnSetDllDirectory("");
    PFN_SETDEFAULTDLLDIRECTORIES pfnSetDefaultDllDirectories =
        AfxGetProcAddress<PFN_SETDEFAULTDLLDIRECTORIES>(hKernel, "SetDefaultDllDirectories");
    if (pfnSetDefaultDllDirectories != NULL)
        pfnSetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
} // namespace

int AfxWinMain(HINSTANCE hInstance)
{
    ProtectLibrarySearch();
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL)
        return -1;
    pApp->SetCurrentHandles(hInstance);
    AfxInitCommonControls();
    pApp->InitInstance();
    return 0;
}
