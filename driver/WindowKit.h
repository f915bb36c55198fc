// Window helpers shared by the tests' in-process window driver and the
// out-of-process program driver: waiting while messages flow, reading texts,
// finding dialogs, posting input as a user gives it. Free of GoogleTest.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// How long a step of the program may take before a driver gives up: 20
// seconds, times QBX_E2E_WAIT_SCALE when that is set (to 2 to 20, for a
// program that runs under emulation).
DWORD DriverWaitMs();

// The screen's DPI, as the program sees it.
int ScreenDpi();

// Polls pred() until it holds or the time is up, handling this thread's
// window messages meanwhile; returns pred().
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs = DriverWaitMs());

// A window's text, asked of its own thread (works across processes); "" for
// a window that is gone or hangs.
std::string ReadWindowText(HWND hWnd);
std::string ReadItemText(HWND hDlg, int id);

// The wizard's page text, and whether its default button can be pressed.
std::string PageText(HWND hWizard);
bool ButtonEnabled(HWND hWizard);

// A click as the mouse gives it, posted to the control: the caller never
// waits for a dialog that the click opens, and the handler runs in the
// dialog's own loop.
void PostClick(HWND hDlg, int id);
// A key press (WM_KEYDOWN/WM_KEYUP) posted to the dialog's focused control,
// or to the dialog itself when no control of it has the focus.
void PostKey(HWND hDlg, UINT vk);
// A real click at the centre of the window (vk 0), or a real key press, as
// the mouse and the keyboard give them: queued for whatever window they
// reach. Inline, so that a stand-in library can press without the kit.
inline void SendPress(HWND hWnd, WORD vk = 0)
{
    INPUT input[3] = {};
    for (INPUT& in : input)
        in.type = vk != 0 ? INPUT_KEYBOARD : INPUT_MOUSE;
    if (vk != 0)
    {
        input[0].ki.wVk = input[1].ki.wVk = vk;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
        return;
    }
    RECT rc = {0, 0, 0, 0};
    GetWindowRect(hWnd, &rc);
    input[0].mi.dx = MulDiv((rc.left + rc.right) / 2, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input[0].mi.dy = MulDiv((rc.top + rc.bottom) / 2, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, input, sizeof(INPUT));
}

// The desktop's visible top-level windows in Z order, of one process or, for
// pid 0, of every process.
std::vector<HWND> TopLevelWindows(DWORD pid = 0);
// The visible top-level dialog of the process with that caption, or NULL.
HWND FindDialog(DWORD pid, const std::string& caption);
// Lets the window's thread finish what the last message started and paint.
void SettleWindow(HWND hWnd);
// The visible dialog of this thread with that caption, or NULL.
HWND FindThreadDialog(const std::string& caption);
// Posts IDCANCEL to every dialog of this thread, to end their modal loops.
void CancelThreadDialogs();
