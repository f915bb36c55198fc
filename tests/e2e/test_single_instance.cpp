// One copy of the program at a time, across processes: copies of the real
// QbxMender.exe started from a scratch folder, and the desktop looked at from
// here. Under Wine a change of foreground reaches the threads that gain or
// lose it as messages: a check waits until the program's thread has handled
// those, never for a time.
#include "ProgramDriver.h"
#include "Scratch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
// Returns once the thread of hWnd has handled every message sent to it
// before, the activations that SetForegroundWindow sends among them.
bool Handled(HWND hWnd)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, DriverWaitMs(), &result) != 0;
}

// A window of this test that takes the foreground, so that a change of
// foreground is the program's doing.
class ForegroundWindow
{
public:
    ForegroundWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "QbxSingleInstanceTest";
        RegisterClassA(&wc);
        m_hWnd = CreateWindowExA(0, wc.lpszClassName, "single instance test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 200, 100, NULL, NULL, wc.hInstance, NULL);
    }
    ~ForegroundWindow() { DestroyWindow(m_hWnd); }

    // Takes the foreground from the program, and returns once the program's
    // thread has handled losing it. Until then Wine still counts the window
    // that had it as active there, and a second copy that asks for that
    // window again is taken as answered, while the loss, handled later,
    // leaves the program without an active window.
    bool Take(HWND hProgram)
    {
        return WaitFor(
                   [this]
                   {
                       if (GetForegroundWindow() != m_hWnd)
                           SetForegroundWindow(m_hWnd);
                       return GetForegroundWindow() == m_hWnd;
                   }) &&
               Handled(hProgram);
    }

private:
    HWND m_hWnd;
};

class SingleInstance : public ::testing::Test
{
protected:
    SingleInstance() : m_folder("single") {}

    void SetUp() override { ASSERT_TRUE(Install("QbxMender.exe")); }

    // A copy of the program in the test's folder, under the given name.
    ::testing::AssertionResult Install(const std::string& name)
    {
        return CopyBuilt("payload\\QbxMender.exe", m_folder.Path(), name);
    }

    ProgramProcess& Launch(const std::string& name = "QbxMender.exe")
    {
        m_copies.push_back(std::unique_ptr<ProgramProcess>(new ProgramProcess));
        // Under Wine, one of many processes started at the same moment now
        // and then fails to be created at all (a fault of the loader, not of
        // the program): a user would start it again.
        DWORD error = ERROR_SUCCESS;
        for (int attempt = 0; attempt < 3; ++attempt)
        {
            if (m_copies.back()->Start(m_folder.File(name)))
                return *m_copies.back();
            error = GetLastError();
            Sleep(100);
        }
        ADD_FAILURE() << "the copy did not start (error " << error << ")";
        return *m_copies.back();
    }

private:
    ScratchFolder m_folder; // before m_copies: removed once every copy has ended
    std::vector<std::unique_ptr<ProgramProcess>> m_copies;
};

TEST_F(SingleInstance, SecondCopyRestoresTheRunningWizardAndEnds)
{
    ProgramProcess& first = Launch();
    WizardDriver wizard(first.Id(), "QbxMender");
    ASSERT_TRUE(wizard.Attach()) << "no wizard came up";
    HWND hWizard = wizard.Window();

    // The dialog manager shows the wizard once its queue first runs empty,
    // which undoes a minimise that came before: minimise until it stays.
    bool minimised = false;
    for (int i = 0; i < 5 && !minimised; ++i)
    {
        PostMessageA(hWizard, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        minimised = WaitFor([&] { return IsIconic(hWizard) != FALSE; }, DriverWaitMs() / 4) &&
                    !WaitFor([&] { return !IsIconic(hWizard); }, 500);
    }
    ASSERT_TRUE(minimised) << "the wizard did not stay minimised";
    ForegroundWindow other;
    ASSERT_TRUE(other.Take(hWizard));

    ProgramProcess& second = Launch();
    EXPECT_TRUE(second.WaitForExit()) << "the second copy kept running";
    // What the second copy asked of the running one was sent before it ended.
    ASSERT_TRUE(Handled(hWizard));
    EXPECT_FALSE(IsIconic(hWizard));
    EXPECT_EQ(hWizard, GetForegroundWindow());
    EXPECT_EQ(1u, FindWizards("QbxMender").size());
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(wizard.Cancel(first));
}

TEST_F(SingleInstance, SecondCopyBringsTheAboutBoxForward)
{
    ProgramProcess& first = Launch();
    WizardDriver wizard(first.Id(), "QbxMender");
    ASSERT_TRUE(wizard.Attach()) << "no wizard came up";
    HWND hAbout = wizard.OpenAbout();
    ASSERT_TRUE(hAbout != NULL) << "no About box";
    ForegroundWindow other;
    ASSERT_TRUE(other.Take(hAbout));

    EXPECT_TRUE(Launch().WaitForExit()) << "the second copy kept running";
    ASSERT_TRUE(Handled(hAbout));
    EXPECT_EQ(hAbout, GetForegroundWindow()) << "wizard " << wizard.Window();
    EXPECT_TRUE(IsWindowVisible(hAbout));

    PostClick(hAbout, IDOK);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(hAbout); }));
    EXPECT_TRUE(wizard.Cancel(first));
}

TEST_F(SingleInstance, CopiesUnderOtherNamesRunSideBySide)
{
    ASSERT_TRUE(Install("QbxMenderCopy.exe"));
    ProgramProcess& first = Launch("QbxMender.exe");
    ProgramProcess& second = Launch("QbxMenderCopy.exe");
    WizardDriver wizard1(first.Id(), "QbxMender");
    WizardDriver wizard2(second.Id(), "QbxMenderCopy");
    ASSERT_TRUE(wizard1.Attach());
    ASSERT_TRUE(wizard2.Attach());
    EXPECT_EQ(1u, FindWizards("QbxMender").size());
    EXPECT_EQ(1u, FindWizards("QbxMenderCopy").size());
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(second.Running());
    EXPECT_TRUE(wizard1.Cancel(first));
    EXPECT_TRUE(wizard2.Cancel(second));
}

// A file named ".exe" gives no instance name; the copies still share one:
// the first runs the wizard, every later one ends.
TEST_F(SingleInstance, FileNamedDotExeStillAllowsOneCopy)
{
    ASSERT_TRUE(Install(".exe"));
    ProgramProcess& first = Launch(".exe");
    WizardDriver wizard(first.Id(), "QbxMender");
    ASSERT_TRUE(wizard.Attach()) << "no wizard came up";
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_TRUE(Launch(".exe").WaitForExit()) << "copy " << i + 2 << " kept running";
    }
    EXPECT_EQ(1u, FindWizards("QbxMender").size());
    EXPECT_TRUE(wizard.Cancel(first));
}

TEST_F(SingleInstance, TwentyCopiesAtOnceLeaveOneWizard)
{
    const size_t kCopies = 20;
    std::vector<ProgramProcess*> copies;
    for (size_t i = 0; i < kCopies; ++i)
        copies.push_back(&Launch());

    // Every copy but the one that took the name ends by itself.
    ProgramProcess* survivor = NULL;
    const bool settled = WaitFor(
        [&]
        {
            size_t running = 0;
            for (size_t i = 0; i < copies.size(); ++i)
            {
                if (copies[i]->Running())
                {
                    ++running;
                    survivor = copies[i];
                }
            }
            return running == 1;
        },
        60000);
    ASSERT_TRUE(settled) << "the copies did not settle on one";

    WizardDriver wizard(survivor->Id(), "QbxMender");
    ASSERT_TRUE(wizard.Attach());
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(1u, FindWizards("QbxMender").size());
    EXPECT_TRUE(wizard.Cancel(*survivor));
}
} // namespace
