// Driving the program's modal dialogs from inside a test, as a user would:
// a thread timer, which every modal loop dispatches, runs the test's steps
// one by one whenever the dialog each step waits for is up.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The visible dialog of this thread with the given caption, or NULL.
HWND FindThreadDialog(const std::string& caption);
std::string GetText(HWND hWnd);
std::string GetItemText(HWND hDlg, int id);
// A click as the mouse gives it: posted, so the handler runs in the dialog's
// own loop and the caller does not wait for nested dialogs.
void PostClick(HWND hDlg, int id);
// A key press (WM_KEYDOWN/WM_KEYUP) posted to the dialog's focused control,
// or to the dialog itself when no control has the focus.
void PostKey(HWND hDlg, UINT vk);

// The screen's DPI, as the program sees it.
int ScreenDpi();
// Width and height of an icon's image; 0 x 0 when it is no icon.
SIZE IconSize(HICON hIcon);
// Every static text and check box of the dialog shows its whole text:
// measured in the control's own font against its client rectangle.
void ExpectTextsFit(HWND hDlg);

class ModalScript
{
public:
    typedef std::function<void(HWND)> Step;

    ModalScript();
    ~ModalScript();

    // Runs step once the dialog with that caption is up (and the step before
    // has run).
    ModalScript& When(const std::string& caption, const Step& step);

    bool Done() const { return m_next == m_steps.size(); }

private:
    struct Entry
    {
        std::string caption;
        Step step;
    };
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();

    std::vector<Entry> m_steps;
    size_t m_next;
    UINT_PTR m_timer;
    DWORD m_start;
    ModalScript* m_pOuter;
};
