// Window helpers: texts read with WM_GETTEXT, dialogs found by class and
// caption, input posted.
#include "WindowKit.h"

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "ProgramTexts.h"

namespace
{
// How long the program's thread may take to answer a message.
UINT SendTimeoutMs()
{
    return DriverWaitMs() / 4;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool IsDialog(HWND hWnd)
{
    char cls[16] = "";
    return GetClassNameA(hWnd, cls, sizeof(cls)) > 0 && strcmp(cls, "#32770") == 0;
}

struct ThreadSearch
{
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK FindInThread(HWND hWnd, LPARAM lParam)
{
    ThreadSearch* search = reinterpret_cast<ThreadSearch*>(lParam);
    if (!IsWindowVisible(hWnd) || !IsDialog(hWnd) || ReadWindowText(hWnd) != *search->caption)
        return TRUE;
    search->found = hWnd;
    return FALSE;
}

BOOL CALLBACK CancelDialog(HWND hWnd, LPARAM)
{
    if (IsDialog(hWnd))
        PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}
} // namespace

DWORD DriverWaitMs()
{
    char text[16] = "";
    const DWORD length = GetEnvironmentVariableA("QBX_E2E_WAIT_SCALE", text, sizeof(text));
    const unsigned long scale = length > 0 && length < sizeof(text) ? strtoul(text, NULL, 10) : 1;
    return 20000 * (scale >= 2 && scale <= 20 ? scale : 1);
}

int ScreenDpi()
{
    HDC hdc = GetDC(NULL);
    const int dpi = GetDeviceCaps(hdc, LOGPIXELSY);
    ReleaseDC(NULL, hdc);
    return dpi;
}

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;)
    {
        PumpMessages();
        if (pred())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return pred();
        MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
    }
}

std::string ReadWindowText(HWND hWnd)
{
    // The text may change between the two messages: a buffer that came back
    // full is read again, larger.
    DWORD_PTR length = 0;
    if (hWnd == NULL || !SendMessageTimeoutA(hWnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs(), &length))
        return std::string();
    for (size_t size = length + 256;; size *= 2)
    {
        std::string text(size, '\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutA(hWnd, WM_GETTEXT, size, reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                                 SendTimeoutMs(), &copied))
            return std::string();
        if (copied + 1 < size)
        {
            text.resize(copied);
            return text;
        }
    }
}

std::string ReadItemText(HWND hDlg, int id)
{
    return ReadWindowText(GetDlgItem(hDlg, id));
}

std::string PageText(HWND hWizard)
{
    return ReadItemText(hWizard, kPageTextId);
}

bool ButtonEnabled(HWND hWizard)
{
    HWND hButton = GetDlgItem(hWizard, IDOK);
    return hButton != NULL && IsWindowEnabled(hButton);
}

void PostClick(HWND hDlg, int id)
{
    PostMessageA(GetDlgItem(hDlg, id), BM_CLICK, 0, 0);
}

void PostKey(HWND hDlg, UINT vk)
{
    HWND target = GetFocus();
    if (target == NULL || (target != hDlg && !IsChild(hDlg, target)))
        target = hDlg;
    PostMessageA(target, WM_KEYDOWN, vk, 1);
    PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
}

std::vector<HWND> TopLevelWindows(DWORD pid)
{
    std::vector<HWND> windows;
    for (HWND hWnd = GetWindow(GetDesktopWindow(), GW_CHILD); hWnd != NULL; hWnd = GetWindow(hWnd, GW_HWNDNEXT))
    {
        DWORD owner = 0;
        GetWindowThreadProcessId(hWnd, &owner);
        if (IsWindowVisible(hWnd) && (pid == 0 || owner == pid))
            windows.push_back(hWnd);
    }
    return windows;
}

HWND FindDialog(DWORD pid, const std::string& caption)
{
    for (HWND hWnd : TopLevelWindows(pid))
    {
        char text[256] = "";
        if (IsDialog(hWnd) && GetWindowTextA(hWnd, text, sizeof(text)) >= 0 && caption == text)
            return hWnd;
    }
    return NULL;
}

void SettleWindow(HWND hWnd)
{
    DWORD_PTR result;
    SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs(), &result);
    WaitFor([] { return false; }, 300);
}

HWND FindThreadDialog(const std::string& caption)
{
    ThreadSearch search = {&caption, NULL};
    EnumThreadWindows(GetCurrentThreadId(), FindInThread, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void CancelThreadDialogs()
{
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
}
