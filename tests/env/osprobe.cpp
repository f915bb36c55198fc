// osprobe: takes the environment snapshot in a process of its own and prints
// one line about it. The version tests start it under Wine's per-program
// settings so that it runs on the Windows they choose.
#include "SysEnv.h"

#include <stdio.h>
#include <string.h>

namespace
{
class CProbeEnv : public CSysEnv
{
public:
    int OsKind() const { return m_nOsKind; }
    const OSVERSIONINFOA& Version() const { return m_osvi; }
};
} // namespace

int main()
{
    CProbeEnv env;

    // What Windows itself reports, for comparison with the snapshot.
    OSVERSIONINFOA osvi;
    ZeroMemory(&osvi, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    GetVersionExA(&osvi);
    char szDir[MAX_PATH] = "";
    GetWindowsDirectoryA(szDir, sizeof(szDir));

    const OSVERSIONINFOA& snapshot = env.Version();
    printf("kind=%d nt=%d platform=%lu version=%lu.%lu record=%s windir=%s\n", env.OsKind(),
           env.IsPlatform(VER_PLATFORM_WIN32_NT) ? 1 : 0, static_cast<unsigned long>(snapshot.dwPlatformId),
           static_cast<unsigned long>(snapshot.dwMajorVersion), static_cast<unsigned long>(snapshot.dwMinorVersion),
           memcmp(&snapshot, &osvi, sizeof(osvi)) == 0 ? "same" : "differs",
           szDir[0] != '\0' && strcmp(env.m_szWindowsDir, szDir) == 0 ? "same" : "differs");
    return 0;
}
