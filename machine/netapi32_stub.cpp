// The machine's account database (netapi32.dll), a stand-in, since Wine does
// not implement it at level 11. Loaded in place of Wine's (netapi32=n) from
// the prefix's system folder. The answer is chosen through the process
// environment, which outlives the library:
//   QBX_STUB_USER_PRIV   privilege of every account (0, 1, 2); unset: no
//                        such account (NERR_UserNotFound)
// and every call is recorded there:
//   QBX_STUB_NETAPI_CALLS  number of NetUserGetInfo calls
//   QBX_STUB_NETAPI_USER   the last user name asked for, as UTF-8
//   QBX_STUB_NETAPI_FREES  number of NetApiBufferFree calls
#include <windows.h>

#include <lm.h>
#include <stdlib.h>

static void Increment(const char* name)
{
    char text[32] = "0";
    GetEnvironmentVariableA(name, text, sizeof(text));
    wsprintfA(text, "%d", atoi(text) + 1);
    SetEnvironmentVariableA(name, text);
}

extern "C" NET_API_STATUS WINAPI NetUserGetInfo(LPCWSTR servername, LPCWSTR username, DWORD level, LPBYTE* bufptr)
{
    Increment("QBX_STUB_NETAPI_CALLS");
    char user[1024] = "";
    if (username != NULL)
        WideCharToMultiByte(CP_UTF8, 0, username, -1, user, sizeof(user), NULL, NULL);
    SetEnvironmentVariableA("QBX_STUB_NETAPI_USER", user);
    *bufptr = NULL;
    if (servername != NULL || level != 11)
        return ERROR_INVALID_LEVEL;
    char priv[16];
    if (GetEnvironmentVariableA("QBX_STUB_USER_PRIV", priv, sizeof(priv)) == 0)
        return NERR_UserNotFound;
    USER_INFO_11* info = static_cast<USER_INFO_11*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(*info)));
    if (info == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    info->usri11_priv = static_cast<DWORD>(atoi(priv));
    *bufptr = reinterpret_cast<LPBYTE>(info);
    return NERR_Success;
}

extern "C" NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer)
{
    Increment("QBX_STUB_NETAPI_FREES");
    if (buffer != NULL)
        HeapFree(GetProcessHeap(), 0, buffer);
    return NERR_Success;
}
