// A library planted where a search by name would find it before the system's
// own: it exports nothing and, once loaded, leaves a file named after itself
// with ".loaded" appended, so that a test can tell it was loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH + 16];
    const DWORD length = GetModuleFileNameA(hInstance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    lstrcpyA(path + length, ".loaded");
    HANDLE hFile = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    return TRUE;
}
