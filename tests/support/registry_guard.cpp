// Runs before and after the whole suite: the Wine prefix's own HKLM must hold
// none of the keys that the tests write into their private hives, and after
// the suite no private hive may be left behind. Before the suite it clears
// hives left over by an interrupted run.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "PrivateHive.h"
#include "ProgramTexts.h"

int main(int argc, char** argv)
{
    const bool after = argc > 1 && strcmp(argv[1], "--after") == 0;
    int failures = 0;
    for (size_t i = 0; i < sizeof(kProgramKeys) / sizeof(kProgramKeys[0]); ++i)
    {
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProgramKeys[i], 0, KEY_READ, &hKey) == ERROR_SUCCESS)
        {
            RegCloseKey(hKey);
            printf("the prefix's HKLM holds %s\n", kProgramKeys[i]);
            ++failures;
        }
    }
    // Private hives are named "<test>.<process id>": one whose process is
    // gone was left behind (by a crash, or a test that forgot to clean up).
    // Hives of running processes belong to another test run on this prefix.
    HKEY hParent;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kTestHiveParent, 0, KEY_READ | KEY_WRITE, &hParent) == ERROR_SUCCESS)
    {
        char name[1024];
        for (DWORD i = 0;;)
        {
            DWORD nameLen = sizeof(name);
            if (RegEnumKeyExA(hParent, i, name, &nameLen, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            const char* dot = strrchr(name, '.');
            DWORD pid = dot != NULL ? strtoul(dot + 1, NULL, 10) : 0;
            HANDLE hProcess = pid != 0 ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid) : NULL;
            DWORD exitCode = 0;
            const bool alive = hProcess != NULL && GetExitCodeProcess(hProcess, &exitCode) && exitCode == STILL_ACTIVE;
            if (hProcess != NULL)
                CloseHandle(hProcess);
            if (alive)
            {
                ++i;
                continue;
            }
            if (after)
            {
                printf("a private hive was left behind: HKCU\\%s\\%s\n", kTestHiveParent, name);
                ++failures;
            }
            RegDeleteTreeA(hParent, name);
            RegDeleteKeyA(hParent, name);
        }
        RegCloseKey(hParent);
    }
    printf("%s: %s\n", after ? "after the suite" : "before the suite", failures ? "FAILED" : "clean");
    return failures ? 1 : 0;
}
