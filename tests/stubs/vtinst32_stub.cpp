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

#include "WindowKit.h"

#ifndef VTINST_NO_ENTRY
static void PressDefaultButton()
{
    char press[64];
    if (GetEnvironmentVariableA("QBX_STUB_VTINST_PRESS", press, sizeof(press)) == 0)
        return;
    const char* number = strchr(press, ' ');
    HWND hDialog = reinterpret_cast<HWND>(static_cast<INT_PTR>(_atoi64(number != NULL ? number : press)));
    if (press[0] == 'p')
        PostMessageA(hDialog, WM_COMMAND, IDOK, 0);
    else
        SendPress(GetDlgItem(hDialog, IDOK), press[0] == 'e' ? VK_RETURN : 0);
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
