// The real QbxMender.exe under Wine, on machines of our making: each test
// writes a machine state into the prefix's own HKLM, lets Wine play a Windows
// version for the program alone, starts a copy from a folder of its own and
// walks the wizard page by page, as a user would.
#include "ProgramDriver.h"
#include "ProgramTexts.h"
#include "Scratch.h"
#include "ScratchRegistry.h"

#include <gtest/gtest.h>

#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
// Where the program looks, as a real machine with the device holds it.
const char kPrinterKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Corvana R310/R520 Series";
const char kSet1Params[] = "SYSTEM\\ControlSet001\\Services\\VTsmfpi\\Parameters";
const char kSet2Params[] = "SYSTEM\\ControlSet002\\Services\\VTsmfpi\\Parameters";
const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\QbxMender.exe";
const char kBadValue[] = "VTvPar0";

// One machine: the Windows it plays and what is installed and broken on it.
struct Machine
{
    const char* windows = "winxp"; // the program's Windows version under Wine
    bool productInstalled = true;
    bool installerLibrary = true; // VtInst32.dll beside the program
    const char* userPriv = "2";   // the account's privilege; NULL: no such account
};

// Each test starts the program from a scratch folder of its own. The keys no
// run may leave behind in the prefix are cleared first, in case an
// interrupted run left them.
class E2E : public ::testing::Test
{
protected:
    E2E() : m_folder("e2e") {}

    void SetUp() override
    {
        for (const char* key : kProgramKeys)
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
        RegDeleteTreeA(HKEY_CURRENT_USER, kAppDefaults);
    }

    void TearDown() override
    {
        m_process.Kill();
        m_registry.Undo();
        for (const char* key : kProgramKeys)
            EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, key)) << key;
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kAppDefaults));
    }

    // The device's machine with both of its USB problems: the service's USB
    // value is wrong in every control set, and the device's USB instance has
    // no active driver. Windows names control set 1 as current and 2 as
    // default. (Wine's CurrentControlSet is a key of its own, not a link to
    // a numbered set, so each write of the repair shows on its own.)
    void PlayMachine(const Machine& machine)
    {
        HKEY lm = HKEY_LOCAL_MACHINE;
        // Wine settings for this program alone: the Windows it plays, and the
        // stand-in account library beside it instead of Wine's own.
        ASSERT_TRUE(m_registry.SetString(HKEY_CURRENT_USER, kAppDefaults, "Version", machine.windows));
        ASSERT_TRUE(m_registry.SetString(HKEY_CURRENT_USER, std::string(kAppDefaults) + "\\DllOverrides", "netapi32",
                                         "native"));
        if (machine.productInstalled)
        {
            ASSERT_TRUE(m_registry.SetString(lm, ProductKey(), "VersionStr", "2.10"));
        }
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Name", kDefaultPrinter));
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Port", kUsbPort));
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Printer Driver", kDefaultPrinter));
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Print Processor", "winprint"));
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Datatype", "RAW"));
        ASSERT_TRUE(m_registry.SetString(lm, kServiceKey, "0", kBadValue));
        ASSERT_TRUE(m_registry.SetString(lm, kSet1Params, "0", kBadValue));
        ASSERT_TRUE(m_registry.SetString(lm, kSet2Params, "0", kBadValue));
        ASSERT_TRUE(m_registry.SetDword(lm, kSelectKey, "Current", 1));
        ASSERT_TRUE(m_registry.SetDword(lm, kSelectKey, "Default", 2));
        ASSERT_TRUE(m_registry.SetString(lm, std::string(kUsbDeviceKey) + "\\5&2a3c1e0b&0&1", "Service", "VTMfcusb"));
        ASSERT_TRUE(m_registry.CreateKey(lm, std::string(kUsbDeviceKey) + "\\5&2a3c1e0b&0&1\\Control"));

        ASSERT_TRUE(Install("QbxMender.exe"));
        ASSERT_TRUE(Install("netapi32.dll"));
        if (machine.installerLibrary)
        {
            ASSERT_TRUE(Install("VtInst32.dll"));
        }
        m_machine = machine;
    }

    // Starts the program and waits for its welcome page.
    void StartProgram()
    {
        std::vector<std::string> env;
        env.push_back(std::string("QBX_STUB_USER_PRIV=") + (m_machine.userPriv ? m_machine.userPriv : ""));
        ASSERT_TRUE(m_process.Start(m_folder.File("QbxMender.exe"), env));
        m_wizard.reset(new WizardDriver(m_process.Id(), "QbxMender"));
        ASSERT_TRUE(m_wizard->Attach()) << "no wizard came up";
        ASSERT_EQ(kWelcomePage, m_wizard->Page());
        ASSERT_EQ(kNext, m_wizard->Button());
    }

    void Cancel() { EXPECT_TRUE(m_wizard->Cancel(m_process)) << "Cancel did not end the program"; }

    // A diagnosis that ends the run: "Finish" leads back to the welcome page.
    void ExpectFinalReport(const std::string& report)
    {
        EXPECT_EQ(report, m_wizard->Next());
        EXPECT_EQ(kFinish, m_wizard->Button());
        EXPECT_EQ(kWelcomePage, m_wizard->Next());
        EXPECT_EQ(kNext, m_wizard->Button());
    }

    static void ExpectServiceValue(const char* value)
    {
        EXPECT_EQ(value, RegReadString(HKEY_LOCAL_MACHINE, kServiceKey, "0")) << "control set in use";
        EXPECT_EQ(value, RegReadString(HKEY_LOCAL_MACHINE, kSet1Params, "0")) << "current control set 1";
        EXPECT_EQ(value, RegReadString(HKEY_LOCAL_MACHINE, kSet2Params, "0")) << "default control set 2";
    }

    // The notice as its user meets it: "OK" waits for the tick.
    static void ReadAndAcceptNotice(HWND hNotice, int* shown)
    {
        ++*shown;
        char caption[128] = "";
        GetWindowTextA(hNotice, caption, sizeof(caption));
        EXPECT_STREQ(kNoticeCaption, caption);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hNotice, IDOK))) << "OK before the box is ticked";
        EXPECT_TRUE(AcceptNotice(hNotice));
    }

    std::unique_ptr<WizardDriver> m_wizard;
    ScratchRegistry m_registry;

private:
    // Where the installed program finds the device's software: its 32-bit
    // installer wrote the key, and a 32-bit build of the program reads it
    // through Wow6432Node.
    std::string ProductKey() const
    {
        if (!Is32BitProgram(ProgramFolder() + "payload\\QbxMender.exe"))
            return kProductKey;
        return std::string("SOFTWARE\\Wow6432Node") + strchr(kProductKey, '\\');
    }

    ::testing::AssertionResult Install(const char* file)
    {
        return CopyBuilt(std::string("payload\\") + file, m_folder.Path());
    }

    ScratchFolder m_folder; // before m_process: removed once the program has ended
    Machine m_machine;
    ProgramProcess m_process;
};

TEST_F(E2E, WindowsXpRepairsBothProblems)
{
    PlayMachine(Machine());
    StartProgram();

    EXPECT_EQ(std::string(kPortLine) + kDriverLines + kClearLines, m_wizard->Next());
    EXPECT_EQ(kNext, m_wizard->Button());

    int notices = 0;
    EXPECT_EQ(std::string(kPortRepaired) + kDriverRepaired,
              m_wizard->Next([&](HWND hNotice) { ReadAndAcceptNotice(hNotice, &notices); }));
    EXPECT_EQ(1, notices);
    EXPECT_EQ(kFinish, m_wizard->Button());
    ExpectServiceValue(kUsbSetting);

    // The installer library gave the device its driver: nothing is left.
    EXPECT_EQ(kWelcomePage, m_wizard->Next());
    ExpectFinalReport(kNoProblemPage);
    Cancel();
}

TEST_F(E2E, Windows2000RepairsThePortOnly)
{
    Machine machine;
    machine.windows = "win2k";
    PlayMachine(machine);
    StartProgram();

    // The driver check is for Windows XP: its problem goes unreported here,
    // and the repair shows no notice (Next fails on any dialog).
    EXPECT_EQ(std::string(kPortLine) + kClearLines, m_wizard->Next());
    EXPECT_EQ(kPortRepaired, m_wizard->Next());
    EXPECT_EQ(kFinish, m_wizard->Button());
    ExpectServiceValue(kUsbSetting);

    EXPECT_EQ(kWelcomePage, m_wizard->Next());
    ExpectFinalReport(kNoProblemPage);
    Cancel();
}

// Machines where the first report ends the run: "Finish" leads back to the
// welcome page, and nothing is repaired.
struct FinalReport
{
    const char* name;
    Machine machine; // Windows, product installed, installer library, privilege
    const char* report;
};

class E2EFinalReport : public E2E, public ::testing::WithParamInterface<FinalReport>
{
};

TEST_P(E2EFinalReport, NothingIsRepaired)
{
    PlayMachine(GetParam().machine);
    StartProgram();
    ExpectFinalReport(GetParam().report);
    ExpectServiceValue(kBadValue);
    Cancel();
}

// No check applies on Windows NT 4 or 98. Outside the NT family nobody asks
// the account database: with no account to find, the user still counts as
// an administrator.
INSTANTIATE_TEST_SUITE_P(
    , E2EFinalReport,
    ::testing::Values(FinalReport{"Nt4", {"nt40", true, true, "2"}, kNoProblemPage},
                      FinalReport{"Windows98", {"win98", true, true, NULL}, kNoProblemPage},
                      FinalReport{"ProductNotInstalled", {"winxp", false, true, "2"}, kNotInstalledPage},
                      // "1": USER_PRIV_USER
                      FinalReport{"NotAnAdministrator", {"winxp", true, true, "1"}, kNotAdminPage}),
    [](const ::testing::TestParamInfo<FinalReport>& info) { return info.param.name; });

TEST_F(E2E, InstallerLibraryAbsent)
{
    Machine machine;
    machine.installerLibrary = false;
    PlayMachine(machine);
    StartProgram();

    EXPECT_EQ(std::string(kPortLine) + kDriverLines + kClearLines, m_wizard->Next());
    // The notice comes first, whether or not the library can be found.
    int notices = 0;
    EXPECT_EQ(std::string(kPortRepaired) + kFailed,
              m_wizard->Next([&](HWND hNotice) { ReadAndAcceptNotice(hNotice, &notices); }));
    EXPECT_EQ(1, notices);
    ExpectServiceValue(kUsbSetting);

    // The port stays repaired; the driver is still without its service.
    EXPECT_EQ(kWelcomePage, m_wizard->Next());
    EXPECT_EQ(std::string(kDriverLines) + kClearLines, m_wizard->Next());
    EXPECT_EQ(kNext, m_wizard->Button());
    Cancel();
}
} // namespace
