// CSysInfo: a snapshot of the running Windows (version, its classification,
// the Windows directory), registry access under a chosen root, and the host
// actions that are not about the device. It holds no handle between calls.
#pragma once

#include <windows.h>

// Classification of the Windows version (m_nOsKind).
const int OSK_OTHER = 0;
const int OSK_WIN32S = 1;
const int OSK_WIN95 = 2;
const int OSK_WIN98 = 3; // 98 and Me
const int OSK_WIN9X_NEWER = 5;
const int OSK_NT3 = 6;
const int OSK_NT35 = 7;
const int OSK_NT351 = 8;
const int OSK_NT4 = 9;
const int OSK_WIN2000 = 10; // NT family 5 or later, minor version 0
const int OSK_WINXP = 11;   // NT family 5 or later, any other minor version

class CSysInfo
{
public:
    CSysInfo();
    virtual ~CSysInfo();

    bool IsOsKind(int nKind) const { return m_nOsKind == nKind; }
    bool IsPlatform(DWORD dwPlatformId) const { return m_osvi.dwPlatformId == dwPlatformId; }

    // Registry access under the root chosen by SetRootKey. Each call opens its
    // key, does its one thing and closes the key; 1 on success, 0 on any
    // failure (no root chosen included). Types, data and sizes pass through
    // unchanged: a read adds no terminator, a write creates no key. A write
    // can also tell why it failed: *plError is the registry's error code
    // (ERROR_FILE_NOT_FOUND for a missing key), ERROR_SUCCESS after a write.
    void SetRootKey(HKEY hRootKey) { m_hRootKey = hRootKey; }
    int ReadValue(const char* pszSubKey, const char* pszValueName, DWORD* pdwType, BYTE* pData, DWORD* pdwSize);
    int WriteValue(const char* pszSubKey, const char* pszValueName, DWORD dwType, const BYTE* pData, DWORD dwSize,
                   LONG* plError = NULL);
    int EnumSubKey(const char* pszSubKey, DWORD dwIndex, char* pszName, DWORD* pdwNameLen, char* pszClass,
                   DWORD* pdwClassLen, FILETIME* pftLastWrite);

    // True when the logged-on user's account has administrator privilege
    // in the local account database, or, for an account that database does
    // not hold, when the process runs with the Administrators group; on the
    // Windows 9x family, which has no accounts, always true.
    bool IsAdministrator() const;
    // Pauses for nMilliseconds in steps of 10 ms, handling at most one
    // pending window message of this thread before each step; keys reach the
    // dialog manager of the dialog they were typed into. A WM_QUIT is left
    // in the queue for the modal loops, and the pause then only sleeps.
    void WaitWithMessages(int nMilliseconds);
    // How long the wait sleeps before its step nStep (counted from 1) is over,
    // with the performance counter at llNow, llStart when the wait began:
    // 0 once nStep * 10 ms have passed, else the milliseconds left, rounded up
    // and at most one step. Exact for any frequency and any time elapsed.
    static DWORD StepSleep(LONGLONG llStart, LONGLONG llNow, LONGLONG llFrequency, int nStep);

    char m_szWindowsDir[MAX_PATH];

protected:
    // A snapshot of a given version record and Windows directory rather than
    // of the running system, for a build that plays another Windows.
    CSysInfo(const OSVERSIONINFOA& osvi, const char* pszWindowsDir);
    void DetectOsKind();

    HKEY m_hRootKey;
    int m_nOsKind;
    OSVERSIONINFOA m_osvi;
};
