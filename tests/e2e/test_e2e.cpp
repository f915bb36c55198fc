// The real QbxMender.exe under Wine, on machines of our making, walked page by
// page as a user would.
#include "E2EMachine.h"

namespace
{
TEST_F(E2E, WindowsXpRepairsBothProblems)
{
    PlayMachine(MachineSetup());
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
    MachineSetup machine;
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
    MachineSetup machine; // Windows, product installed, installer library, privilege
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

// The driver repair fails, the library missing or reporting failure: the
// notice comes first all the same, and the port stays repaired.
class E2EDriverRepairFails : public E2E, public ::testing::WithParamInterface<MachineSetup>
{
};

TEST_P(E2EDriverRepairFails, PortRepairedDriverNot)
{
    PlayMachine(GetParam());
    StartProgram();

    EXPECT_EQ(std::string(kPortLine) + kDriverLines + kClearLines, m_wizard->Next());
    int notices = 0;
    EXPECT_EQ(std::string(kPortRepaired) + kFailed,
              m_wizard->Next([&](HWND hNotice) { ReadAndAcceptNotice(hNotice, &notices); }));
    EXPECT_EQ(1, notices);
    ExpectServiceValue(kUsbSetting);
    // The library is released once called, whatever the call left in the
    // caller's registers: its file can go.
    const std::string library = ProgramFolderPath() + "\\VtInst32.dll";
    EXPECT_TRUE(DeleteFileA(library.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) << "the library is held";

    EXPECT_EQ(kWelcomePage, m_wizard->Next());
    EXPECT_EQ(std::string(kDriverLines) + kClearLines, m_wizard->Next());
    EXPECT_EQ(kNext, m_wizard->Button());
    Cancel();
}

INSTANTIATE_TEST_SUITE_P(, E2EDriverRepairFails,
                         ::testing::Values(MachineSetup{"winxp", true, false},
                                           MachineSetup{"winxp", true, true, "2", "0"}),
                         [](const ::testing::TestParamInfo<MachineSetup>& info)
                         { return info.param.installerLibrary ? "LibraryReportsFailure" : "LibraryAbsent"; });
} // namespace

namespace
{
// Messages only the system gives a dialog, sent and posted by another
// program (WM_INITDIALOG with a pointer of its choosing) to each of the
// program's dialogs where a second set-up or an early end would show: the
// wizard on its report, the About box, the notice with its box ticked. Each
// goes on as it was, works and closes as its user expects, and a second copy
// still finds and restores the wizard.
TEST_F(E2E, ForeignMessagesChangeNothing)
{
    PlayMachine(MachineSetup());
    StartProgram();
    const auto deliver = [this](HWND hDialog, const char* which)
    {
        SCOPED_TRACE(which);
        const std::string page = m_wizard->Page();
        const std::string caption = ReadWindowText(hDialog);
        const struct
        {
            UINT message;
            LPARAM lParam;
        } foreign[] = {
            {WM_INITDIALOG, 0x41414140}, {WM_INITDIALOG, 1}, {WM_INITDIALOG, -1}, {WM_NCDESTROY, 0}, {WM_DESTROY, 0}};
        for (const auto& f : foreign)
        {
            DWORD_PTR result = 0;
            SendMessageTimeoutA(hDialog, f.message, 0, f.lParam, SMTO_ABORTIFHUNG, DriverWaitMs() / 4, &result);
            ASSERT_TRUE(PostMessageA(hDialog, f.message, 0, f.lParam));
        }
        SettleWindow(hDialog);
        ASSERT_TRUE(KeepsRunning()) << "the program ended";
        EXPECT_EQ(caption, ReadWindowText(hDialog));
        EXPECT_TRUE(IsWindowVisible(hDialog));
        EXPECT_EQ(page, m_wizard->Page());
    };

    EXPECT_EQ(std::string(kPortLine) + kDriverLines + kClearLines, m_wizard->Next());
    deliver(m_wizard->Window(), "the wizard on its report");
    HWND hAbout = m_wizard->OpenAbout();
    ASSERT_TRUE(hAbout != NULL);
    deliver(hAbout, "the About box");
    PostClick(hAbout, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(hAbout); })) << "the About box did not close";

    int notices = 0;
    EXPECT_EQ(std::string(kPortRepaired) + kDriverRepaired, m_wizard->Next(
                                                                [&](HWND hNotice)
                                                                {
                                                                    ++notices;
                                                                    EXPECT_TRUE(TickUnderstand(hNotice));
                                                                    deliver(hNotice, "the notice, ticked");
                                                                    EXPECT_TRUE(AcceptNotice(hNotice));
                                                                }));
    EXPECT_EQ(1, notices);

    // The second copy restores the minimised wizard, found by its mark.
    HWND hWizard = m_wizard->Window();
    ASSERT_TRUE(IsWindow(hWizard)) << "the program ended";
    PostMessageA(hWizard, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(hWizard) != FALSE; }));
    ProgramProcess second;
    ASSERT_TRUE(second.Start(ProgramFolderPath() + "\\QbxMender.exe"));
    EXPECT_TRUE(second.WaitForExit()) << "the second copy kept running";
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(hWizard); })) << "the wizard stayed minimised";
    Cancel();
}
} // namespace
