// Test stand-in for the maker's installer library, VtInst32.dll. It records
// each call of its entry point in the process environment, which outlives
// the library once the program has released it:
//   QBX_STUB_VTINST_RESULT  what the entry point returns (decimal; default 1)
//   QBX_STUB_VTINST_CALLS   number of calls
//   QBX_STUB_VTINST_ARGS    "path|arg2|arg3|first byte of the buffer"
// Built a second time without the entry point (VTINST_NO_ENTRY).
#include <windows.h>

#include <stdlib.h>

#ifndef VTINST_NO_ENTRY
extern "C" int WINAPI Inst_UpdateInfDeviceDriver(const char* infPath, int arg2, int arg3, char* buffer)
{
    char text[32] = "0";
    GetEnvironmentVariableA("QBX_STUB_VTINST_CALLS", text, sizeof(text));
    wsprintfA(text, "%d", atoi(text) + 1);
    SetEnvironmentVariableA("QBX_STUB_VTINST_CALLS", text);

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
