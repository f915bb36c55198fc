// QbxMinimal: the yardstick for the wizard's start-up time and memory. One
// dialog from a small template, shown with a plain DialogBoxParam, that marks
// its window and fills its text control the way the wizard does, so that the
// benchmark finds and reads both programs alike.
#include <windows.h>

#include "MinimalRes.h"

namespace
{
// The window's mark: the instance name the framework gives QbxMinimal.exe,
// written out, so that this yardstick carries no code of the framework.
const char c_szName[] = "QbxMinimal";

INT_PTR CALLBACK MinimalProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
    {
        char szText[512];
        ::LoadStringA(::GetModuleHandleA(NULL), IDS_MINIMAL_TEXT, szText, sizeof(szText));
        ::SetDlgItemTextA(hWnd, IDC_MINIMAL_TEXT, szText);
        ::SetPropA(hWnd, c_szName, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
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
        ::RemovePropA(hWnd, c_szName);
        break;
    }
    return FALSE;
}
} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nCmdShow*/)
{
    return static_cast<int>(::DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_MINIMAL_DIALOG), NULL, MinimalProc, 0));
}
