// QbxMinimal: the yardstick for the wizard's start-up time and memory. One
// dialog from a small template, shown with a plain DialogBoxParam, that marks
// its window and fills its text control the way the wizard does, so that the
// benchmark finds and reads both programs alike.
#include <windows.h>

#include "MinimalRes.h"

namespace
{
// The instance name, as the wizard forms it: the executable's file name
// without folder and extension.
char g_szName[MAX_PATH];

void FindInstanceName()
{
    char szPath[MAX_PATH];
    DWORD nLen = ::GetModuleFileNameA(NULL, szPath, MAX_PATH);
    if (nLen == 0 || nLen >= MAX_PATH)
        nLen = 0;
    szPath[nLen] = '\0';
    const char* pszStart = szPath;
    const char* pszDot = NULL;
    for (const char* p = szPath; *p != '\0'; ++p)
    {
        if (*p == '\\' || *p == '/' || *p == ':')
            pszStart = p + 1;
        else if (*p == '.')
            pszDot = p;
    }
    int nName = pszDot != NULL && pszDot > pszStart ? static_cast<int>(pszDot - pszStart) : lstrlenA(pszStart);
    lstrcpynA(g_szName, pszStart, nName + 1);
}

INT_PTR CALLBACK MinimalProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
    {
        char szText[512];
        ::LoadStringA(::GetModuleHandleA(NULL), IDS_MINIMAL_TEXT, szText, sizeof(szText));
        ::SetDlgItemTextA(hWnd, IDC_MINIMAL_TEXT, szText);
        ::SetPropA(hWnd, g_szName, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
        {
            ::EndDialog(hWnd, LOWORD(wParam));
            return TRUE;
        }
        break;
    case WM_DESTROY:
        ::RemovePropA(hWnd, g_szName);
        break;
    }
    return FALSE;
}
} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nCmdShow*/)
{
    FindInstanceName();
    return static_cast<int>(::DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_MINIMAL_DIALOG), NULL, MinimalProc, 0));
}
