// CUsbDriverCheck: the check over private registry hives, the repair through
// the stand-in installer library, and the folders that library may be loaded
// from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlayWindows.h"
#include "PrivateHive.h"
#include "UsbDriverCheck.h"
#include "WindowDriver.h"
#include "resource.h"

namespace
{
const char kEnumKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10";
const char kProductKey[] = "SOFTWARE\\Veltro\\Quellbox";
const char kPrinter[] = "QbxTest Printer";
const char kUsbPort[] = "QBXUSB1:";
const char kInstance[] = "5&1d7a2d3&0&2";
const char kNoticeCaption[] = "Information for Windows XP users";

// The product installed, its printer on the given port; no printer for NULL.
void InstallProduct(PrivateHive& hive, const char* pszPort)
{
    hive.SetString(kProductKey, "VersionStr", "1.00");
    hive.SetString(kProductKey, "PRINTERNAME", kPrinter);
    if (pszPort != NULL)
        hive.AddPrinter(kPrinter, pszPort);
}

std::string ControlKey(const std::string& instance)
{
    return std::string(kEnumKey) + "\\" + instance + "\\Control";
}

// What one USB instance of the device holds below its key.
enum Driver
{
    NoControl,      // never got as far as a driver
    ControlOnly,    // "Control" without "ActiveService"
    ServiceSz,      // the usual string
    ServiceEmpty,   // REG_NONE without data: still a value
    ServiceTooLong, // 257 bytes: more than the check reads
};

void AddInstance(PrivateHive& hive, const std::string& name, Driver driver)
{
    // Made below the enumeration key's handle: Wine's ANSI registry calls
    // take key paths of at most 260 characters, and instance names here
    // reach 256.
    HKEY hEnum, hInstance;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(hive.Root(), kEnumKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hEnum, NULL));
    LONG rc = RegCreateKeyExA(hEnum, name.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hInstance, NULL);
    RegCloseKey(hEnum);
    ASSERT_EQ(ERROR_SUCCESS, rc) << name;
    RegCloseKey(hInstance);
    switch (driver)
    {
    case NoControl:
        break;
    case ControlOnly:
        hive.SetDword(ControlKey(name), "DeviceReference", 0x2a);
        break;
    case ServiceSz:
        hive.SetString(ControlKey(name), "ActiveService", "usbprint");
        break;
    case ServiceEmpty:
        hive.SetValue(ControlKey(name), "ActiveService", REG_NONE, "", 0);
        break;
    case ServiceTooLong:
        hive.SetString(ControlKey(name), "ActiveService", std::string(256, 'u'));
        break;
    }
}

// The registry root theSysEnv would use next. Every registry read of the
// unit (and of the printer lookup) chooses it first.
struct SysEnvRoot : CSysEnv
{
    static HKEY Current() { return theSysEnv.*(&SysEnvRoot::m_hRootKey); }
};

bool SameVersion(const WindowsVersion& a, const WindowsVersion& b)
{
    return a.platformId == b.platformId && a.major == b.major && a.minor == b.minor;
}

DWORD StoredSize(const PrivateHive& hive, const std::string& key, const char* pszValue)
{
    HKEY hKey;
    DWORD dwSize = 0xdeadbeef;
    if (RegOpenKeyExA(hive.Root(), key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return dwSize;
    RegQueryValueExA(hKey, pszValue, NULL, NULL, NULL, &dwSize);
    RegCloseKey(hKey);
    return dwSize;
}

// A variable of this process's environment, "" when it is not set.
std::string GetEnv(const char* pszName)
{
    char szValue[2048];
    DWORD nLen = GetEnvironmentVariableA(pszName, szValue, sizeof(szValue));
    return nLen < sizeof(szValue) ? std::string(szValue, nLen) : "(too long)";
}

// The folder of the test program, with its trailing backslash.
std::string ProgramFolder()
{
    char szPath[MAX_PATH];
    DWORD nLen = GetModuleFileNameA(NULL, szPath, MAX_PATH);
    std::string path(szPath, nLen);
    return path.substr(0, path.find_last_of('\\') + 1);
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + "\\" + name);
            else
                DeleteFileA((folder + "\\" + name).c_str());
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    RemoveDirectoryA(folder.c_str());
}

// An empty folder of the test's own in the temporary folder, removed with
// everything in it at the end.
class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& tag)
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        std::string path =
            std::string(szTemp) + "qbx-" + info->name() + "-" + tag + "-" + std::to_string(GetCurrentProcessId());
        RemoveTree(path);
        EXPECT_TRUE(CreateDirectoryA(path.c_str(), NULL)) << path;
        char szLong[MAX_PATH];
        DWORD nLen = GetLongPathNameA(path.c_str(), szLong, MAX_PATH);
        m_path = nLen != 0 && nLen < MAX_PATH ? std::string(szLong, nLen) : path;
    }
    ~ScratchFolder() { RemoveTree(m_path); }
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// Places one of the built stand-ins in a folder under the library's name.
void PlaceInstaller(const std::string& folder, const char* pszStub)
{
    const std::string from = ProgramFolder() + "stubs\\" + pszStub;
    ASSERT_TRUE(CopyFileA(from.c_str(), (folder + "\\VtInst32.dll").c_str(), FALSE)) << from << " to " << folder;
}

// Puts an entry in front of this process's PATH (none when empty), and PATH
// back afterwards.
class PathPrefix
{
public:
    explicit PathPrefix(const std::string& entry)
    {
        char szPath[32767];
        DWORD nLen = GetEnvironmentVariableA("PATH", szPath, sizeof(szPath));
        m_bHad = nLen != 0 && nLen < sizeof(szPath);
        m_saved.assign(szPath, m_bHad ? nLen : 0);
        if (!entry.empty())
            SetEnvironmentVariableA("PATH", (entry + ";" + m_saved).c_str());
    }
    ~PathPrefix() { SetEnvironmentVariableA("PATH", m_bHad ? m_saved.c_str() : NULL); }

private:
    bool m_bHad;
    std::string m_saved;
};

struct ProbeRun
{
    DWORD exitCode;
    std::string output;
};

// Runs a program with the given current directory (and this process's
// environment) and collects what it prints.
ProbeRun RunProgram(const std::string& exe, const char* pszArgs, const std::string& currentDir)
{
    ProbeRun run = {0xdeadbeef, std::string()};
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE hRead, hWrite;
    if (!CreatePipe(&hRead, &hWrite, &sa, 0))
        return run;
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = hWrite;
    si.hStdError = hWrite;
    std::string cmdLine = "\"" + exe + "\" " + pszArgs;
    PROCESS_INFORMATION pi;
    BOOL bStarted = CreateProcessA(NULL, &cmdLine[0], NULL, NULL, TRUE, 0, NULL, currentDir.c_str(), &si, &pi);
    CloseHandle(hWrite);
    if (bStarted)
    {
        char buf[512];
        DWORD nRead;
        while (ReadFile(hRead, buf, sizeof(buf), &nRead, NULL) && nRead != 0)
            run.output.append(buf, nRead);
        WaitForSingleObject(pi.hProcess, 30000);
        GetExitCodeProcess(pi.hProcess, &run.exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(hRead);
    while (!run.output.empty() && (run.output.back() == '\n' || run.output.back() == '\r'))
        run.output.pop_back();
    return run;
}
} // namespace

// One unit for the whole table, as the wizard keeps one: an answer left over
// from the row before would show in the next.
TEST(UsbDriverCheck, CheckFindsAnInstanceWithoutActiveService)
{
    struct Instance
    {
        std::string name;
        Driver driver;
    };
    struct Case
    {
        const char* name;
        WindowsVersion os;
        const char* port; // the printer's; NULL: no printer
        bool enumKey;
        std::vector<Instance> instances; // in the order they are created
        bool problem;
    };
    // Wine, like Windows, enumerates subkeys in name order regardless of
    // case, not in the order they were made: "a0001" comes first although
    // it is made last and 'B' < 'a' byte for byte. Wine takes key names of
    // 256 characters (Windows stops at 255), one more than the name buffer
    // holds: a 255-character instance is looked at and found without its
    // Control key, a 256-character one is not enumerated at all.
    const std::vector<Case> cases = {
        {"no enumeration key", kWinXP, kUsbPort, false, {}, false},
        {"ActiveService missing from Control", kWinXP, kUsbPort, true, {{kInstance, ControlOnly}}, true},
        {"enumeration key without instances", kWinXP, kUsbPort, true, {}, false},
        {"no Control key", kWinXP, kUsbPort, true, {{kInstance, NoControl}}, true},
        {"ActiveService string", kWinXP, kUsbPort, true, {{kInstance, ServiceSz}}, false},
        {"ActiveService of 257 bytes", kWinXP, kUsbPort, true, {{kInstance, ServiceTooLong}}, true},
        {"ActiveService without type or data", kWinXP, kUsbPort, true, {{kInstance, ServiceEmpty}}, false},
        {"index 0 has it, made last", kWinXP, kUsbPort, true, {{"B0002", NoControl}, {"a0001", ServiceSz}}, false},
        {"index 0 lacks it, made last", kWinXP, kUsbPort, true, {{"B0002", ServiceSz}, {"a0001", NoControl}}, true},
        {"instance name of 256 characters", kWinXP, kUsbPort, true, {{std::string(256, 'n'), NoControl}}, false},
        {"instance name of 255 characters", kWinXP, kUsbPort, true, {{std::string(255, 'n'), NoControl}}, true},
        // From here on the same instance alternates between a problem (on
        // XP with the printer on its USB port) and none (anywhere else).
        {"Windows 2000", kWin2000, kUsbPort, true, {{kInstance, NoControl}}, false},
        {"back on Windows XP", kWinXP, kUsbPort, true, {{kInstance, NoControl}}, true},
        {"Windows NT 4.0", kNT4, kUsbPort, true, {{kInstance, NoControl}}, false},
        {"back on Windows XP", kWinXP, kUsbPort, true, {{kInstance, NoControl}}, true},
        {"Windows 98", kWin98, kUsbPort, true, {{kInstance, NoControl}}, false},
        {"back on Windows XP", kWinXP, kUsbPort, true, {{kInstance, NoControl}}, true},
        {"printer on LPT1:", kWinXP, "LPT1:", true, {{kInstance, NoControl}}, false},
        {"printer back on its USB port", kWinXP, kUsbPort, true, {{kInstance, NoControl}}, true},
        {"no printer", kWinXP, NULL, true, {{kInstance, NoControl}}, false},
    };
    CUsbDriverCheck check;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        PrivateHive hive;
        InstallProduct(hive, c.port);
        if (c.enumKey)
            hive.CreateKey(kEnumKey);
        for (const Instance& instance : c.instances)
            AddInstance(hive, instance.name, instance.driver);
        PlayWindows play(c.os);
        theSysEnv.SetRootKey(NULL);

        EXPECT_EQ(c.problem, check.Check());
        EXPECT_EQ(c.problem, check.ProblemFound());
        if (!SameVersion(c.os, kWinXP))
        {
            EXPECT_EQ(NULL, SysEnvRoot::Current()) << "the registry was read on a Windows other than XP";
        }
    }
}

// Whatever "ActiveService" holds, the check reads at most its 256 bytes and
// never looks inside: any value that fits means a driver, a larger one fails
// to read and counts as none.
TEST(UsbDriverCheck, ActiveServiceOfAnyTypeAndSize)
{
    const DWORD types[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD, 0x12345678};
    const DWORD sizes[] = {0, 1, 7, 8, 255, 256, 257, 4096};
    PlayWindows play(kWinXP);
    CUsbDriverCheck check;
    for (DWORD type : types)
        for (DWORD size : sizes)
            for (int terminated = 0; terminated < 2; ++terminated)
            {
                if (terminated && size == 0)
                    continue;
                SCOPED_TRACE("type " + std::to_string(type) + ", " + std::to_string(size) + " bytes" +
                             (terminated ? ", last one NUL" : ", no NUL"));
                // The byte after the data is no NUL either: the registry
                // would otherwise store a terminator the count leaves out.
                std::vector<char> data(size + 1, 'S');
                if (terminated)
                    data[size - 1] = '\0';
                PrivateHive hive;
                InstallProduct(hive, kUsbPort);
                hive.SetValue(ControlKey(kInstance), "ActiveService", type, data.data(), size);
                ASSERT_EQ(size, StoredSize(hive, ControlKey(kInstance), "ActiveService"));

                EXPECT_EQ(size > 256, check.Check());
            }
}

// The notice comes first, whichever way the user leaves it; then the
// installer library is loaded for one call and released again.
TEST(UsbDriverCheck, RepairShowsTheNoticeThenCallsTheInstaller)
{
    enum Library
    {
        Absent,
        WithoutEntry,
        WithEntry
    };
    struct Case
    {
        const char* name;
        Library library;
        const char* returns; // what the entry point returns
        bool tickAndOk;      // leaves the notice with OK, else with Escape
        int result;
    };
    const Case cases[] = {
        {"library absent", Absent, NULL, false, -1},
        {"library without the entry point", WithoutEntry, NULL, true, -1},
        {"entry point returns 0", WithEntry, "0", false, -1},
        {"entry point returns 1", WithEntry, "1", true, 0},
        {"entry point returns -7", WithEntry, "-7", false, 0},
        {"entry point returns 42", WithEntry, "42", true, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        SetEnvironmentVariableA("QBX_STUB_VTINST_CALLS", NULL);
        SetEnvironmentVariableA("QBX_STUB_VTINST_ARGS", NULL);
        SetEnvironmentVariableA("QBX_STUB_VTINST_RESULT", c.returns);
        ScratchFolder folder("lib");
        if (c.library != Absent)
            PlaceInstaller(folder.Path(), c.library == WithEntry ? "vtinst32_stub.dll" : "vtinst32_noentry.dll");
        const std::string library = folder.File("VtInst32.dll");
        PathPrefix path(folder.Path());
        if (c.library == Absent)
        {
            HMODULE hElsewhere = CUsbDriverCheck::LoadInstallerLibrary();
            if (hElsewhere != NULL)
                FreeLibrary(hElsewhere);
            ASSERT_EQ(NULL, hElsewhere) << "a VtInst32.dll is installed somewhere on this machine";
        }

        PrivateHive hive;
        InstallProduct(hive, kUsbPort);
        AddInstance(hive, kInstance, NoControl);
        PlayWindows play(kWinXP, "C:\\somewhere\\windows");
        CUsbDriverCheck check;
        ASSERT_TRUE(check.Check());

        bool bLoadedUnderNotice = true;
        std::string callsUnderNotice = "?";
        ModalScript script;
        script.When(kNoticeCaption,
                    [&](HWND hDlg)
                    {
                        bLoadedUnderNotice = GetModuleHandleA(library.c_str()) != NULL;
                        callsUnderNotice = GetEnv("QBX_STUB_VTINST_CALLS");
                        if (c.tickAndOk)
                            PostClick(hDlg, IDC_UNDERSTAND);
                        else
                            PostKey(hDlg, VK_ESCAPE);
                    });
        if (c.tickAndOk)
            script.When(kNoticeCaption, [](HWND hDlg) { PostClick(hDlg, IDOK); });

        EXPECT_EQ(c.result, check.Repair());
        EXPECT_TRUE(script.Done()) << "the notice was not shown, or not left";
        EXPECT_FALSE(bLoadedUnderNotice) << "the library was loaded before the notice was read";
        EXPECT_EQ("", callsUnderNotice);
        EXPECT_EQ(NULL, GetModuleHandleA(library.c_str())) << "the library was not released";
        EXPECT_TRUE(check.ProblemFound()) << "a repair leaves the answer of the check alone";
        if (c.library == WithEntry)
        {
            EXPECT_EQ("1", GetEnv("QBX_STUB_VTINST_CALLS"));
            EXPECT_EQ("C:\\somewhere\\windows\\inf\\VTMfcusb.inf|1|1|0", GetEnv("QBX_STUB_VTINST_ARGS"));
        }
        else
            EXPECT_EQ("", GetEnv("QBX_STUB_VTINST_CALLS"));
    }
    SetEnvironmentVariableA("QBX_STUB_VTINST_RESULT", NULL);
}

// The program runs with administrator rights, so its current directory must
// not be a place to plant a library: only the program's folder, the system
// folders and absolute PATH entries count. A probe program loads the library
// as the repair does, from a folder that holds nothing but itself.
TEST(DllSearch, InstallerLibraryIsNotTakenFromTheCurrentDirectory)
{
    enum Where
    {
        Nowhere,
        ProgramDir, // beside the probe
        CurrentDir,
        OtherDir,   // neither, named in PATH by its full path
        CurrentLib, // "lib" below the current directory
    };
    struct Case
    {
        const char* name;
        std::vector<Where> dllIn;
        const char* pathEntry; // put in front of PATH; "<other>" is OtherDir's full path
        Where loadsFrom;
        Where plainLoadsFrom; // where a bare LoadLibraryA("VtInst32.dll") finds it
    };
    const Case cases[] = {
        {"planted in the current directory", {CurrentDir}, NULL, Nowhere, CurrentDir},
        {"beside the program", {ProgramDir, CurrentDir}, NULL, ProgramDir, ProgramDir},
        {"absolute PATH entry", {OtherDir}, "<other>", OtherDir, OtherDir},
        {"'.' in PATH", {CurrentDir}, ".", Nowhere, CurrentDir},
        {"relative PATH entry", {CurrentLib}, "lib", Nowhere, CurrentLib},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScratchFolder program("program"), current("current"), other("other");
        const std::string probe = program.File("dllsearch_probe.exe");
        ASSERT_TRUE(CopyFileA((ProgramFolder() + "dllsearch_probe.exe").c_str(), probe.c_str(), FALSE));
        const std::string lib = current.File("lib");
        ASSERT_TRUE(CreateDirectoryA(lib.c_str(), NULL));
        const std::string folders[] = {"", program.Path(), current.Path(), other.Path(), lib};
        for (Where where : c.dllIn)
            PlaceInstaller(folders[where], "vtinst32_stub.dll");
        auto loaded = [&folders](Where where)
        { return where == Nowhere ? std::string("not loaded") : folders[where] + "\\VtInst32.dll"; };

        const std::string entry = c.pathEntry == NULL ? "" : c.pathEntry;
        PathPrefix path(entry == "<other>" ? other.Path() : entry);
        ProbeRun run = RunProgram(probe, "", current.Path());
        EXPECT_STRCASEEQ(loaded(c.loadsFrom).c_str(), run.output.c_str());
        EXPECT_EQ(c.loadsFrom != Nowhere ? 1u : 0u, run.exitCode);
        run = RunProgram(probe, "--plain", current.Path());
        EXPECT_STRCASEEQ(loaded(c.plainLoadsFrom).c_str(), run.output.c_str()) << "with a bare LoadLibraryA";
    }
}
