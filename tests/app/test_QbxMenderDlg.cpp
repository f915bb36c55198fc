// CQbxMenderDlg: the wizard run modally in this process and walked through as
// a user would, over private registry hives, with the account database and
// the installer library stood in for.
#include <gtest/gtest.h>

#include <limits.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PlayWindows.h"
#include "Scratch.h"
#include "WindowDriver.h"
#include "WizardHarness.h"
#include "resource.h"

namespace
{
const std::string kBothProblemsPage = std::string(kPortLine) + kDriverLines + kClearLines;

// The device's machine: product installed, the service's setting, an active
// driver.
const MachineImage kNothingWrong = {true, kUsbSetting, true};
const MachineImage kPortWrong = {true, kWrongSetting, true};
const MachineImage kDriverMissing = {true, kUsbSetting, false};
const MachineImage kBothProblems = {true, kWrongSetting, false};

// What the user sees of one diagnosis and repair of both problems.
const std::vector<WizardView> kBothRepaired = {
    {kWelcomePage, kNext, true, 0},
    {kDiagnosingPage, kNext, false, 0},
    {kDiagnosingPage, kNext, false, 1},
    {kBothProblemsPage, kNext, true, 2},
    {kDiagnosingPage, kNext, false, 2}, // behind the driver notice
    {std::string(kPortRepaired) + kDriverRepaired, kFinish, true, 2},
};

// The first step of a walk: the wizard on the screen.
void WhenShowing(Walkthrough& walk, CWizardUnderTest& dlg, const Walkthrough::Act& act = Walkthrough::Act())
{
    walk.When(
        "the wizard", [&dlg] { return dlg.m_hWnd != NULL && IsWindowVisible(dlg.m_hWnd); }, act);
}

// Clicks the default button until its handler has been entered.
void PressDefault(Walkthrough& walk, CWizardUnderTest& dlg, const std::string& what)
{
    std::shared_ptr<int> pCalls(new int(-1));
    walk.After(0, "count the clicks", [&dlg, pCalls] { *pCalls = dlg.m_nOkCalls; });
    walk.Click(
        what, [&dlg] { return dlg.m_hWnd; }, IDOK, [&dlg, pCalls] { return dlg.m_nOkCalls > *pCalls; });
}

// Clicks the default button, then runs check once its handler has returned.
void ClickDefault(Walkthrough& walk, CWizardUnderTest& dlg, const std::string& what,
                  const Walkthrough::Act& check = Walkthrough::Act())
{
    PressDefault(walk, dlg, "the default button for " + what);
    walk.When(
        what, [&dlg] { return dlg.m_nOkDepth == 0; }, check);
}

// "Cancel": the wizard is hidden at once and destroyed once the handler that
// runs, if any, has returned.
void ClickCancel(Walkthrough& walk, CWizardUnderTest& dlg)
{
    walk.Click(
        "Cancel", [&dlg] { return dlg.m_hWnd; }, IDCANCEL, [&dlg] { return !IsWindowVisible(dlg.m_hWnd); });
}

// OK in the About box, until the box has gone and the wizard takes input.
void CloseAboutBox(Walkthrough& walk, CWizardUnderTest& dlg, const std::string& what)
{
    walk.Click(
        what, [] { return FindThreadDialog(kAboutCaption); }, IDOK,
        [&dlg] { return FindThreadDialog(kAboutCaption) == NULL && IsWindowEnabled(dlg.m_hWnd); });
}

// The views a watch saw, each change once.
struct ViewLog
{
    std::vector<WizardView> views;
    void Record(HWND hWizard)
    {
        if (hWizard == NULL || !IsWindowVisible(hWizard))
            return;
        const WizardView v = ViewOf(hWizard);
        if (views.empty() || !(views.back() == v))
            views.push_back(v);
    }
};

class Wizard : public ::testing::Test
{
protected:
    Wizard() : m_xp(kWinXP), m_calls("QBX_STUB_VTINST_CALLS", NULL), m_priv("QBX_STUB_USER_PRIV", NULL)
    {
        m_app.SetCurrentHandles(GetModuleHandleA(NULL));
    }

    // Runs the wizard until the walk has closed it; DoModal's result.
    INT_PTR Run(CWizardUnderTest& dlg)
    {
        m_app.m_pMainWnd = &dlg;
        const INT_PTR nResult = dlg.DoModal();
        m_app.m_pMainWnd = NULL;
        EXPECT_TRUE(dlg.m_bDestroyed);
        EXPECT_EQ(NULL, dlg.m_hWnd) << "the object still names the window";
        EXPECT_FALSE(dlg.m_bInOkAtDestroy) << "the window went while the default button's handler still ran";
        EXPECT_EQ(0, dlg.m_nNestedSteps) << "a step of the wizard ran inside another";
        return nResult;
    }

    // Clicks "Cancel" after the walk's last step, and runs the wizard until
    // the walk has closed it.
    void CancelAndRun(CWizardUnderTest& dlg, Walkthrough& walk)
    {
        ClickCancel(walk, dlg);
        EXPECT_EQ(IDCANCEL, Run(dlg));
    }

    CWinApp m_app;
    PlayWindows m_xp;
    ScopedEnv m_calls;
    ScopedEnv m_priv;
};
} // namespace

// One cycle with both problems, a second from scratch after the machine was
// put right, and every view the user gets on the way: the default button is
// disabled exactly while the diagnosis or the repair runs, the
// progress bar counts the finished checks, "Finish" leads back to the welcome
// page with the bar at 0 and its range kept. At start and after the repair
// the focus is on the default button, so Enter acts on it.
TEST_F(Wizard, WalksThroughItsStepsAndBackAgain)
{
    MachineHive hive(kBothProblems);
    InstallerOnPath installer(1);
    CWizardUnderTest dlg;
    ViewLog log;
    NoticeAnswerer notice(&dlg.m_hWnd);
    Walkthrough walk;
    walk.Watch(
        [&]
        {
            log.Record(dlg.m_hWnd);
            notice.Tick();
        });
    WhenShowing(walk, dlg,
                [&]
                {
                    EXPECT_EQ(GetDlgItem(dlg.m_hWnd, IDOK), GetFocus());
                    PostKey(dlg.m_hWnd, VK_RETURN);
                });
    walk.When("the report", [&] { return dlg.m_nOkCalls == 1 && dlg.m_nOkDepth == 0; });
    // After the notice, too, Enter acts on the default button, not on "Cancel".
    ClickDefault(walk, dlg, "the repair", [&] { EXPECT_EQ(GetDlgItem(dlg.m_hWnd, IDOK), GetFocus()); });
    ClickDefault(walk, dlg, "the welcome page",
                 [&]
                 {
                     EXPECT_EQ(std::make_pair(0, 2), ProgressRange(dlg.m_hWnd));
                     // The port setting was repaired; now the driver is too.
                     hive.SetString(kUsbControlKey, "ActiveService", "usbprint");
                 });
    ClickDefault(walk, dlg, "the second report");
    ClickDefault(walk, dlg, "the welcome page again",
                 [&] { EXPECT_EQ(std::make_pair(0, 2), ProgressRange(dlg.m_hWnd)); });
    CancelAndRun(dlg, walk);
    EXPECT_EQ(kNext, dlg.m_buttonWhenShown) << "the template's placeholder was on screen";
    std::vector<WizardView> expected = kBothRepaired;
    expected.insert(expected.end(), {{kWelcomePage, kNext, true, 0},
                                     {kDiagnosingPage, kNext, false, 0},
                                     {kDiagnosingPage, kNext, false, 1},
                                     {kNoProblemPage, kFinish, true, 2},
                                     {kWelcomePage, kNext, true, 0}});
    EXPECT_EQ(expected, log.views);
    EXPECT_EQ(1, notice.m_nShown);
    EXPECT_EQ(std::vector<bool>{false}, notice.m_wizardEnabledBehind) << "the notice is modal over the wizard";
}

// Each machine state gives its own report, and the button that follows it:
// "Next >" when there is something to repair, else "Finish", whose click
// returns to the welcome page.
TEST_F(Wizard, ReportForEachMachineState)
{
    struct Case
    {
        const char* name;
        MachineImage machine;
        bool admin;
        std::string page;
        const char* button;
    };
    const MachineImage notInstalled = {false, kWrongSetting, false};
    const std::vector<Case> cases = {
        {"nothing wrong", kNothingWrong, true, kNoProblemPage, kFinish},
        {"product missing", notInstalled, true, kNotInstalledPage, kFinish},
        {"not an administrator", kBothProblems, false, kNotAdminPage, kFinish},
        {"product missing, not an administrator", notInstalled, false, kNotInstalledPage, kFinish},
        {"port setting wrong", kPortWrong, true, std::string(kPortLine) + kClearLines, kNext},
        {"driver missing", kDriverMissing, true, std::string(kDriverLines) + kClearLines, kNext},
        {"both", kBothProblems, true, kBothProblemsPage, kNext},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MachineHive hive(c.machine, c.admin);
        CWizardUnderTest dlg;
        Walkthrough walk;
        WhenShowing(walk, dlg);
        ClickDefault(walk, dlg, "the report",
                     [&]
                     {
                         EXPECT_EQ(WizardView(c.page, c.button, true, 2), ViewOf(dlg.m_hWnd));
                         EXPECT_EQ(std::make_pair(0, 2), ProgressRange(dlg.m_hWnd));
                     });
        if (std::string(c.button) == kFinish)
            ClickDefault(walk, dlg, "the welcome page",
                         [&] { EXPECT_EQ(WizardView(kWelcomePage, kNext, true, 0), ViewOf(dlg.m_hWnd)); });
        CancelAndRun(dlg, walk);
    }
}

// What the repair page says for every outcome of the two repairs, and that a
// failed repair leads on to "Finish" as a successful one does. Repairs leave
// no GDI object behind (the notice's picture, at any DPI).
TEST_F(Wizard, RepairPageForEachOutcome)
{
    enum Installer
    {
        Absent,
        Succeeds, // returns 1
        Fails,    // returns 0
    };
    struct Case
    {
        const char* name;
        MachineImage machine;
        bool portLocked; // the service's key refuses writes
        Installer installer;
        std::string page;
        const char* setting; // the port setting afterwards
        int installerCalls;
    };
    const std::vector<Case> cases = {
        {"port repaired", kPortWrong, false, Absent, kPortRepaired, "VTvUsb0", 0},
        {"port not writable", kPortWrong, true, Absent, kFailed, kWrongSetting, 0},
        {"driver repaired", kDriverMissing, false, Succeeds, kDriverRepaired, "VTvUsb0", 1},
        {"installer absent", kDriverMissing, false, Absent, kFailed, "VTvUsb0", 0},
        {"installer fails", kDriverMissing, false, Fails, kFailed, "VTvUsb0", 1},
        {"both repaired", kBothProblems, false, Succeeds, std::string(kPortRepaired) + kDriverRepaired, "VTvUsb0", 1},
        {"port fails, driver repaired", kBothProblems, true, Succeeds, std::string(kFailed) + kDriverRepaired,
         kWrongSetting, 1},
        {"port repaired, installer fails", kBothProblems, false, Fails, std::string(kPortRepaired) + kFailed, "VTvUsb0",
         1},
        {"both fail", kBothProblems, true, Absent, std::string(kFailed) + kFailed, kWrongSetting, 0},
    };
    // Counted once the first notice has come and gone, which leaves what
    // Wine keeps for the rest of the process.
    const size_t kFirstNotice = 2;
    std::vector<DWORD> gdiObjects;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MachineHive hive(c.machine, true, c.portLocked);
        std::unique_ptr<InstallerOnPath> installer;
        if (c.installer != Absent)
            installer.reset(new InstallerOnPath(c.installer == Succeeds ? 1 : 0));
        ScopedEnv calls("QBX_STUB_VTINST_CALLS", NULL);
        CWizardUnderTest dlg;
        NoticeAnswerer notice(&dlg.m_hWnd);
        Walkthrough walk;
        walk.Watch([&] { notice.Tick(); });
        WhenShowing(walk, dlg);
        ClickDefault(walk, dlg, "the report", [&] { EXPECT_EQ(kNext, ReadItemText(dlg.m_hWnd, IDOK)); });
        ClickDefault(walk, dlg, "the repair",
                     [&] { EXPECT_EQ(WizardView(c.page, kFinish, true, 2), ViewOf(dlg.m_hWnd)); });
        ClickDefault(walk, dlg, "the welcome page",
                     [&]
                     {
                         EXPECT_EQ(WizardView(kWelcomePage, kNext, true, 0), ViewOf(dlg.m_hWnd));
                         EXPECT_EQ(std::make_pair(0, 2), ProgressRange(dlg.m_hWnd));
                     });
        CancelAndRun(dlg, walk);

        EXPECT_EQ(c.machine.driverActive ? 0 : 1, notice.m_nShown) << "the driver notice";
        EXPECT_EQ(c.setting, hive.PortSetting());
        EXPECT_EQ(c.installerCalls, atoi(GetEnv("QBX_STUB_VTINST_CALLS").c_str())) << "installer calls";
        gdiObjects.push_back(GdiObjectCount());
    }
    EXPECT_EQ(gdiObjects[kFirstNotice], gdiObjects.back()) << "GDI objects after the first notice and after the last";
}

// The problems found in one cycle stay remembered by the check units, but a
// later diagnosis that stops at a precondition shows only that precondition.
TEST_F(Wizard, FailedPreconditionHidesProblemsOfAnEarlierCycle)
{
    MachineHive hive(kBothProblems);
    CWizardUnderTest dlg;
    NoticeAnswerer notice(&dlg.m_hWnd);
    Walkthrough walk;
    walk.Watch([&] { notice.Tick(); });
    WhenShowing(walk, dlg);
    ClickDefault(walk, dlg, "the report", [&] { EXPECT_EQ(kBothProblemsPage, PageText(dlg.m_hWnd)); });
    ClickDefault(walk, dlg, "the repair");
    ClickDefault(walk, dlg, "the welcome page", [&] { hive.DeleteKey(kProductKey); });
    ClickDefault(walk, dlg, "the report without the product",
                 [&] { EXPECT_EQ(WizardView(kNotInstalledPage, kFinish, true, 2), ViewOf(dlg.m_hWnd)); });
    ClickDefault(walk, dlg, "the welcome page again",
                 [&]
                 {
                     hive.SetString(kProductKey, "VersionStr", "1.00");
                     SetEnvironmentVariableA("QBX_STUB_USER_PRIV", "1");
                 });
    ClickDefault(walk, dlg, "the report for a user",
                 [&] { EXPECT_EQ(WizardView(kNotAdminPage, kFinish, true, 2), ViewOf(dlg.m_hWnd)); });
    CancelAndRun(dlg, walk);
}

// "Cancel", the caption's close button and Escape during either pause of the
// diagnosis, and a WM_QUIT, which the pause leaves for the wizard's loop: the
// dialog ends, but only once the report has been written.
TEST_F(Wizard, CancelDuringADiagnosisEndsAfterTheReport)
{
    enum How
    {
        CancelButton,
        CloseBox,
        EscapeKey,
        QuitMessage, // ends the loops without a command
    };
    struct Case
    {
        const char* name;
        int pos; // 0: the first pause, 1: the second
        How how;
    };
    const Case cases[] = {
        {"Cancel, first pause", 0, CancelButton}, {"Cancel, second pause", 1, CancelButton},
        {"close box, first pause", 0, CloseBox},  {"close box, second pause", 1, CloseBox},
        {"Escape, first pause", 0, EscapeKey},    {"Escape, second pause", 1, EscapeKey},
        {"WM_QUIT, first pause", 0, QuitMessage},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MachineHive hive(kBothProblems);
        CWizardUnderTest dlg;
        Walkthrough walk;
        WhenShowing(walk, dlg);
        PressDefault(walk, dlg, "the diagnosis");
        walk.When("the pause",
                  [&] {
                      return PageText(dlg.m_hWnd) == kDiagnosingPage && !ButtonEnabled(dlg.m_hWnd) &&
                             ProgressPos(dlg.m_hWnd) == c.pos;
                  });
        if (c.how == CloseBox)
            walk.After(0, "the close box", [&] { PostMessageA(dlg.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); });
        else if (c.how == EscapeKey)
            walk.After(0, "Escape", [&] { PostKey(dlg.m_hWnd, VK_ESCAPE); });
        else if (c.how == QuitMessage)
            walk.After(0, "WM_QUIT", [] { PostQuitMessage(0); });
        else
            ClickCancel(walk, dlg);
        EXPECT_EQ(IDCANCEL, Run(dlg));
        EXPECT_EQ(c.how != QuitMessage, dlg.m_nCancelsInOk == 1) << "not cancelled during the pause";
        MSG msg;
        EXPECT_EQ(c.how == QuitMessage, PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE);
        EXPECT_EQ(Escaped(kBothProblemsPage), Escaped(dlg.m_pageAtDestroy));
        EXPECT_EQ(2, dlg.m_nPosAtDestroy);
    }
}

// The port check runs before the first pause, the driver check after it: a
// machine that changes during that pause is reported as the port was before
// it and as the driver is after it.
TEST_F(Wizard, ChecksThePortBeforeTheFirstPauseAndTheDriverAfterIt)
{
    struct Case
    {
        const char* name;
        MachineImage before;
        const char* portAfter;
        bool driverAfter; // the USB instance has a driver service after the change
        std::string page;
    };
    const Case cases[] = {
        {"port put right, driver lost", kPortWrong, kUsbSetting, false, kBothProblemsPage},
        {"port broken, driver back", kDriverMissing, kWrongSetting, true, kNoProblemPage},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MachineHive hive(c.before);
        CWizardUnderTest dlg;
        bool bChanged = false;
        Walkthrough walk;
        walk.Watch(
            [&]
            {
                if (bChanged || dlg.m_nOkCalls != 1 || PageText(dlg.m_hWnd) != kDiagnosingPage ||
                    ProgressPos(dlg.m_hWnd) != 0)
                    return;
                hive.SetString(kServiceKey, "0", c.portAfter);
                if (c.driverAfter)
                    hive.SetString(kUsbControlKey, "ActiveService", "usbprint");
                else
                    hive.DeleteKey(kUsbControlKey);
                bChanged = true;
            });
        WhenShowing(walk, dlg);
        ClickDefault(walk, dlg, "the report", [&] { EXPECT_EQ(Escaped(c.page), Escaped(PageText(dlg.m_hWnd))); });
        CancelAndRun(dlg, walk);
        EXPECT_TRUE(bChanged) << "the first pause went by unseen";
    }
}

// Tab in each pause of the diagnosis moves the focus on to the next control
// that takes it, as in the wizard's own modal loop; the diagnosis goes on.
TEST_F(Wizard, TabMovesTheFocusDuringADiagnosis)
{
    MachineHive hive(kBothProblems);
    CWizardUnderTest dlg;
    HWND focus[2] = {NULL, NULL};
    Walkthrough walk;
    WhenShowing(walk, dlg);
    PressDefault(walk, dlg, "the diagnosis");
    for (int pos = 0; pos < 2; ++pos)
    {
        walk.When(
            "pause " + std::to_string(pos),
            [&dlg, pos] { return dlg.m_nOkDepth == 1 && ProgressPos(dlg.m_hWnd) == pos; },
            [&dlg] { PostKey(dlg.m_hWnd, VK_TAB); });
        walk.When(
            "the focus moved in pause " + std::to_string(pos),
            [&dlg, &focus, pos] { return GetFocus() != (pos == 0 ? NULL : focus[0]) || dlg.m_nOkDepth == 0; },
            [&dlg, &focus, pos]
            {
                focus[pos] = GetFocus();
                EXPECT_EQ(1, dlg.m_nOkDepth) << "the diagnosis ended before the focus moved";
                EXPECT_TRUE(IsChild(dlg.m_hWnd, focus[pos])) << "pause " << pos;
            });
    }
    walk.When(
        "the report", [&] { return dlg.m_nOkDepth == 0; },
        [&] { EXPECT_EQ(WizardView(kBothProblemsPage, kNext, true, 2), ViewOf(dlg.m_hWnd)); });
    CancelAndRun(dlg, walk);
    EXPECT_NE(focus[0], focus[1]);
}

// The About box opened from the system menu in the middle of a diagnosis:
// it comes up over the wizard, the diagnosis waits for it, and goes on to
// its report once it is closed.
TEST_F(Wizard, AboutBoxDuringADiagnosis)
{
    MachineHive hive(kBothProblems);
    CWizardUnderTest dlg;
    int nPosAtAbout = -1;
    Walkthrough walk;
    WhenShowing(walk, dlg);
    PressDefault(walk, dlg, "the diagnosis");
    walk.When(
        "the first pause", [&] { return PageText(dlg.m_hWnd) == kDiagnosingPage && !ButtonEnabled(dlg.m_hWnd); },
        [&] { PostMessageA(dlg.m_hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0); });
    walk.WhenDialog(kAboutCaption,
                    [&](HWND hAbout)
                    {
                        EXPECT_EQ(dlg.m_hWnd, GetWindow(hAbout, GW_OWNER));
                        EXPECT_FALSE(IsWindowEnabled(dlg.m_hWnd)) << "the About box is modal";
                        nPosAtAbout = ProgressPos(dlg.m_hWnd);
                    });
    // Longer than what was left of both pauses.
    walk.After(400, "a while with the About box",
               [&] {
                   EXPECT_EQ(WizardView(kDiagnosingPage, kNext, false, nPosAtAbout), ViewOf(dlg.m_hWnd))
                       << "the diagnosis went on";
               });
    CloseAboutBox(walk, dlg, "the About box's OK");
    walk.When(
        "the report", [&] { return dlg.m_nOkDepth == 0; },
        [&] { EXPECT_EQ(WizardView(kBothProblemsPage, kNext, true, 2), ViewOf(dlg.m_hWnd)); });
    CancelAndRun(dlg, walk);
    EXPECT_EQ(0, nPosAtAbout);
}

// The system menu ends with a separator and the About entry; every system
// command whose value without its low four bits is that entry's opens the
// About box, no other does, and never a second one over the first.
TEST_F(Wizard, SystemMenuOpensTheAboutBox)
{
    CWizardUnderTest dlg;
    Walkthrough walk;
    WhenShowing(walk, dlg,
                [&]
                {
                    HMENU hMenu = GetSystemMenu(dlg.m_hWnd, FALSE);
                    const int nItems = GetMenuItemCount(hMenu);
                    ASSERT_GE(nItems, 2);
                    char text[64] = "";
                    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), GetMenuItemID(hMenu, nItems - 1));
                    GetMenuStringA(hMenu, nItems - 1, text, sizeof(text), MF_BYPOSITION);
                    EXPECT_STREQ("&About QbxMender...", text);
                    MENUITEMINFOA mii;
                    ZeroMemory(&mii, sizeof(mii));
                    mii.cbSize = sizeof(mii);
                    mii.fMask = MIIM_FTYPE;
                    ASSERT_TRUE(GetMenuItemInfoA(hMenu, nItems - 2, TRUE, &mii));
                    EXPECT_TRUE(mii.fType & MFT_SEPARATOR);
                });
    const struct
    {
        WPARAM command;
        int posts; // 0: sent once from another thread, as accessibility tools do
        bool opens;
    } cases[] = {{0x0010, 1, true},  {0x0013, 1, true},  {0x001F, 1, true},    {0x0000, 1, false},
                 {0x0020, 1, false}, {0x0110, 1, false}, {0x0010, 1500, true}, {0x0010, 0, true}};
    std::thread sender;
    DWORD nGdiObjects = 0;
    for (const auto& c : cases)
    {
        const std::string name = "command " + std::to_string(c.command) + " x" + std::to_string(c.posts);
        walk.After(0, name,
                   [&dlg, &sender, &nGdiObjects, c]
                   {
                       nGdiObjects = GdiObjectCount();
                       if (c.posts == 0)
                           sender = std::thread([&dlg, c] { SendMessageA(dlg.m_hWnd, WM_SYSCOMMAND, c.command, 0); });
                       for (int i = 0; i < c.posts; ++i)
                           PostMessageA(dlg.m_hWnd, WM_SYSCOMMAND, c.command, 0);
                   });
        // Posted messages come before timer ticks: by the next one they have
        // been handled, and a box that opened shows once its loop is idle.
        // Hidden boxes count too.
        walk.When(
            name + " handled", [c] { return !c.opens || FindThreadDialog(kAboutCaption) != NULL; },
            [c, name]
            {
                int nBoxes = 0;
                for (HWND hWnd = GetWindow(GetDesktopWindow(), GW_CHILD); hWnd != NULL;
                     hWnd = GetWindow(hWnd, GW_HWNDNEXT))
                    nBoxes += GetWindowThreadProcessId(hWnd, NULL) == GetCurrentThreadId() &&
                              ReadWindowText(hWnd) == kAboutCaption;
                EXPECT_EQ(c.opens ? 1 : 0, nBoxes) << name;
            });
        CloseAboutBox(walk, dlg, name + ", About box closed");
    }
    walk.After(0, "the sender back",
               [&]
               {
                   sender.join();
                   EXPECT_EQ(nGdiObjects, GdiObjectCount()) << "GDI objects before and after a box opened that way";
               });
    CancelAndRun(dlg, walk);
}

// The colours of the top left w x h pixels of a device context.
std::vector<COLORREF> Pixels(HDC hdc, int w, int h)
{
    std::vector<COLORREF> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels.push_back(GetPixel(hdc, x, y));
    return pixels;
}

// The pixels of a w x h area in the icon's background with hIcon drawn at
// (x, y).
std::vector<COLORREF> IconPixels(HICON hIcon, int w, int h, int x, int y)
{
    HDC hMem = CreateCompatibleDC(NULL);
    HBITMAP hBitmap = CreateBitmap(w, h, 1, 32, NULL);
    HGDIOBJ hOld = SelectObject(hMem, hBitmap);
    HBRUSH hBrush = CreateSolidBrush(kIconBackground);
    const RECT rect = {0, 0, w, h};
    FillRect(hMem, &rect, hBrush);
    DeleteObject(hBrush);
    EXPECT_TRUE(DrawIcon(hMem, x, y, hIcon));
    const std::vector<COLORREF> pixels = Pixels(hMem, w, h);
    SelectObject(hMem, hOld);
    DeleteDC(hMem);
    DeleteObject(hBitmap);
    return pixels;
}

// Where the pixels other than the background lie, for a failure message.
std::string Extent(const std::vector<COLORREF>& pixels, int w)
{
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (size_t i = 0; i < pixels.size(); ++i)
    {
        if (pixels[i] == kIconBackground)
            continue;
        const int x = static_cast<int>(i) % w, y = static_cast<int>(i) / w;
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
    if (right < 0)
        return "none";
    return "(" + std::to_string(left) + ", " + std::to_string(top) + ") to (" + std::to_string(right) + ", " +
           std::to_string(bottom) + ")";
}

// The pixels inside box, the others as the icon's background.
std::vector<COLORREF> Within(std::vector<COLORREF> pixels, int w, const RECT& box)
{
    for (size_t i = 0; i < pixels.size(); ++i)
    {
        const POINT pt = {static_cast<int>(i) % w, static_cast<int>(i) / w};
        if (!PtInRect(&box, pt))
            pixels[i] = kIconBackground;
    }
    return pixels;
}

// The minimised wizard paints its icon centred in its client area, the odd
// pixel rounded as signed division does, toward zero: given a client area
// (Wine gives a minimised window none, Windows 3.x its icon's square), the
// pixels it shows are those of the icon drawn there on the background.
// Compared are the pixels its painting reached and a client DC reads back:
// Wine 8 gives both the whole client area, Wine 10 clips both by the
// window's 3-pixel frame, which this client area overlaps. Those pixels must
// tell the icon's place to the pixel.
TEST_F(Wizard, MinimisedWindowPaintsItsIconCentred)
{
    ASSERT_EQ(32, GetSystemMetrics(SM_CXICON));
    ASSERT_EQ(32, GetSystemMetrics(SM_CYICON));
    const struct
    {
        int cx, cy; // within the minimised window, 160 x 24 in Wine 8, 160 x 31 in Wine 10
        int x, y;   // where the icon's corner goes
    } cases[] = {
        {160, 24, 64, -3}, {20, 20, -5, -5}, // -11 / 2: -5, not -6
        {19, 21, -6, -5},  {32, 22, 0, -4},  {33, 23, 1, -4}, {35, 24, 2, -3},
    };
    MachineHive hive(kNothingWrong);
    CWizardUnderTest dlg;
    Walkthrough walk;
    WhenShowing(walk, dlg,
                [&]
                {
                    const HICON hIcon = reinterpret_cast<HICON>(SendMessageA(dlg.m_hWnd, WM_GETICON, ICON_BIG, 0));
                    ASSERT_TRUE(hIcon != NULL);
                    for (const auto& c : cases)
                    {
                        SCOPED_TRACE(testing::Message() << "client " << c.cx << " x " << c.cy);
                        dlg.m_iconicClient.cx = c.cx;
                        dlg.m_iconicClient.cy = c.cy;
                        if (!IsIconic(dlg.m_hWnd))
                            ShowWindow(dlg.m_hWnd, SW_MINIMIZE);
                        else
                            SetWindowPos(dlg.m_hWnd, NULL, 0, 0, 0, 0,
                                         SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                        ASSERT_TRUE(IsIconic(dlg.m_hWnd));
                        RECT rect;
                        GetClientRect(dlg.m_hWnd, &rect);
                        ASSERT_EQ(c.cx, rect.right);
                        ASSERT_EQ(c.cy, rect.bottom);
                        const int nErases = dlg.m_nIconErases;
                        InvalidateRect(dlg.m_hWnd, NULL, TRUE);
                        UpdateWindow(dlg.m_hWnd);
                        ASSERT_EQ(nErases + 1, dlg.m_nIconErases) << "not painted";

                        HDC hdc = GetDC(dlg.m_hWnd);
                        RECT readable, box;
                        GetClipBox(hdc, &readable);
                        IntersectRect(&box, &readable, &dlg.m_iconPaintClip);
                        const std::vector<COLORREF> shown = Within(Pixels(hdc, c.cx, c.cy), c.cx, box);
                        ReleaseDC(dlg.m_hWnd, hdc);
                        const std::vector<COLORREF> expected =
                            Within(IconPixels(hIcon, c.cx, c.cy, c.x, c.y), c.cx, box);
                        EXPECT_TRUE(shown == expected)
                            << "icon pixels at " << Extent(shown, c.cx) << ", expected at " << Extent(expected, c.cx);
                        const POINT offs[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
                        for (const POINT& off : offs)
                        {
                            const std::vector<COLORREF> moved = IconPixels(hIcon, c.cx, c.cy, c.x + off.x, c.y + off.y);
                            EXPECT_FALSE(Within(moved, c.cx, box) == expected)
                                << "the pixels compared, (" << box.left << ", " << box.top << ") to (" << box.right
                                << ", " << box.bottom << "), do not tell the icon one pixel off by " << off.x << ", "
                                << off.y;
                        }
                    }
                    dlg.m_iconicClient.cx = dlg.m_iconicClient.cy = 0;
                    ShowWindow(dlg.m_hWnd, SW_RESTORE);
                });
    ClickDefault(walk, dlg, "the report", [&] { EXPECT_EQ(kNoProblemPage, PageText(dlg.m_hWnd)); });
    CancelAndRun(dlg, walk);
}

// The window's icons in the sizes the system asks for at the screen's DPI,
// the large one also as the drag icon; the About box shows the large one and
// its texts whole.
TEST_F(Wizard, IconsAndAboutBoxAtTheScreensDpi)
{
    CWizardUnderTest dlg;
    Walkthrough walk;
    WhenShowing(walk, dlg,
                [&]
                {
                    const struct
                    {
                        WPARAM which;
                        int cx, cy;
                    } icons[] = {{ICON_BIG, SM_CXICON, SM_CYICON}, {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}};
                    for (const auto& icon : icons)
                    {
                        const SIZE size =
                            IconSize(reinterpret_cast<HICON>(SendMessageA(dlg.m_hWnd, WM_GETICON, icon.which, 0)));
                        EXPECT_EQ(GetSystemMetrics(icon.cx), size.cx) << "icon " << icon.which;
                        EXPECT_EQ(GetSystemMetrics(icon.cy), size.cy) << "icon " << icon.which;
                    }
                    EXPECT_EQ(SendMessageA(dlg.m_hWnd, WM_GETICON, ICON_BIG, 0),
                              SendMessageA(dlg.m_hWnd, WM_QUERYDRAGICON, 0, 0));
                    PostMessageA(dlg.m_hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
                });
    walk.WhenDialog(kAboutCaption,
                    [](HWND hAbout)
                    {
                        ExpectTextsFit(hAbout);
                        HWND hIcon = FindWindowExA(hAbout, NULL, "Static", NULL);
                        const SIZE size = IconSize(reinterpret_cast<HICON>(SendMessageA(hIcon, STM_GETICON, 0, 0)));
                        EXPECT_EQ(GetSystemMetrics(SM_CXICON), size.cx);
                    });
    CloseAboutBox(walk, dlg, "the About box's OK");
    CancelAndRun(dlg, walk);
}

// The program's icon painted when the window is minimised; the wizard works
// on once restored.
TEST_F(Wizard, PaintingWhileMinimised)
{
    MachineHive hive(kNothingWrong);
    CWizardUnderTest dlg;
    Walkthrough walk;
    WhenShowing(walk, dlg,
                [&]
                {
                    ShowWindow(dlg.m_hWnd, SW_MINIMIZE);
                    ASSERT_TRUE(IsIconic(dlg.m_hWnd));
                    InvalidateRect(dlg.m_hWnd, NULL, TRUE);
                    UpdateWindow(dlg.m_hWnd);
                    // Wine gives a minimised window no client area to paint; the paint
                    // message then comes as a program would send it.
                    if (dlg.m_nIconErases == 0)
                        SendMessageA(dlg.m_hWnd, WM_PAINT, 0, 0);
                    EXPECT_EQ(1, dlg.m_nIconErases) << "the icon's background was not erased";
                    ShowWindow(dlg.m_hWnd, SW_RESTORE);
                });
    ClickDefault(walk, dlg, "the report", [&] { EXPECT_EQ(kNoProblemPage, PageText(dlg.m_hWnd)); });
    CancelAndRun(dlg, walk);
}

// A second copy of the program finds the wizard by a window property named
// after the instance name; it is there while the wizard is up and gone once
// it is destroyed.
TEST_F(Wizard, MarksItsWindowWithTheInstanceName)
{
    const char* const names[] = {NULL, "QbxMender Copy 2"}; // NULL: the test program's own name
    for (const char* pszName : names)
    {
        if (pszName != NULL)
            m_app.m_pszExeName = pszName;
        const std::string name = m_app.m_pszExeName;
        SCOPED_TRACE(name);
        if (pszName == NULL)
        {
            EXPECT_EQ("test_app", name);
        }
        CWizardUnderTest dlg;
        Walkthrough walk;
        WhenShowing(walk, dlg, [&] { EXPECT_EQ(reinterpret_cast<HANDLE>(1), GetPropA(dlg.m_hWnd, name.c_str())); });
        CancelAndRun(dlg, walk);
        EXPECT_EQ(NULL, dlg.m_hPropAfterDestroy);
    }
}

// The default button loses the focus while it is disabled for the diagnosis
// and must get it back, or on the report page a real Enter key goes nowhere.
// (PostKey, finding no focus, posts the key to the dialog itself, where it
// would still work: the focus is what to check.)
TEST_F(Wizard, EnterActsOnTheDefaultButtonAfterADiagnosis)
{
    MachineHive hive(kNothingWrong);
    CWizardUnderTest dlg;
    Walkthrough walk;
    WhenShowing(walk, dlg, [&] { PostKey(dlg.m_hWnd, VK_RETURN); });
    walk.When(
        "the report", [&] { return dlg.m_nOkCalls == 1 && dlg.m_nOkDepth == 0; },
        [&]
        {
            EXPECT_EQ(GetDlgItem(dlg.m_hWnd, IDOK), GetFocus());
            PostKey(dlg.m_hWnd, VK_RETURN);
        });
    walk.When(
        "the welcome page", [&] { return dlg.m_nOkCalls == 2 && dlg.m_nOkDepth == 0; },
        [&] { EXPECT_EQ(kWelcomePage, PageText(dlg.m_hWnd)); });
    CancelAndRun(dlg, walk);
}

// Runs g_atEnable once, as g_hButton is enabled again, while the step that
// disabled it still runs.
HWND g_hButton = NULL;
std::function<void()> g_atEnable;

LRESULT CALLBACK RunAtEnable(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMsg->message == WM_ENABLE && pMsg->wParam && pMsg->hwnd == g_hButton && g_atEnable)
    {
        std::function<void()> act;
        act.swap(g_atEnable);
        act();
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

// The default button pressed again while a diagnosis or a repair runs, by a
// real click or Enter while the installer library handles messages (as it
// does while Windows shows its driver warning) or blocks, or by a
// WM_COMMAND(IDOK) any program can post: nothing starts inside the running
// step, nothing queued meanwhile acts after it, and the walk shows the same
// pages as without it. A press given as the button comes back, however it
// comes, acts at once: the repair follows the diagnosis.
TEST_F(Wizard, PressesDuringAStepAreIgnored)
{
    enum Press
    {
        PostedDuringDiagnosis,
        PostedWhileNoticeShows,
        PostedByInstaller,
        ClickedDuringInstaller,
        ClickedWhileInstallerBlocks,
        EnterWhileInstallerBlocks,
        ThirtyPostedOnWelcome,
        PostedAsEnabled, // these act
        SentAsEnabled,
        BmClickSentAsEnabled,
        ClickedAsEnabled,
        EnterAsEnabled,
    };
    const struct
    {
        const char* name;
        Press press;
    } cases[] = {
        {"WM_COMMAND(IDOK) during the diagnosis", PostedDuringDiagnosis},
        {"WM_COMMAND(IDOK) while the notice shows", PostedWhileNoticeShows},
        {"WM_COMMAND(IDOK) while the installer runs", PostedByInstaller},
        {"a click while the installer runs", ClickedDuringInstaller},
        {"a click while the installer blocks", ClickedWhileInstallerBlocks},
        {"Enter while the installer blocks", EnterWhileInstallerBlocks},
        {"30 WM_COMMAND(IDOK) at once on the welcome page", ThirtyPostedOnWelcome},
        {"WM_COMMAND(IDOK) posted as the button comes back", PostedAsEnabled},
        {"WM_COMMAND(IDOK) sent from another thread as the button comes back", SentAsEnabled},
        {"BM_CLICK sent from another thread as the button comes back", BmClickSentAsEnabled},
        {"a click as the button comes back", ClickedAsEnabled},
        {"Enter as the button comes back", EnterAsEnabled},
    };
    HHOOK hHook = SetWindowsHookExA(WH_CALLWNDPROC, RunAtEnable, NULL, GetCurrentThreadId());
    std::vector<DWORD> gdiObjects;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        MachineHive hive(kBothProblems);
        InstallerOnPath installer(1);
        ScopedEnv installerCalls("QBX_STUB_VTINST_CALLS", NULL);
        ScopedEnv accountCalls("QBX_STUB_NETAPI_CALLS", NULL);
        ScopedEnv press("QBX_STUB_VTINST_PRESS", NULL);
        CWizardUnderTest dlg;
        ViewLog log;
        NoticeAnswerer notice(&dlg.m_hWnd);
        bool bPosted = false;
        std::thread sender;
        const bool bActs = c.press >= PostedAsEnabled;
        Walkthrough walk;
        walk.Watch(
            [&]
            {
                log.Record(dlg.m_hWnd);
                if (c.press == PostedWhileNoticeShows && !bPosted && FindThreadDialog(kNoticeCaption) != NULL)
                    bPosted = PostMessageA(dlg.m_hWnd, WM_COMMAND, IDOK, 0) != FALSE;
                notice.Tick();
            });
        WhenShowing(walk, dlg,
                    [&]
                    {
                        const std::string hWnd = std::to_string(reinterpret_cast<INT_PTR>(dlg.m_hWnd));
                        const char* const modes[] = {"post ", "click ", "queue ", "enter "};
                        if (c.press >= PostedByInstaller && c.press <= EnterWhileInstallerBlocks)
                            SetEnvironmentVariableA("QBX_STUB_VTINST_PRESS",
                                                    (modes[c.press - PostedByInstaller] + hWnd).c_str());
                        for (int i = 0; c.press == ThirtyPostedOnWelcome && i < 30; ++i)
                            bPosted = PostMessageA(dlg.m_hWnd, WM_COMMAND, IDOK, 0) != FALSE;
                        g_hButton = GetDlgItem(dlg.m_hWnd, IDOK);
                        g_atEnable = [&]
                        {
                            const HWND hDlg = dlg.m_hWnd;
                            if (c.press == PostedAsEnabled)
                                PostMessageA(hDlg, WM_COMMAND, IDOK, 0);
                            else if (c.press == SentAsEnabled || c.press == BmClickSentAsEnabled)
                                sender = std::thread(
                                    [hDlg, &c]
                                    {
                                        SendMessageA(c.press == SentAsEnabled ? hDlg : g_hButton,
                                                     c.press == SentAsEnabled ? WM_COMMAND : BM_CLICK, IDOK, 0);
                                    });
                            else
                                SendPress(g_hButton, c.press == EnterAsEnabled ? VK_RETURN : 0);
                        };
                        if (!bActs)
                            g_atEnable = std::function<void()>();
                    });
        if (c.press != ThirtyPostedOnWelcome)
            PressDefault(walk, dlg, "the diagnosis");
        if (c.press == PostedDuringDiagnosis)
            walk.When(
                "the first pause", [&] { return ProgressPos(dlg.m_hWnd) == 0 && !ButtonEnabled(dlg.m_hWnd); },
                [&] { bPosted = PostMessageA(dlg.m_hWnd, WM_COMMAND, IDOK, 0) != FALSE; });
        if (!bActs)
        {
            walk.When("the report", [&] { return dlg.m_nOkDepth == 0 && PageText(dlg.m_hWnd) != kDiagnosingPage; });
            ClickDefault(walk, dlg, "the repair");
        }
        walk.When("the repair page", [&] { return dlg.m_nOkDepth == 0 && ReadItemText(dlg.m_hWnd, IDOK) == kFinish; });
        // Long enough for a click queued meanwhile to be handled.
        walk.After(200, "the repair page a while");
        CancelAndRun(dlg, walk);
        if (sender.joinable())
            sender.join();

        std::vector<WizardView> expected = kBothRepaired;
        if (c.press == ThirtyPostedOnWelcome) // the pauses take the posts: no tick shows the diagnosis
            expected.erase(expected.begin() + 1, expected.begin() + 3);
        if (!bActs)
        {
            EXPECT_EQ(expected, log.views);
        }
        EXPECT_EQ(expected.back(), log.views.back());
        EXPECT_EQ(1, atoi(GetEnv("QBX_STUB_NETAPI_CALLS").c_str())) << "diagnoses";
        EXPECT_EQ(1, atoi(GetEnv("QBX_STUB_VTINST_CALLS").c_str())) << "installer calls";
        EXPECT_EQ(1, notice.m_nShown) << "notices";
        gdiObjects.push_back(GdiObjectCount()); // a notice shown inside a sent message among them
        if (c.press == PostedDuringDiagnosis || c.press == PostedWhileNoticeShows || c.press == ThirtyPostedOnWelcome)
        {
            EXPECT_TRUE(bPosted);
        }
    }
    UnhookWindowsHookEx(hHook);
    EXPECT_EQ(std::vector<DWORD>(gdiObjects.size() - 1, gdiObjects[1]),
              std::vector<DWORD>(gdiObjects.begin() + 1, gdiObjects.end()))
        << "GDI objects after each repair from the second on";
}
