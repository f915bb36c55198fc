// Runs before and after the whole suite: the Wine prefix's own HKLM must hold
// none of the keys that the tests write into their private hives, and after
// the suite no private hive may be left behind. Before the suite it clears
// hives left over by an interrupted run.
#include <windows.h>

#include <stdio.h>
#include <string.h>

static const char* const kProgramKeys[] = {
    "SOFTWARE\\Veltro",
    "SYSTEM\\CurrentControlSet\\Services\\VTsmfpi",
    "SYSTEM\\ControlSet001\\Services\\VTsmfpi",
    "SYSTEM\\ControlSet002\\Services\\VTsmfpi",
    "SYSTEM\\ControlSet003\\Services\\VTsmfpi",
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Corvana R310/R520 Series",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\QbxTest Printer",
};
static const char kHiveParent[] = "Software\\QbxMenderTests\\TestHive";

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
    HKEY hParent;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kHiveParent, 0, KEY_READ, &hParent) == ERROR_SUCCESS)
    {
        DWORD subKeys = 0;
        RegQueryInfoKeyA(hParent, NULL, NULL, NULL, &subKeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
        RegCloseKey(hParent);
        if (subKeys != 0 && after)
        {
            printf("%lu private hives were left behind under HKCU\\%s\n", static_cast<unsigned long>(subKeys),
                   kHiveParent);
            ++failures;
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, kHiveParent);
    }
    printf("%s: %s\n", after ? "after the suite" : "before the suite", failures ? "FAILED" : "clean");
    return failures ? 1 : 0;
}
