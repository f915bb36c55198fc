// The real QbxMender.exe under Wine, on machines of our making: each test
// writes a machine state into the prefix's own HKLM, lets Wine play a Windows
// version for the program alone, starts a copy from a folder of its own and
// walks the wizard page by page, as a user would.
#include "ProgramDriver.h"
#include "ScratchRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
// Where the program looks, as a real machine with the device holds it.
const char kProductKey[] = "SOFTWARE\\Veltro\\Quellbox";
const char kPrinterKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Corvana R310/R520 Series";
const char kServiceParams[] = "SYSTEM\\CurrentControlSet\\Services\\VTsmfpi\\Parameters";
const char kSet1Params[] = "SYSTEM\\ControlSet001\\Services\\VTsmfpi\\Parameters";
const char kSet2Params[] = "SYSTEM\\ControlSet002\\Services\\VTsmfpi\\Parameters";
const char kSelectKey[] = "SYSTEM\\Select";
const char kDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10";
const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\QbxMender.exe";

// Keys no run may leave behind in the prefix; the start of each test clears
// whatever an interrupted run left.
const char* const kLeftovers[] = {
    "SOFTWARE\\Veltro",
    "SYSTEM\\CurrentControlSet\\Services\\VTsmfpi",
    "SYSTEM\\ControlSet001\\Services\\VTsmfpi",
    "SYSTEM\\ControlSet002\\Services\\VTsmfpi",
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10",
    kPrinterKey,
};

// The pages, as the user reads them.
const char kWelcome[] = "                +++++About QBX Mender Software+++++\r\n\r\n"
                        "This software is the self-diagnosis program for QX-R310/\r\n"
                        "QX-R520Series.\r\n\r\nClick <Next>, to start the program.";
const char kPortLine[] = "The QBX Mender found USB problem.(Registory)\r\n";
const char kDriverLines[] = "The QBX Mender found USB problem.(Driver)\r\n"
                            "Check the connection of the PC and the fax machine.\r\n";
const char kClickNext[] = "\r\nClick <Next>, to clear the problem.\r\n";
const char kNoProblems[] = "The QBX Mender did not find any problems.";
const char kNotInstalled[] = "Corvana Quellbox is not installed.\r\n";
const char kNotAdmin[] = "You must be logged in as administrator.\r\n";
const char kPortRepaired[] = "Registory data is set to USB setting correctly.\r\n";
const char kDriverRepaired[] = "Finished correctly.\r\n";
const char kFailed[] = "Ended in failure.\r\n";

const char kGoodValue[] = "VTvUsb0";
const char kBadValue[] = "VTvPar0";

// One machine: the Windows it plays and what is installed and broken on it.
struct Machine
{
    const char* windows = "winxp"; // the program's Windows version under Wine
    bool productInstalled = true;
    bool installerLibrary = true; // VtInst32.dll beside the program
    const char* userPriv = "2";   // the account's privilege; NULL: no such account
};

class E2E : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (size_t i = 0; i < sizeof(kLeftovers) / sizeof(kLeftovers[0]); ++i)
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, kLeftovers[i]);
        RegDeleteTreeA(HKEY_CURRENT_USER, kAppDefaults);

        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof(temp), temp);
        m_folder = std::string(temp) + "qbx-e2e-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                   "-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(m_folder.c_str(), NULL)) << m_folder;
    }

    void TearDown() override
    {
        m_process.Kill();
        m_registry.Undo();
        RemoveFolder();
        for (size_t i = 0; i < sizeof(kLeftovers) / sizeof(kLeftovers[0]); ++i)
            EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kLeftovers[i])) << kLeftovers[i];
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
            ASSERT_TRUE(m_registry.SetString(lm, kProductKey, "VersionStr", "2.10"));
        }
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Name", "Corvana R310/R520 Series"));
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Port", "QBXUSB1:"));
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Printer Driver", "Corvana R310/R520 Series"));
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Print Processor", "winprint"));
        ASSERT_TRUE(m_registry.SetString(lm, kPrinterKey, "Datatype", "RAW"));
        ASSERT_TRUE(m_registry.SetString(lm, kServiceParams, "0", kBadValue));
        ASSERT_TRUE(m_registry.SetString(lm, kSet1Params, "0", kBadValue));
        ASSERT_TRUE(m_registry.SetString(lm, kSet2Params, "0", kBadValue));
        ASSERT_TRUE(m_registry.SetDword(lm, kSelectKey, "Current", 1));
        ASSERT_TRUE(m_registry.SetDword(lm, kSelectKey, "Default", 2));
        ASSERT_TRUE(m_registry.SetString(lm, std::string(kDeviceKey) + "\\5&2a3c1e0b&0&1", "Service", "VTMfcusb"));
        ASSERT_TRUE(m_registry.CreateKey(lm, std::string(kDeviceKey) + "\\5&2a3c1e0b&0&1\\Control"));

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
        ASSERT_TRUE(m_process.Start(m_folder + "\\QbxMender.exe", env));
        m_wizard.reset(new WizardDriver(m_process.Id(), "QbxMender"));
        ASSERT_TRUE(m_wizard->Attach()) << "no wizard came up";
        ASSERT_EQ(kWelcome, m_wizard->Page());
        ASSERT_EQ("Next >", m_wizard->Button());
    }

    void Cancel() { EXPECT_TRUE(m_wizard->Cancel(m_process)) << "Cancel did not end the program"; }

    // A diagnosis that ends the run: "Finish" leads back to the welcome page.
    void ExpectFinalReport(const std::string& report)
    {
        EXPECT_EQ(report, m_wizard->Next());
        EXPECT_EQ("Finish", m_wizard->Button());
        EXPECT_EQ(kWelcome, m_wizard->Next());
        EXPECT_EQ("Next >", m_wizard->Button());
    }

    static void ExpectServiceValue(const char* value)
    {
        EXPECT_EQ(value, RegReadString(HKEY_LOCAL_MACHINE, kServiceParams, "0")) << "control set in use";
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
    bool Install(const char* file)
    {
        const std::string from = PayloadFolder() + file;
        return CopyFileA(from.c_str(), (m_folder + "\\" + file).c_str(), FALSE) != FALSE;
    }

    void RemoveFolder()
    {
        const char* const files[] = {"QbxMender.exe", "netapi32.dll", "VtInst32.dll"};
        for (size_t i = 0; i < sizeof(files) / sizeof(files[0]); ++i)
            DeleteFileA((m_folder + "\\" + files[i]).c_str());
        RemoveDirectoryA(m_folder.c_str());
    }

    std::string m_folder;
    Machine m_machine;
    ProgramProcess m_process;
};

TEST_F(E2E, WindowsXpRepairsBothProblems)
{
    PlayMachine(Machine());
    StartProgram();

    EXPECT_EQ(std::string(kPortLine) + kDriverLines + kClickNext, m_wizard->Next());
    EXPECT_EQ("Next >", m_wizard->Button());

    int notices = 0;
    EXPECT_EQ(std::string(kPortRepaired) + kDriverRepaired,
              m_wizard->Next([&](HWND hNotice) { ReadAndAcceptNotice(hNotice, &notices); }));
    EXPECT_EQ(1, notices);
    EXPECT_EQ("Finish", m_wizard->Button());
    ExpectServiceValue(kGoodValue);

    // The installer library gave the device its driver: nothing is left.
    EXPECT_EQ(kWelcome, m_wizard->Next());
    ExpectFinalReport(kNoProblems);
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
    EXPECT_EQ(std::string(kPortLine) + kClickNext, m_wizard->Next());
    EXPECT_EQ(kPortRepaired, m_wizard->Next());
    EXPECT_EQ("Finish", m_wizard->Button());
    ExpectServiceValue(kGoodValue);

    EXPECT_EQ(kWelcome, m_wizard->Next());
    ExpectFinalReport(kNoProblems);
    Cancel();
}

TEST_F(E2E, NoCheckAppliesOnNt4OrWindows98)
{
    Machine nt4;
    nt4.windows = "nt40";
    // Outside the NT family nobody asks the account database: with no
    // account to find, the user still counts as an administrator.
    Machine win98;
    win98.windows = "win98";
    win98.userPriv = NULL;

    const Machine machines[] = {nt4, win98};
    for (size_t i = 0; i < 2; ++i)
    {
        SCOPED_TRACE(machines[i].windows);
        PlayMachine(machines[i]);
        StartProgram();
        ExpectFinalReport(kNoProblems);
        ExpectServiceValue(kBadValue);
        Cancel();
    }
}

TEST_F(E2E, ProductNotInstalled)
{
    Machine machine;
    machine.productInstalled = false;
    PlayMachine(machine);
    StartProgram();
    ExpectFinalReport(kNotInstalled);
    ExpectServiceValue(kBadValue);
    Cancel();
}

TEST_F(E2E, NotAnAdministrator)
{
    Machine machine;
    machine.userPriv = "1"; // USER_PRIV_USER
    PlayMachine(machine);
    StartProgram();
    ExpectFinalReport(kNotAdmin);
    ExpectServiceValue(kBadValue);
    Cancel();
}

TEST_F(E2E, InstallerLibraryAbsent)
{
    Machine machine;
    machine.installerLibrary = false;
    PlayMachine(machine);
    StartProgram();

    EXPECT_EQ(std::string(kPortLine) + kDriverLines + kClickNext, m_wizard->Next());
    // The notice comes first, whether or not the library can be found.
    int notices = 0;
    EXPECT_EQ(std::string(kPortRepaired) + kFailed,
              m_wizard->Next([&](HWND hNotice) { ReadAndAcceptNotice(hNotice, &notices); }));
    EXPECT_EQ(1, notices);
    ExpectServiceValue(kGoodValue);

    // The port stays repaired; the driver is still without its service.
    EXPECT_EQ(kWelcome, m_wizard->Next());
    EXPECT_EQ(std::string(kDriverLines) + kClickNext, m_wizard->Next());
    EXPECT_EQ("Next >", m_wizard->Button());
    Cancel();
}
} // namespace
