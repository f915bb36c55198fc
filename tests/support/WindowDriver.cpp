// Modal-dialog driving through a thread timer.
#include "WindowDriver.h"

#include <gtest/gtest.h>

namespace
{
ModalScript* g_pScript = NULL;
const DWORD kScriptTimeoutMs = 20000;

struct FindData
{
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK FindProc(HWND hWnd, LPARAM lParam)
{
    FindData* data = reinterpret_cast<FindData*>(lParam);
    char cls[64];
    if (!IsWindowVisible(hWnd) || !GetClassNameA(hWnd, cls, sizeof(cls)) || strcmp(cls, "#32770") != 0)
        return TRUE;
    if (GetText(hWnd) == *data->caption)
    {
        data->found = hWnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND FindThreadDialog(const std::string& caption)
{
    FindData data = {&caption, NULL};
    EnumThreadWindows(GetCurrentThreadId(), FindProc, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

std::string GetText(HWND hWnd)
{
    int len = GetWindowTextLengthA(hWnd);
    std::string s(len + 1, '\0');
    len = GetWindowTextA(hWnd, &s[0], len + 1);
    s.resize(len > 0 ? len : 0);
    return s;
}

std::string GetItemText(HWND hDlg, int id)
{
    return GetText(GetDlgItem(hDlg, id));
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

ModalScript::ModalScript() : m_next(0), m_start(GetTickCount()), m_pOuter(g_pScript)
{
    g_pScript = this;
    m_timer = SetTimer(NULL, 0, 10, OnTimer);
}

ModalScript::~ModalScript()
{
    KillTimer(NULL, m_timer);
    g_pScript = m_pOuter;
}

ModalScript& ModalScript::When(const std::string& caption, const Step& step)
{
    m_steps.push_back(Entry{caption, step});
    return *this;
}

void CALLBACK ModalScript::OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (g_pScript != NULL && g_pScript->m_timer == id)
        g_pScript->Tick();
}

void ModalScript::Tick()
{
    if (Done())
        return;
    const Entry& entry = m_steps[m_next];
    HWND hDlg = NULL;
    if (!entry.caption.empty())
    {
        hDlg = FindThreadDialog(entry.caption);
        if (hDlg == NULL)
        {
            if (GetTickCount() - m_start > kScriptTimeoutMs)
            {
                ADD_FAILURE() << "no dialog \"" << entry.caption << "\" came up for step " << m_next;
                m_next = m_steps.size();
                // Leave every dialog of this thread so that the test ends.
                HWND hAny = GetActiveWindow();
                if (hAny != NULL)
                    PostMessageA(hAny, WM_COMMAND, IDCANCEL, 0);
            }
            return;
        }
    }
    // Advance first: a step may open a nested modal loop that ticks again.
    Step step = entry.step;
    ++m_next;
    step(hDlg);
}
