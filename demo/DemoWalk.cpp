// The demo's walk through the wizard, for a machine without a screen: starts
// the program, goes through every page as a user would and stops at each one
// for a screenshot. At each stop it prints
//     shot NAME LEFT TOP WIDTH HEIGHT
// (the program's windows with a margin, in desktop coordinates) and waits for
// a line on its input before it goes on.
//
// Usage: qbx_demo_walk PATH\QbxMender.exe
#include "ProgramDriver.h"

#include <stdio.h>

namespace
{
const int kMargin = 16;
const char kNoProblems[] = "The QBX Mender did not find any problems.";

// hActive is the window the user works in. It gets the foreground afresh:
// under Wine a window may be the foreground window and still show an
// inactive caption.
void Shot(DWORD pid, HWND hActive, const char* name)
{
    SetForegroundWindow(GetDesktopWindow());
    WaitFor([hActive] { return GetForegroundWindow() != hActive; }, 2000);
    SetForegroundWindow(hActive);
    WaitFor([hActive] { return GetForegroundWindow() == hActive; }, 2000);
    SettleWindow(hActive);
    const RECT rc = ProcessWindowsRect(pid, kMargin);
    printf("shot %s %ld %ld %ld %ld\n", name, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    fflush(stdout);
    // Goes on once the shot is taken, or at once when nobody listens.
    char line[64];
    fgets(line, sizeof(line), stdin);
}

int Fail(const char* what, const std::string& detail)
{
    fprintf(stderr, "qbx_demo_walk: %s: %s\n", what, detail.c_str());
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return Fail("usage", "qbx_demo_walk PATH\\QbxMender.exe");

    ProgramProcess program;
    if (!program.Start(argv[1]))
        return Fail("cannot start", argv[1]);
    WizardDriver wizard(program.Id(), "QbxMender");
    if (!wizard.Attach())
        return Fail("no wizard came up", argv[1]);
    Shot(program.Id(), wizard.Window(), "welcome");

    const std::string report = wizard.Next();
    if (report.find("Click <Next>") == std::string::npos)
        return Fail("the diagnosis found nothing to repair", report);
    Shot(program.Id(), wizard.Window(), "report");

    bool noticeShown = false;
    const std::string repair = wizard.Next(
        [&](HWND hNotice)
        {
            noticeShown = true;
            TickUnderstand(hNotice);
            Shot(program.Id(), hNotice, "notice");
            AcceptNotice(hNotice);
        });
    if (!noticeShown)
        return Fail("the repair showed no notice", repair);
    if (repair.find("Ended in failure") != std::string::npos || repair.find("(no new page") == 0)
        return Fail("the repair did not succeed", repair);
    Shot(program.Id(), wizard.Window(), "repair");

    HWND hAbout = wizard.OpenAbout();
    if (hAbout == NULL)
        return Fail("no About box", "");
    Shot(program.Id(), hAbout, "about");
    PostClick(hAbout, IDOK);
    WaitFor([hAbout] { return !IsWindow(hAbout); });

    wizard.Next(); // "Finish": back to the welcome page
    const std::string recheck = wizard.Next();
    if (recheck != kNoProblems)
        return Fail("a new diagnosis still finds problems", recheck);
    Shot(program.Id(), wizard.Window(), "clean");

    if (!wizard.Cancel(program))
        return Fail("Cancel did not end the program", "");
    return 0;
}
