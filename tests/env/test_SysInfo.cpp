// CSysInfo: the version snapshot and its classification, registry access
// under a chosen root, the administrator answer and the wait that keeps the
// window alive. Registry tests run in a private HKLM.
#include <windows.h>

#include <gtest/gtest.h>
#include <lmcons.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "EnvTest.h"
#include "ImportHook.h"
#include "PlayWindows.h"
#include "PrivateHive.h"
#include "ProgramTexts.h"
#include "Scratch.h"

namespace
{
class SysInfo : public ::testing::Test
{
protected:
    SysInfo() : m_env(kWinXP) { m_env.SetRootKey(HKEY_LOCAL_MACHINE); }

    PrivateHive m_hive;
    CPlayedSysEnv m_env;
};

bool AllPoisoned(const void* p, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (static_cast<const BYTE*>(p)[i] != kPoison)
            return false;
    return true;
}

TEST_F(SysInfo, ClassifiesEveryVersionRecord)
{
    const DWORD kMax = 0xffffffff; // compared unsigned: never "below 3"
    struct Case
    {
        WindowsVersion v;
        int kind;
    } cases[] = {
        {{0, 0, 0}, OSK_WIN32S},
        {{0, 3, 95}, OSK_WIN32S},
        {{0, 5, 1}, OSK_WIN32S},
        {{1, 4, 0}, OSK_WIN95},
        {{1, 4, 1}, OSK_WIN98},
        {{1, 4, 10}, OSK_WIN98},
        {{1, 4, 90}, OSK_WIN98},
        {{1, 4, kMax}, OSK_WIN98},
        {{1, 5, 0}, OSK_WIN9X_NEWER},
        {{1, 6, 1}, OSK_WIN9X_NEWER},
        {{1, kMax, 0}, OSK_WIN9X_NEWER},
        {{1, 3, 0}, OSK_OTHER},
        {{1, 3, 51}, OSK_OTHER},
        {{1, 0, 0}, OSK_OTHER},
        {{2, 0, 0}, OSK_NT3},
        {{2, 2, 5}, OSK_NT3},
        {{2, 2, 51}, OSK_NT3},
        {{2, 3, 0}, OSK_NT3},
        {{2, 3, 4}, OSK_NT3},
        {{2, 3, 10}, OSK_NT3},
        {{2, 3, 5}, OSK_NT35},
        {{2, 3, 50}, OSK_NT3},
        {{2, 3, 51}, OSK_NT351},
        {{2, 3, 52}, OSK_NT3},
        {{2, 3, kMax}, OSK_NT3},
        {{2, 4, 0}, OSK_NT4},
        {{2, 4, 1}, OSK_NT4},
        {{2, 4, 90}, OSK_NT4},
        {{2, 5, 0}, OSK_WIN2000},
        {{2, 5, 1}, OSK_WINXP},
        {{2, 5, 2}, OSK_WINXP},
        {{2, 6, 0}, OSK_WIN2000},
        {{2, 6, 1}, OSK_WINXP},
        {{2, 6, 2}, OSK_WINXP},
        {{2, 10, 0}, OSK_WIN2000},
        {{2, kMax, 0}, OSK_WIN2000},
        {{2, kMax, kMax}, OSK_WINXP},
        {{3, 5, 1}, OSK_OTHER},
        {{3, 4, 0}, OSK_OTHER},
        {{4, 5, 0}, OSK_OTHER},
        {{kMax, 5, 1}, OSK_OTHER},
    };
    const DWORD platforms[] = {0, 1, 2, 3, kMax};
    for (const Case& c : cases)
    {
        CPlayedSysEnv env(c.v);
        SCOPED_TRACE(testing::Message() << "platform " << c.v.platformId << ", version " << c.v.major << "."
                                        << c.v.minor);
        EXPECT_EQ(c.kind, env.OsKind());
        for (int kind = -1; kind <= 12; ++kind) // 4 is never produced; 0 is a kind like any other
            EXPECT_EQ(kind == c.kind, env.IsOsKind(kind)) << "IsOsKind(" << kind << ")";
        for (DWORD platform : platforms)
            EXPECT_EQ(platform == c.v.platformId, env.IsPlatform(platform)) << "IsPlatform(" << platform << ")";
    }
}

// The Windows directory that GetWindowsDirectoryA reports while a test
// plays a system: one too long for the caller's buffer is answered with the
// size it needs, and its beginning is written anyway, as a careless system
// might, so that only a caller who looks at the answer leaves it out.
std::string g_windowsDir;

UINT WINAPI ReportWindowsDir(LPSTR pszBuffer, UINT cchBuffer)
{
    if (g_windowsDir.size() < cchBuffer)
    {
        memcpy(pszBuffer, g_windowsDir.c_str(), g_windowsDir.size() + 1);
        return static_cast<UINT>(g_windowsDir.size());
    }
    if (cchBuffer > 0)
    {
        memcpy(pszBuffer, g_windowsDir.data(), cchBuffer - 1);
        pszBuffer[cchBuffer - 1] = '\0';
    }
    return static_cast<UINT>(g_windowsDir.size() + 1);
}

// The program's own snapshot keeps a Windows directory that fits its buffer
// whole, and one that does not fit not at all: a cut path would name
// another folder.
TEST_F(SysInfo, KeepsTheWindowsDirectoryOnlyWhenItFits)
{
    const struct
    {
        std::string dir;
        bool kept;
    } cases[] = {
        {"C:\\WINNT", true},
        {"", true},
        {"C:\\" + std::string(MAX_PATH - 4, 'd'), true}, // 259 characters and the NUL
        {"C:\\" + std::string(MAX_PATH - 3, 'd'), false},
        {"C:\\" + std::string(1000, 'd'), false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "directory of " << c.dir.size() << " characters");
        g_windowsDir = c.dir;
        ImportHook hook("kernel32.dll", "GetWindowsDirectoryA", reinterpret_cast<const void*>(&ReportWindowsDir));
        ASSERT_TRUE(hook.Installed());
        // Built in poisoned storage: a copy past the object shows behind it.
        alignas(CSysEnv) BYTE storage[sizeof(CSysEnv) + 1024];
        memset(storage, kPoison, sizeof(storage));
        CSysEnv* env = new (storage) CSysEnv;

        ASSERT_TRUE(memchr(env->m_szWindowsDir, '\0', sizeof(env->m_szWindowsDir)) != NULL);
        EXPECT_EQ(c.kept ? c.dir : std::string(), env->m_szWindowsDir);
        EXPECT_TRUE(RootKeyOf(*env) == NULL);
        EXPECT_TRUE(AllPoisoned(storage + sizeof(CSysEnv), sizeof(storage) - sizeof(CSysEnv)));
        env->~CSysEnv();
    }
}

// The copy of osprobe for one Windows version: a name of this test process
// alone, since Wine's per-program settings go by file name.
std::string ProbeName(const std::string& winVersion)
{
    return "osprobe_" + winVersion + "_" + std::to_string(GetCurrentProcessId()) + ".exe";
}

// osprobe's line when Wine plays the given Windows for it: a copy under a
// name of its own in a scratch folder (*pFolder), with Wine's per-program
// "Version" for that name, so that no other program of the prefix changes
// its Windows. All of it is removed again.
std::string RunProbeAs(const std::string& winVersion, std::string* pFolder)
{
    ScratchFolder folder("probe");
    *pFolder = folder.Path();
    const std::string name = ProbeName(winVersion);
    const ::testing::AssertionResult copied = CopyBuilt("osprobe.exe", folder.Path(), name);
    if (!copied)
        return copied.message();
    const std::string key = "Software\\Wine\\AppDefaults\\" + name;
    std::string output = "cannot set the version";
    HKEY hKey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL) == ERROR_SUCCESS)
    {
        if (RegSetValueExA(hKey, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(winVersion.c_str()),
                           static_cast<DWORD>(winVersion.size() + 1)) == ERROR_SUCCESS)
            output = RunProgram(folder.File(name)).output;
        RegCloseKey(hKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    }
    return output;
}

TEST_F(SysInfo, SnapshotOfTheWindowsWinePlays)
{
    struct Case
    {
        const char* wine;
        const char* line; // the snapshot equals what Windows reports to the probe
    } cases[] = {
        {"win2k", "kind=10 nt=1 platform=2 version=5.0 record=same windir=same"},
        {"winxp", "kind=11 nt=1 platform=2 version=5.1 record=same windir=same"},
        {"nt40", "kind=9 nt=1 platform=2 version=4.0 record=same windir=same"},
        {"win98", "kind=3 nt=0 platform=1 version=4.10 record=same windir=same"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.wine);
        std::string folder;
        EXPECT_EQ(c.line, RunProbeAs(c.wine, &folder));
        HKEY hKey;
        EXPECT_NE(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\Wine\\AppDefaults\\" + ProbeName(c.wine)).c_str(), 0,
                                KEY_READ, &hKey))
            << "left behind";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str())) << "left behind";
    }
}

TEST_F(SysInfo, RegistryOperationsFailWithoutARoot)
{
    m_hive.SetString(kProductKey, "VersionStr", "1.0");
    m_hive.CreateKey(std::string(kProductKey) + "\\Sub");
    const HiveDump before = m_hive.Dump();

    CPlayedSysEnv env(kWinXP); // no root chosen
    DWORD type = kUntouched;
    BYTE data[64];
    memset(data, kPoison, sizeof(data));
    DWORD size = sizeof(data);
    EXPECT_EQ(0, env.ReadValue(kProductKey, "VersionStr", &type, data, &size));
    EXPECT_EQ(kUntouched, type);
    EXPECT_EQ(sizeof(data), size);
    EXPECT_TRUE(AllPoisoned(data, sizeof(data)));

    char name[64], cls[64];
    memset(name, kPoison, sizeof(name));
    memset(cls, kPoison, sizeof(cls));
    DWORD nameLen = sizeof(name), classLen = sizeof(cls);
    FILETIME ft = {kUntouched, kUntouched};
    EXPECT_EQ(0, env.EnumSubKey(kProductKey, 0, name, &nameLen, cls, &classLen, &ft));
    EXPECT_EQ(sizeof(name), nameLen);
    EXPECT_EQ(sizeof(cls), classLen);
    EXPECT_TRUE(AllPoisoned(name, sizeof(name)));
    EXPECT_EQ(kUntouched, ft.dwLowDateTime);

    const DWORD seven = 7;
    EXPECT_EQ(0, env.WriteValue(kProductKey, "VersionStr", REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4));
    EXPECT_EQ(0, env.WriteValue(kProductKey, "Added", REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4));
    const HiveDump after = m_hive.Dump();
    EXPECT_TRUE(before == after) << DescribeDifference(before, after);
}

// The tables below also look at this process's handles around each call: no
// key opened by an operation may outlive it, on any way out.
TEST_F(SysInfo, ReadValuePassesTheStoredValueThroughOrFails)
{
    const std::string exact(256, 'e'), large(300, 'l');
    const DWORD dword = 0x01020304;
    m_hive.SetString(kProductKey, "Str", "1.0.3");
    m_hive.SetString(kProductKey, "Expand", "%windir%\\inf", REG_EXPAND_SZ);
    m_hive.SetDword(kProductKey, "Dword", dword);
    m_hive.SetExact(kProductKey, "Exact", REG_BINARY, exact);
    m_hive.SetExact(kProductKey, "Large", REG_BINARY, large);
    m_hive.SetExact(kProductKey, "NoNul", REG_SZ, "abc");
    m_hive.SetExact(kProductKey, "Empty", REG_SZ, "");

    struct Case
    {
        const char* key;
        const char* value;
        DWORD capacity;
        int result;
        DWORD type;
        std::string data;
    } cases[] = {
        {kProductKey, "Str", 64, 1, REG_SZ, std::string("1.0.3", 6)},
        {kProductKey, "Str", 6, 1, REG_SZ, std::string("1.0.3", 6)},
        {kProductKey, "Str", 5, 0, 0, ""},
        {kProductKey, "Expand", 64, 1, REG_EXPAND_SZ, std::string("%windir%\\inf", 13)}, // not expanded
        {kProductKey, "Dword", 64, 1, REG_DWORD, std::string(reinterpret_cast<const char*>(&dword), 4)},
        {kProductKey, "Exact", 256, 1, REG_BINARY, exact},
        {kProductKey, "Large", 256, 0, 0, ""}, // exists, but does not fit
        {kProductKey, "Large", 300, 1, REG_BINARY, large},
        // A string stored without its NUL comes back as it is: no terminator
        // in the bytes or the size.
        {kProductKey, "NoNul", 3, 1, REG_SZ, "abc"},
        {kProductKey, "NoNul", 64, 1, REG_SZ, "abc"},
        {kProductKey, "Empty", 64, 1, REG_SZ, ""},
        {kProductKey, "Missing", 64, 0, 0, ""},
        {kProductKey, "", 64, 0, 0, ""}, // the key has no unnamed value
        {"SOFTWARE\\Veltro\\Missing", "Str", 64, 0, 0, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.key << " [" << c.value << "], capacity " << c.capacity);
        BYTE data[512];
        memset(data, kPoison, sizeof(data));
        DWORD type = kUntouched;
        DWORD size = c.capacity;
        const HANDLE hNext = NextHandle();
        ASSERT_EQ(c.result, m_env.ReadValue(c.key, c.value, &type, data, &size));
        EXPECT_EQ(hNext, NextHandle()) << "a key was left open";
        EXPECT_TRUE(AllPoisoned(data + c.capacity, sizeof(data) - c.capacity)) << "written past the capacity";
        if (c.result == 1)
        {
            EXPECT_EQ(c.type, type);
            ASSERT_EQ(c.data.size(), size);
            EXPECT_EQ(c.data, std::string(reinterpret_cast<const char*>(data), size));
        }
    }
}

TEST_F(SysInfo, EnumSubKeyNamesOneSubkeyOrFails)
{
    const std::string parent = std::string(kProductKey) + "\\Enum";
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(m_hive.Root(), (parent + "\\Alpha").c_str(), 0,
                                             const_cast<char*>("ClassText"), 0, KEY_ALL_ACCESS, NULL, &hKey, NULL));
    RegCloseKey(hKey);
    m_hive.CreateKey(parent + "\\Beta");

    struct Case
    {
        std::string key;
        DWORD index;
        DWORD nameCapacity;
        DWORD classCapacity;
        int result;
        const char* name;
        const char* cls;
    } cases[] = {
        {parent, 0, 64, 64, 1, "Alpha", "ClassText"},
        {parent, 1, 64, 64, 1, "Beta", ""},
        {parent, 2, 64, 64, 0, NULL, NULL},             // past the end
        {parent + "\\Beta", 0, 64, 64, 0, NULL, NULL},  // no subkeys
        {parent + "\\Gamma", 0, 64, 64, 0, NULL, NULL}, // no such key
        {parent, 0, 5, 64, 0, NULL, NULL},              // "Alpha" and its NUL need 6
        {parent, 0, 6, 64, 1, "Alpha", "ClassText"},
        {parent, 0, 64, 9, 0, NULL, NULL}, // the class does not fit
        {parent, 0, 64, 10, 1, "Alpha", "ClassText"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.key << " #" << c.index << ", capacities " << c.nameCapacity << "/"
                                        << c.classCapacity);
        char name[128], cls[128];
        memset(name, kPoison, sizeof(name));
        memset(cls, kPoison, sizeof(cls));
        DWORD nameLen = c.nameCapacity, classLen = c.classCapacity;
        FILETIME ft = {kUntouched, kUntouched};
        const HANDLE hNext = NextHandle();
        ASSERT_EQ(c.result, m_env.EnumSubKey(c.key.c_str(), c.index, name, &nameLen, cls, &classLen, &ft));
        EXPECT_EQ(hNext, NextHandle()) << "a key was left open";
        EXPECT_TRUE(AllPoisoned(name + c.nameCapacity, sizeof(name) - c.nameCapacity));
        EXPECT_TRUE(AllPoisoned(cls + c.classCapacity, sizeof(cls) - c.classCapacity));
        if (c.result == 1)
        {
            EXPECT_STREQ(c.name, name);
            EXPECT_EQ(strlen(c.name), nameLen);
            EXPECT_STREQ(c.cls, cls);
            EXPECT_EQ(strlen(c.cls), classLen);
            EXPECT_FALSE(ft.dwLowDateTime == kUntouched && ft.dwHighDateTime == kUntouched);
        }
    }
}

TEST_F(SysInfo, WriteValueReplacesAValueAndCreatesNoKey)
{
    m_hive.SetString(kProductKey, "Mode", "old");
    HiveDump expected = m_hive.Dump();
    const std::string valuePath = std::string(kProductKey) + "\\[";
    const HANDLE hNext = NextHandle();

    const DWORD seven = 7;
    EXPECT_EQ(1, m_env.WriteValue(kProductKey, "Mode", REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4));
    expected[valuePath + "Mode]"] = HiveEntry{false, REG_DWORD, std::string("\x07\0\0\0", 4)};
    EXPECT_EQ(1, m_env.WriteValue(kProductKey, "Added", REG_BINARY, reinterpret_cast<const BYTE*>("\x01\0\x02"), 3));
    expected[valuePath + "Added]"] = HiveEntry{false, REG_BINARY, std::string("\x01\0\x02", 3)};
    // Below a missing key nothing is written, and no key is made.
    EXPECT_EQ(0, m_env.WriteValue("SOFTWARE\\Veltro\\Quellbox\\Missing", "Mode", REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&seven), 4));
    EXPECT_EQ(
        0, m_env.WriteValue("SOFTWARE\\Missing\\Deeper", "Mode", REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4));
    EXPECT_EQ(hNext, NextHandle()) << "a key was left open";
    const HiveDump actual = m_hive.Dump();
    EXPECT_TRUE(expected == actual) << DescribeDifference(expected, actual);
}

TEST_F(SysInfo, KeyTheUserMayOnlyReadIsReadButNotWritten)
{
    m_hive.SetString(kProductKey, "Mode", "old");
    m_hive.CreateKey(std::string(kProductKey) + "\\Sub");
    ASSERT_NO_FATAL_FAILURE(m_hive.MakeReadOnly(kProductKey));
    HKEY hKey;
    ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &hKey));
    const HiveDump before = m_hive.Dump();

    BYTE data[64];
    DWORD type = kUntouched, size = sizeof(data);
    EXPECT_EQ(1, m_env.ReadValue(kProductKey, "Mode", &type, data, &size));
    char name[64];
    DWORD nameLen = sizeof(name);
    EXPECT_EQ(1, m_env.EnumSubKey(kProductKey, 0, name, &nameLen, NULL, NULL, NULL));
    const DWORD seven = 7;
    EXPECT_EQ(0, m_env.WriteValue(kProductKey, "Mode", REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4));
    const HiveDump after = m_hive.Dump();
    EXPECT_TRUE(before == after) << DescribeDifference(before, after);
}

int Counter(const char* name)
{
    return atoi(GetEnv(name).c_str());
}

// This thread as the same user without the Administrators group (kept for
// deny only, as Windows gives a token filtered by User Account Control),
// for the object's lifetime.
class WithoutAdministrators
{
public:
    WithoutAdministrators() : m_bImpersonating(false)
    {
        BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD sidSize = sizeof(sid);
        HANDLE hProcess = NULL, hRestricted = NULL, hThread = NULL;
        if (CreateWellKnownSid(WinBuiltinAdministratorsSid, NULL, sid, &sidSize) &&
            OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &hProcess))
        {
            SID_AND_ATTRIBUTES disable = {sid, 0};
            if (CreateRestrictedToken(hProcess, 0, 1, &disable, 0, NULL, 0, NULL, &hRestricted) &&
                DuplicateTokenEx(hRestricted, TOKEN_IMPERSONATE | TOKEN_QUERY, NULL, SecurityImpersonation,
                                 TokenImpersonation, &hThread))
                m_bImpersonating = SetThreadToken(NULL, hThread) != FALSE;
        }
        for (HANDLE h : {hProcess, hRestricted, hThread})
            if (h != NULL)
                CloseHandle(h);
        EXPECT_TRUE(m_bImpersonating) << "no token without the Administrators group";
    }
    ~WithoutAdministrators()
    {
        if (m_bImpersonating)
            RevertToSelf();
    }

private:
    bool m_bImpersonating;
};

bool TokenHasAdministrators()
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sid);
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, NULL, sid, &sidSize) &&
           CheckTokenMembership(NULL, sid, &member) && member;
}

// The local account database decides for an account it holds; for one it
// does not hold (a domain account), the Administrators group of the
// process's token does.
TEST_F(SysInfo, AdministratorIsTheAccountsPrivilegeOnNt)
{
    char user[UNLEN + 1] = "";
    DWORD userLen = sizeof(user);
    ASSERT_TRUE(GetUserNameA(user, &userLen));
    ASSERT_TRUE(TokenHasAdministrators()) << "Wine gives every process the Administrators group";

    struct Case
    {
        const char* privilege; // NULL: the account database does not hold the user
        bool tokenAdmin;
        bool admin;
    } cases[] = {
        {"2", true, true},  {"2", false, true}, {"1", true, false},   {"1", false, false},
        {"0", true, false}, {NULL, true, true}, {NULL, false, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << (c.privilege != NULL ? c.privilege : "no account") << ", token "
                                        << (c.tokenAdmin ? "with" : "without") << " Administrators");
        ScopedEnv priv("QBX_STUB_USER_PRIV", c.privilege);
        ScopedEnv asked("QBX_STUB_NETAPI_USER", NULL);
        const int calls = Counter("QBX_STUB_NETAPI_CALLS");
        const int frees = Counter("QBX_STUB_NETAPI_FREES");
        std::unique_ptr<WithoutAdministrators> restricted(c.tokenAdmin ? NULL : new WithoutAdministrators);
        EXPECT_EQ(c.admin, CPlayedSysEnv(kWin2000).IsAdministrator());
        restricted.reset();
        EXPECT_EQ(calls + 1, Counter("QBX_STUB_NETAPI_CALLS"));
        EXPECT_EQ(user, GetEnv("QBX_STUB_NETAPI_USER"));
        if (c.privilege != NULL)
        {
            EXPECT_EQ(frees + 1, Counter("QBX_STUB_NETAPI_FREES")) << "the account record was not freed";
        }
    }

    // The stand-in answered from the system folder, where the program
    // loads the library from, not from beside this program.
    char loaded[MAX_PATH] = "";
    GetModuleFileNameA(GetModuleHandleA("netapi32.dll"), loaded, sizeof(loaded));
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof(system));
    EXPECT_EQ(0, lstrcmpiA((std::string(system) + "\\netapi32.dll").c_str(), loaded)) << loaded;
}

TEST_F(SysInfo, AdministratorWithoutLookupOutsideNt)
{
    ScopedEnv priv("QBX_STUB_USER_PRIV", "0"); // a lookup would say no
    const WindowsVersion versions[] = {kWin98, {VER_PLATFORM_WIN32_WINDOWS, 4, 0}, {VER_PLATFORM_WIN32s, 3, 95}};
    for (const WindowsVersion& v : versions)
    {
        const int calls = Counter("QBX_STUB_NETAPI_CALLS");
        EXPECT_TRUE(CPlayedSysEnv(v).IsAdministrator()) << "platform " << v.platformId;
        EXPECT_EQ(calls, Counter("QBX_STUB_NETAPI_CALLS")) << "platform " << v.platformId;
    }
}

// A window of this thread that records the messages dispatched to it.
class RecordingWindow
{
public:
    RecordingWindow()
    {
        WNDCLASSA wc;
        ZeroMemory(&wc, sizeof(wc));
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "QbxWaitRecorder";
        RegisterClassA(&wc);
        m_hWnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
        MSG msg; // nothing queued before counts
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        s_messages.clear();
    }
    ~RecordingWindow() { DestroyWindow(m_hWnd); }

    HWND Handle() const { return m_hWnd; }
    const std::vector<UINT>& Dispatched() const { return s_messages; }
    int Queued()
    {
        int n = 0;
        MSG msg;
        while (PeekMessageA(&msg, m_hWnd, WM_APP, WM_APP, PM_REMOVE))
            ++n;
        return n;
    }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_APP || message == WM_KEYDOWN || message == WM_CHAR)
            s_messages.push_back(message);
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }

    HWND m_hWnd;
    static std::vector<UINT> s_messages;
};
std::vector<UINT> RecordingWindow::s_messages;

TEST_F(SysInfo, WaitHandlesOneMessagePerTenMilliseconds)
{
    struct Case
    {
        int ms;
        int steps;
    } cases[] = {
        {100, 10}, {25, 2}, {19, 1}, {10, 1}, {9, 0}, {5, 0}, {0, 0}, {-1, 0}, {-10, 0}, {-100, 0},
    };
    const int kPosted = 25;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "WaitWithMessages(" << c.ms << ")");
        RecordingWindow window;
        for (int i = 0; i < kPosted; ++i)
            ASSERT_TRUE(PostMessageA(window.Handle(), WM_APP, i, 0));
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        m_env.WaitWithMessages(c.ms);
        QueryPerformanceCounter(&end);
        const double elapsed = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;

        EXPECT_EQ(static_cast<size_t>(c.steps), window.Dispatched().size());
        EXPECT_EQ(kPosted - c.steps, window.Queued());
        // Wine's Sleep(10) was never seen to return early (10.07 ms at the
        // least), so every step counts in full, without slack.
        EXPECT_GE(elapsed, 10.0 * c.steps);
        if (c.steps == 0)
        {
            EXPECT_LT(elapsed, 10.0) << "returns at once";
        }
    }
}

TEST_F(SysInfo, WaitTranslatesKeystrokes)
{
    RecordingWindow window;
    PostMessageA(window.Handle(), WM_KEYDOWN, 'A', 0x001e0001);
    m_env.WaitWithMessages(20); // the key in the first step, its character in the second
    const UINT expected[] = {WM_KEYDOWN, WM_CHAR};
    EXPECT_EQ(std::vector<UINT>(expected, expected + 2), window.Dispatched());
}

// Where each step of a wait ends, from counter values alone: at 3.58 MHz (a
// counter that does not divide evenly into milliseconds), 10 MHz and 3 GHz,
// at the edge of a step, in its middle, and after a handler kept the wait
// for minutes or days (a product of elapsed ticks and a million overflows
// after 51 minutes at 3 GHz). Never more than one step's sleep at once.
TEST(WaitArithmetic, SleepBeforeEachStepEnds)
{
    const LONGLONG k358MHz = 3579545, k10MHz = 10000000, k3GHz = 3000000000LL;
    const LONGLONG kDay = 86400;
    struct Case
    {
        const char* name;
        LONGLONG frequency;
        LONGLONG start;
        LONGLONG elapsed; // ticks
        int step;
        DWORD sleep;
    } cases[] = {
        {"3 GHz, at the start", k3GHz, 0, 0, 1, 10},
        {"3 GHz, 4.5 ms in", k3GHz, 0, 13500000, 1, 6},
        {"3 GHz, one tick before the step ends", k3GHz, 0, 29999999, 1, 1},
        {"3 GHz, the step's end", k3GHz, 0, 30000000, 1, 0},
        {"3 GHz, 95 ms into a 100 ms wait", k3GHz, 0, 285000000, 10, 5},
        {"3 GHz, 55 minutes", k3GHz, 0, 55 * 60 * k3GHz, 10, 0},
        {"3 GHz, three days", k3GHz, 0, 3 * kDay * k3GHz, 10, 0},
        {"3 GHz, counter running for a year", k3GHz, 365 * kDay * k3GHz, 25000000, 1, 2},
        {"3 GHz, the last step of the longest wait", k3GHz, 0, 0, 0x7FFFFFFF / 10, 10},
        {"3.58 MHz, a tick short of 10 ms", k358MHz, 0, 35795, 1, 1},
        {"3.58 MHz, 10 ms", k358MHz, 0, 35796, 1, 0},
        {"3.58 MHz, second step at 10 ms", k358MHz, 0, 35796, 2, 10},
        {"3.58 MHz, four days", k358MHz, 0, 4 * kDay * k358MHz, 10, 0},
        {"10 MHz, 25 ms into the third step", k10MHz, 0, 250000, 3, 5},
        {"10 MHz, two days", k10MHz, 0, 2 * kDay * k10MHz, 20, 0},
        {"10 MHz, counter behind the start", k10MHz, 1000, -500, 1, 10},
        {"10 MHz, counter near its top", k10MHz, 0x7FFFFFFFFFFFFFFFLL - 100000, 100000, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.sleep, CSysInfo::StepSleep(c.start, c.start + c.elapsed, c.frequency, c.step)) << c.name;
}
} // namespace
