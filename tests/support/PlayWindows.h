// PlayWindows: for its lifetime, theSysEnv answers as on another Windows (a
// version record of our choosing and a Windows directory), then returns to
// the snapshot of the running system.
#pragma once

#include "SysEnv.h"

struct WindowsVersion
{
    DWORD platformId;
    DWORD major;
    DWORD minor;
};

const WindowsVersion kWin2000 = {VER_PLATFORM_WIN32_NT, 5, 0};
const WindowsVersion kWinXP = {VER_PLATFORM_WIN32_NT, 5, 1};
const WindowsVersion kNT4 = {VER_PLATFORM_WIN32_NT, 4, 0};
const WindowsVersion kWin98 = {VER_PLATFORM_WIN32_WINDOWS, 4, 10};

// The real CSysEnv, with a snapshot of a given version record and Windows
// directory instead of the running system's.
class CPlayedSysEnv : public CSysEnv
{
public:
    CPlayedSysEnv(const WindowsVersion& v, const char* pszWindowsDir = "C:\\windows");
    int OsKind() const { return m_nOsKind; }
};

// The root that env opens registry keys under: NULL until a registry user
// chose one.
HKEY RootKeyOf(const CSysEnv& env);

class PlayWindows
{
public:
    explicit PlayWindows(const WindowsVersion& v, const char* pszWindowsDir = "C:\\windows");
    ~PlayWindows();

private:
    CSysEnv m_saved;
};
