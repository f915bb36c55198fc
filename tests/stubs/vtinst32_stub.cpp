// Test stand-in for the maker's installer library, VtInst32.dll. It records
// each call of its entry point in the process environment, which outlives
// the library once the program has released it:
//   QBX_STUB_VTINST_RESULT  what the entry point returns (decimal; default 1)
//   QBX_STUB_VTINST_CALLS   number of calls
//   QBX_STUB_VTINST_ARGS    "path|arg2|arg3|first byte of the buffer"
// As a real driver installation does with Windows' own warning, it can
// handle window messages while it runs, and a user can press the program's
// default button meanwhile; on its first call only:
//   QBX_STUB_VTINST_PRESS   "click HWND": a mouse click (real input) on the
//                           default button of dialog HWND (decimal), or
//                           "post HWND": WM_COMMAND(IDOK) posted to it;
//                           either way, messages are handled for 300 ms;
//                           "queue HWND": the click, then 300 ms without
//                           handling any, as an installer that blocks;
//                           "enter HWND": the Enter key, then the same
// Built a second time without the entry point (VTINST_NO_ENTRY).
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#ifndef VTINST_NO_ENTRY
static void ClickAtCentre(HWND hWnd)
{
    RECT rc;
    if (!GetWindowRect(hWnd, &rc))
        return;
    INPUT input[3];
    ZeroMemory(input, sizeof(input));
    for (INPUT& in : input)
        in.type = INPUT_MOUSE;
    input[0].mi.dx = MulDiv((rc.left + rc.right) / 2, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input[0].mi.dy = MulDiv((rc.top + rc.bottom) / 2, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, input, sizeof(INPUT));
}

static void PressEnter()
{
    INPUT input[2];
    ZeroMemory(input, sizeof(input));
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = VK_RETURN;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

static void PressDefaultButton()
{
    char press[64];
    if (GetEnvironmentVariableA("QBX_STUB_VTINST_PRESS", press, sizeof(press)) == 0)
        return;
    const char* number = strchr(press, ' ');
    HWND hDialog = reinterpret_cast<HWND>(static_cast<INT_PTR>(_atoi64(number != NULL ? number : press)));
    if (press[0] == 'p')
        PostMessageA(hDialog, WM_COMMAND, IDOK, 0);
    else if (press[0] == 'e')
        PressEnter();
    else
        ClickAtCentre(GetDlgItem(hDialog, IDOK));
    if (press[0] == 'q' || press[0] == 'e')
    {
        Sleep(300);
        return;
    }
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 300)
    {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

extern "C" int WINAPI Inst_UpdateInfDeviceDriver(const char* infPath, int arg2, int arg3, char* buffer)
{
    char text[32] = "0";
    GetEnvironmentVariableA("QBX_STUB_VTINST_CALLS", text, sizeof(text));
    const int calls = atoi(text) + 1;
    wsprintfA(text, "%d", calls);
    SetEnvironmentVariableA("QBX_STUB_VTINST_CALLS", text);
    if (calls == 1)
        PressDefaultButton();

    char args[1024];
    wsprintfA(args, "%.900s|%d|%d|%d", infPath != NULL ? infPath : "(null)", arg2, arg3,
              buffer != NULL ? static_cast<unsigned char>(buffer[0]) : -1);
    SetEnvironmentVariableA("QBX_STUB_VTINST_ARGS", args);

    char result[32];
    if (GetEnvironmentVariableA("QBX_STUB_VTINST_RESULT", result, sizeof(result)) == 0)
        return 1;
    return atoi(result);
}
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
