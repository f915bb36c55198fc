// CSysInfo: version snapshot, registry access, account check and the wait
// that keeps the window alive.
#include "SysInfo.h"

#include <lm.h>

#include "AfxGetProcAddress.h"
#include "CHandleHolder.h"
#include "SystemLibrary.h"

namespace
{
// The spooler and account libraries are delay imports: their hooks are in
// place before anything can call into them.
const bool c_bDelayLoadHooks = (InstallDelayLoadHooks(), true);
} // namespace

CSysInfo::CSysInfo() : m_hRootKey(NULL), m_nOsKind(OSK_OTHER)
{
    m_szWindowsDir[0] = '\0';
    ZeroMemory(&m_osvi, sizeof(m_osvi));
    m_osvi.dwOSVersionInfoSize = sizeof(m_osvi);
    ::GetVersionExA(&m_osvi);
    DetectOsKind();
    if (::GetWindowsDirectoryA(m_szWindowsDir, sizeof(m_szWindowsDir)) >= sizeof(m_szWindowsDir))
        m_szWindowsDir[0] = '\0'; // too long for the buffer: nothing was stored
}

CSysInfo::CSysInfo(const OSVERSIONINFOA& osvi, const char* pszWindowsDir)
    : m_hRootKey(NULL), m_nOsKind(OSK_OTHER), m_osvi(osvi)
{
    // As in the snapshot of the running system: a directory too long for the
    // buffer is left out, not cut.
    m_szWindowsDir[0] = '\0';
    if (lstrlenA(pszWindowsDir) < static_cast<int>(sizeof(m_szWindowsDir)))
        lstrcpynA(m_szWindowsDir, pszWindowsDir, sizeof(m_szWindowsDir));
    DetectOsKind();
}

CSysInfo::~CSysInfo()
{
}

void CSysInfo::DetectOsKind()
{
    const DWORD dwMajor = m_osvi.dwMajorVersion;
    const DWORD dwMinor = m_osvi.dwMinorVersion;
    m_nOsKind = OSK_OTHER;
    switch (m_osvi.dwPlatformId)
    {
    case VER_PLATFORM_WIN32s:
        m_nOsKind = OSK_WIN32S;
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (dwMajor == 4)
            m_nOsKind = dwMinor == 0 ? OSK_WIN95 : OSK_WIN98;
        else if (dwMajor > 4)
            m_nOsKind = OSK_WIN9X_NEWER;
        break;
    case VER_PLATFORM_WIN32_NT:
        if (dwMajor < 3)
            m_nOsKind = OSK_NT3;
        else if (dwMajor == 3)
            m_nOsKind = dwMinor == 5 ? OSK_NT35 : dwMinor == 51 ? OSK_NT351 : OSK_NT3;
        else if (dwMajor == 4)
            m_nOsKind = OSK_NT4;
        else
            m_nOsKind = dwMinor == 0 ? OSK_WIN2000 : OSK_WINXP;
        break;
    }
}

namespace
{
// Closes a key opened inside one registry operation on every way out.
void CloseKey(HKEY hKey)
{
    ::RegCloseKey(hKey);
}
typedef CHandleHolder<HKEY, CloseKey> CKeyHolder;
} // namespace

int CSysInfo::ReadValue(const char* pszSubKey, const char* pszValueName, DWORD* pdwType, BYTE* pData, DWORD* pdwSize)
{
    CKeyHolder key;
    if (m_hRootKey == NULL || ::RegOpenKeyExA(m_hRootKey, pszSubKey, 0, KEY_READ, &key.m_h) != ERROR_SUCCESS)
        return 0;
    return ::RegQueryValueExA(key.m_h, pszValueName, NULL, pdwType, pData, pdwSize) == ERROR_SUCCESS ? 1 : 0;
}

int CSysInfo::WriteValue(const char* pszSubKey, const char* pszValueName, DWORD dwType, const BYTE* pData, DWORD dwSize,
                         LONG* plError)
{
    CKeyHolder key;
    LONG lError = ERROR_INVALID_HANDLE; // no root chosen
    if (m_hRootKey != NULL)
    {
        lError = ::RegOpenKeyExA(m_hRootKey, pszSubKey, 0, KEY_ALL_ACCESS, &key.m_h);
        if (lError != ERROR_SUCCESS)
            key.m_h = NULL;
        else
            lError = ::RegSetValueExA(key.m_h, pszValueName, 0, dwType, pData, dwSize);
    }
    if (plError != NULL)
        *plError = lError;
    return lError == ERROR_SUCCESS ? 1 : 0;
}

int CSysInfo::EnumSubKey(const char* pszSubKey, DWORD dwIndex, char* pszName, DWORD* pdwNameLen, char* pszClass,
                         DWORD* pdwClassLen, FILETIME* pftLastWrite)
{
    CKeyHolder key;
    if (m_hRootKey == NULL || ::RegOpenKeyExA(m_hRootKey, pszSubKey, 0, KEY_READ, &key.m_h) != ERROR_SUCCESS)
        return 0;
    return ::RegEnumKeyExA(key.m_h, dwIndex, pszName, pdwNameLen, NULL, pszClass, pdwClassLen, pftLastWrite) ==
                   ERROR_SUCCESS
               ? 1
               : 0;
}

namespace
{
typedef BOOL(WINAPI* PFN_CHECKTOKENMEMBERSHIP)(HANDLE hToken, PSID pSid, PBOOL pbIsMember);

// The built-in Administrators group, S-1-5-32-544.
struct CAdministratorsSid
{
    SID sid; // revision, two sub-authorities, the first of them
    DWORD dwAliasRid;
};
const CAdministratorsSid c_administrators = {{SID_REVISION, 2, SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID}},
                                             DOMAIN_ALIAS_RID_ADMINS};

// The logged-on user's privilege in the local account database; false when
// the database has no answer (no such account, as for a domain account).
bool GetAccountPrivilege(DWORD* pdwPriv)
{
    char szName[UNLEN + 2]; // 256 characters and the NUL
    DWORD dwSize = sizeof(szName);
    if (!::GetUserNameA(szName, &dwSize))
        return false;

    WCHAR wszName[UNLEN + 2];
    ZeroMemory(wszName, sizeof(wszName));
    // At most 256 characters come in, so the last unit stays the terminator.
    if (::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, szName, lstrlenA(szName), wszName, UNLEN + 2) < 1)
        return false;

    LPBYTE pBuffer = NULL;
    if (::NetUserGetInfo(NULL, wszName, 11, &pBuffer) != NERR_Success || pBuffer == NULL)
        return false;
    *pdwPriv = reinterpret_cast<const USER_INFO_11*>(pBuffer)->usri11_priv;
    ::NetApiBufferFree(pBuffer);
    return true;
}

// Whether this thread's token (or the process's) holds the Administrators
// group; false where Windows cannot tell.
bool IsTokenAdministrator()
{
    PFN_CHECKTOKENMEMBERSHIP pfnCheck =
        AfxGetProcAddress<PFN_CHECKTOKENMEMBERSHIP>(::GetModuleHandleA("advapi32.dll"), "CheckTokenMembership");
    BOOL bMember = FALSE;
    if (pfnCheck == NULL || !pfnCheck(NULL, const_cast<SID*>(&c_administrators.sid), &bMember))
        return false;
    return bMember != FALSE;
}
} // namespace

bool CSysInfo::IsAdministrator() const
{
    if (!IsPlatform(VER_PLATFORM_WIN32_NT))
        return true;
    // The local account database decides for the accounts it holds. A
    // domain account, which it does not hold, is an administrator when the
    // process runs with the Administrators group.
    DWORD dwPriv = 0;
    if (GetAccountPrivilege(&dwPriv))
        return dwPriv == USER_PRIV_ADMIN;
    return IsTokenAdministrator();
}

namespace
{
const int kStepMs = 10;
const ULONGLONG kStepsPerSecond = 1000 / kStepMs;
const ULONGLONG kNoLimit = ~static_cast<ULONGLONG>(0);

// Counter ticks from the start of a wait to the end of its step nStep:
// nStep * frequency / 100 rounded up, computed in two parts so that no
// product can overflow (saturating at a limit no counter reaches).
ULONGLONG StepDueTicks(ULONGLONG ullFrequency, ULONGLONG ullStep)
{
    const ULONGLONG ullWhole = ullFrequency / kStepsPerSecond;
    const ULONGLONG ullRest = ullFrequency % kStepsPerSecond;
    // ullRest < 100 and ullStep < 2^31: the product fits.
    const ULONGLONG ullRestTicks = (ullRest * ullStep + kStepsPerSecond - 1) / kStepsPerSecond;
    if (ullWhole != 0 && ullStep > (kNoLimit - ullRestTicks) / ullWhole)
        return kNoLimit;
    return ullWhole * ullStep + ullRestTicks;
}

// The dialog that a message's window belongs to: its top-level window when
// that is a dialog of the dialog manager's class, else NULL.
HWND DialogOf(HWND hWnd)
{
    if (hWnd == NULL)
        return NULL;
    HWND hRoot = ::GetAncestor(hWnd, GA_ROOT);
    char szClass[8];
    if (hRoot == NULL || ::GetClassNameA(hRoot, szClass, sizeof(szClass)) == 0 || lstrcmpA(szClass, "#32770") != 0)
        return NULL;
    return hRoot;
}

// Takes one pending message of this thread, if there is one, and handles it
// as the modal loop of its dialog would: Escape, Enter, Tab and the other
// dialog keys go to the dialog manager, everything else is dispatched.
// False once it met WM_QUIT, which it leaves for the loops outside.
bool HandleOneMessage()
{
    MSG msg;
    if (!::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        return true;
    if (msg.message == WM_QUIT)
    {
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    HWND hDlg = DialogOf(msg.hwnd);
    if (hDlg == NULL || !::IsDialogMessageA(hDlg, &msg))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return true;
}
} // namespace

DWORD CSysInfo::StepSleep(LONGLONG llStart, LONGLONG llNow, LONGLONG llFrequency, int nStep)
{
    if (llFrequency <= 0 || nStep <= 0)
        return 0;
    // A counter behind the start (one processor's counter lagging another's)
    // counts as no time passed.
    const ULONGLONG ullElapsed = llNow > llStart ? static_cast<ULONGLONG>(llNow) - static_cast<ULONGLONG>(llStart) : 0;
    const ULONGLONG ullFrequency = static_cast<ULONGLONG>(llFrequency);
    const ULONGLONG ullDue = StepDueTicks(ullFrequency, static_cast<ULONGLONG>(nStep));
    if (ullElapsed >= ullDue)
        return 0;
    const ULONGLONG ullLeft = ullDue - ullElapsed;
    // A step or more to go, or a frequency beyond any real counter's: sleep
    // one step and look again.
    if (ullLeft >= ullFrequency / kStepsPerSecond || ullLeft > (kNoLimit - ullFrequency) / 1000)
        return kStepMs;
    return static_cast<DWORD>((ullLeft * 1000 + ullFrequency - 1) / ullFrequency);
}

void CSysInfo::WaitWithMessages(int nMilliseconds)
{
    // Step n ends 10 * n ms after the start, so the time a message takes to
    // handle comes out of its step rather than adding to the pause, and a
    // system timer coarser than 10 ms does not stretch every step. Without a
    // performance counter each step simply sleeps 10 ms.
    LARGE_INTEGER liFrequency;
    LARGE_INTEGER liStart;
    const bool bTimed =
        ::QueryPerformanceFrequency(&liFrequency) && liFrequency.QuadPart > 0 && ::QueryPerformanceCounter(&liStart);
    const int nSteps = nMilliseconds / kStepMs;
    bool bHandling = true; // until WM_QUIT: the pause then only sleeps
    for (int nStep = 1; nStep <= nSteps; ++nStep)
    {
        if (bHandling)
            bHandling = HandleOneMessage();
        if (!bTimed)
        {
            ::Sleep(kStepMs);
            continue;
        }
        for (;;)
        {
            LARGE_INTEGER liNow;
            if (!::QueryPerformanceCounter(&liNow))
            {
                ::Sleep(kStepMs);
                break;
            }
            const DWORD dwSleep = StepSleep(liStart.QuadPart, liNow.QuadPart, liFrequency.QuadPart, nStep);
            if (dwSleep == 0)
                break;
            ::Sleep(dwSleep);
        }
    }
}
