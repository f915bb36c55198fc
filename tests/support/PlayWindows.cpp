// PlayWindows, and the environment object that the tests' code uses.
#include "PlayWindows.h"

CSysEnv theSysEnv;

static OSVERSIONINFOA MakeVersion(const WindowsVersion& v)
{
    OSVERSIONINFOA osvi;
    ZeroMemory(&osvi, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    osvi.dwPlatformId = v.platformId;
    osvi.dwMajorVersion = v.major;
    osvi.dwMinorVersion = v.minor;
    return osvi;
}

CPlayedSysEnv::CPlayedSysEnv(const WindowsVersion& v, const char* pszWindowsDir)
    : CSysEnv(MakeVersion(v), pszWindowsDir)
{
}

HKEY RootKeyOf(const CSysEnv& env)
{
    struct Peek : CSysEnv
    {
        static HKEY CSysInfo::*Root() { return &Peek::m_hRootKey; }
    };
    return env.*Peek::Root();
}

PlayWindows::PlayWindows(const WindowsVersion& v, const char* pszWindowsDir) : m_saved(theSysEnv)
{
    static_cast<CSysEnv&>(theSysEnv) = CPlayedSysEnv(v, pszWindowsDir);
}

PlayWindows::~PlayWindows()
{
    theSysEnv = m_saved;
}
