// CUsbDriverCheck: the check over private registry hives, the repair through
// the stand-in installer library, and the folders that library may be loaded
// from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlayWindows.h"
#include "PrivateHive.h"
#include "ProgramTexts.h"
#include "Scratch.h"
#include "UsbDriverCheck.h"
#include "WindowDriver.h"
#include "resource.h"

namespace
{
const char kInstance[] = "5&1d7a2d3&0&2";

// The product installed, its printer on the given port; no printer for NULL.
void InstallProduct(PrivateHive& hive, const char* pszPort)
{
    hive.SetString(kProductKey, "VersionStr", "1.00");
    hive.SetString(kProductKey, "PRINTERNAME", kTestPrinter);
    if (pszPort != NULL)
        hive.AddPrinter(kTestPrinter, pszPort);
}

std::string ControlKey(const std::string& instance)
{
    return std::string(kUsbDeviceKey) + "\\" + instance + "\\Control";
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
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(hive.Root(), kUsbDeviceKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hEnum, NULL));
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

bool SameVersion(const WindowsVersion& a, const WindowsVersion& b)
{
    return a.platformId == b.platformId && a.major == b.major && a.minor == b.minor;
}

// Places the built stand-in in a folder under the library's name.
::testing::AssertionResult PlaceInstaller(const std::string& folder, const char* pszStub)
{
    return CopyBuilt(std::string("stubs\\") + pszStub, folder, "VtInst32.dll");
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
            hive.CreateKey(kUsbDeviceKey);
        for (const Instance& instance : c.instances)
            AddInstance(hive, instance.name, instance.driver);
        PlayWindows play(c.os);
        theSysEnv.SetRootKey(NULL);

        EXPECT_EQ(c.problem, check.Check());
        EXPECT_EQ(c.problem, check.ProblemFound());
        if (!SameVersion(c.os, kWinXP))
        {
            // Every registry read of the unit (and of the printer lookup)
            // chooses the root first.
            EXPECT_EQ(NULL, RootKeyOf(theSysEnv)) << "the registry was read on a Windows other than XP";
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
                std::string data(size, 'S');
                if (terminated)
                    data[size - 1] = '\0';
                PrivateHive hive;
                InstallProduct(hive, kUsbPort);
                ASSERT_NO_FATAL_FAILURE(hive.SetExact(ControlKey(kInstance), "ActiveService", type, data));

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
        ScopedEnv calls("QBX_STUB_VTINST_CALLS", NULL);
        ScopedEnv args("QBX_STUB_VTINST_ARGS", NULL);
        ScopedEnv result("QBX_STUB_VTINST_RESULT", c.returns);
        ScratchFolder folder("lib");
        if (c.library != Absent)
        {
            ASSERT_TRUE(
                PlaceInstaller(folder.Path(), c.library == WithEntry ? "vtinst32_stub.dll" : "vtinst32_noentry.dll"));
        }
        const std::string library = folder.File("VtInst32.dll");
        ScopedEnv path("PATH", PathWith(folder.Path()));
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
        Walkthrough walk;
        walk.WhenDialog(kNoticeCaption,
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
            walk.WhenDialog(kNoticeCaption, [](HWND hDlg) { PostClick(hDlg, IDOK); });

        EXPECT_EQ(c.result, check.Repair());
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
        ASSERT_TRUE(CopyBuilt("dllsearch_probe.exe", program.Path()));
        const std::string lib = current.File("lib");
        ASSERT_TRUE(CreateDirectoryA(lib.c_str(), NULL));
        const std::string folders[] = {"", program.Path(), current.Path(), other.Path(), lib};
        for (Where where : c.dllIn)
            ASSERT_TRUE(PlaceInstaller(folders[where], "vtinst32_stub.dll"));
        auto loaded = [&folders](Where where)
        { return where == Nowhere ? std::string("not loaded") : folders[where] + "\\VtInst32.dll"; };

        const std::string entry = c.pathEntry == NULL ? "" : c.pathEntry;
        ScopedEnv path("PATH", PathWith(entry == "<other>" ? other.Path() : entry));
        ProgramRun run = RunProgram(probe, "", current.Path());
        EXPECT_STRCASEEQ(loaded(c.loadsFrom).c_str(), run.output.c_str());
        EXPECT_EQ(c.loadsFrom != Nowhere ? 1u : 0u, run.exitCode);
        run = RunProgram(probe, "--plain", current.Path());
        EXPECT_STRCASEEQ(loaded(c.plainLoadsFrom).c_str(), run.output.c_str()) << "with a bare LoadLibraryA";
    }
}
