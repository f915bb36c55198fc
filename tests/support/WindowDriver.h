// Driving the program's modal dialogs from inside a test, as a user would:
// a thread timer, which every modal loop dispatches, runs the test's steps
// one by one whenever what each step waits for is on the screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "WindowKit.h"

// Width and height of an icon's image; 0 x 0 when it is no icon.
SIZE IconSize(HICON hIcon);
// The GDI objects this process holds: Windows counts them; Wine does not, so
// there the handles in use in the process's GDI handle table are counted.
DWORD GdiObjectCount();
// Every static text and check box of the dialog shows its whole text:
// measured in the control's own font against its client rectangle.
void ExpectTextsFit(HWND hDlg);

// A user at the program's dialogs: each step waits for what a user would
// wait for on the screen, then acts, mostly by posting input. A thread timer
// drives the steps, and every modal loop and every pause of the program
// dispatches it, so each input is handled by the loop that would handle a
// real one. Besides the timer, the walk moves on at points that no load can
// skip: a step that only waits lets the next be tried at once; after an act
// the next is tried once what the act posted has been handled; and when the
// wizard's progress bar is set, the walk ticks in the pause that follows.
// A step that waits more than kStepTimeoutMs fails the test and closes
// every dialog of the thread, as does a dialog that stays up that long
// after the last step; a walk that goes with steps left fails it too.
// Walks nest: one made while another is on runs alone until it goes, as a
// step that opens a dialog of its own may need.
class Walkthrough
{
public:
    typedef std::function<bool()> Ready;
    typedef std::function<void()> Act;
    typedef std::function<void(HWND)> DialogAct;
    static const DWORD kStepTimeoutMs = 20000;

    Walkthrough();
    ~Walkthrough();

    Walkthrough& When(const std::string& what, const Ready& ready, const Act& act = Act());
    // Once this thread shows a dialog with that caption; act gets it.
    Walkthrough& WhenDialog(const std::string& caption, const DialogAct& act);
    // Once ms have passed since the step before; 0: on the next tick.
    Walkthrough& After(DWORD ms, const std::string& what, const Act& act = Act());
    // Until taken() is true, clicks control id of the dialog that dialog()
    // names, and again every half second, as a user clicks again when
    // nothing happened: under Wine a posted click is now and then lost when
    // another program's window comes to the front meanwhile.
    Walkthrough& Click(const std::string& what, const std::function<HWND()>& dialog, int id, const Ready& taken);
    // Runs on every tick, before the step that is due.
    void Watch(const Act& watch) { m_watch = watch; }

private:
    struct Step
    {
        std::string what;
        Ready ready;
        Act act;
        DWORD afterMs;
    };
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static LRESULT CALLBACK OnTickMessage(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK OnProgressSet(int, WPARAM, LPARAM);
    // A tick once the messages posted so far have been handled.
    void PostTick() { PostMessageA(m_hTicker, WM_APP, 0, 0); }
    void Tick();
    void GiveUp(const std::string& why);
    bool Done() const { return m_next == m_steps.size(); }
    std::string Pending() const { return "step " + std::to_string(m_next) + ": " + m_steps[m_next].what; }

    std::vector<Step> m_steps;
    size_t m_next;
    DWORD m_since;
    UINT_PTR m_timer;
    HWND m_hTicker;        // a message-only window that ticks on WM_APP
    HHOOK m_hProgressHook; // sees the progress bar set
    bool m_bInTick;
    Act m_watch;
    Walkthrough* m_pOuter;

    Walkthrough(const Walkthrough&);
    Walkthrough& operator=(const Walkthrough&);
};
