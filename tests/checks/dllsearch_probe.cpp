// Loads the installer library the way the driver repair does (or, with
// --plain, with a bare LoadLibraryA) and prints the full path it was loaded
// from. Exit code 1: loaded, 0: not found.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "SysEnv.h"
#include "UsbDriverCheck.h"

CSysEnv theSysEnv;

int main(int argc, char** argv)
{
    const bool bPlain = argc > 1 && strcmp(argv[1], "--plain") == 0;
    HMODULE hLibrary = bPlain ? ::LoadLibraryA("VtInst32.dll") : CUsbDriverCheck::LoadInstallerLibrary();
    if (hLibrary == NULL)
    {
        fputs("not loaded\n", stdout);
        return 0;
    }
    char szPath[MAX_PATH];
    DWORD nLen = ::GetModuleFileNameA(hLibrary, szPath, MAX_PATH);
    printf("%.*s\n", static_cast<int>(nLen), szPath);
    ::FreeLibrary(hLibrary);
    return 1;
}
