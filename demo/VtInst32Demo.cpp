// The maker's installer library as the demo plays it: "reinstalling" the
// device's USB driver gives every USB instance of the device an active driver
// service, as Windows records it once a driver is installed, and reports
// success. The end-to-end tests use it too, and can have it fail: with
// QBX_STUB_VTINST_RESULT set in the environment it installs nothing and
// returns that number instead (0: failure). Built with VTINST_CDECL, the
// entry point is __cdecl, as a maker's library may be although the program
// declares it WINAPI: it leaves its arguments on the stack.
#include <windows.h>

#include <stdlib.h>

#ifdef VTINST_CDECL
#define VTINST_CALL __cdecl
#else
#define VTINST_CALL WINAPI
#endif

static const char kDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10";

static void MarkDriverActive(HKEY hDevice, const char* instance)
{
    char path[300];
    wsprintfA(path, "%.255s\\Control", instance);
    HKEY hControl;
    if (RegCreateKeyExA(hDevice, path, 0, NULL, 0, KEY_SET_VALUE, NULL, &hControl, NULL) != ERROR_SUCCESS)
        return;
    static const char kService[] = "VTMfcusb";
    RegSetValueExA(hControl, "ActiveService", 0, REG_SZ, reinterpret_cast<const BYTE*>(kService), sizeof(kService));
    RegCloseKey(hControl);
}

extern "C" int VTINST_CALL Inst_UpdateInfDeviceDriver(const char*, int, int, char*)
{
    char result[16];
    const DWORD length = GetEnvironmentVariableA("QBX_STUB_VTINST_RESULT", result, sizeof(result));
    if (length != 0 && length < sizeof(result))
        return atoi(result);
    HKEY hDevice;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey, 0, KEY_READ | KEY_CREATE_SUB_KEY, &hDevice) != ERROR_SUCCESS)
        return 1;
    char instance[256];
    for (DWORD i = 0;; ++i)
    {
        DWORD length = sizeof(instance);
        if (RegEnumKeyExA(hDevice, i, instance, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        MarkDriverActive(hDevice, instance);
    }
    RegCloseKey(hDevice);
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
