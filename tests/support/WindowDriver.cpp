// Modal-dialog driving through a thread timer.
#include "WindowDriver.h"

#include <gtest/gtest.h>
#include <string.h>

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

int ScreenDpi()
{
    HDC hdc = GetDC(NULL);
    const int dpi = GetDeviceCaps(hdc, LOGPIXELSY);
    ReleaseDC(NULL, hdc);
    return dpi;
}

SIZE IconSize(HICON hIcon)
{
    SIZE size = {0, 0};
    ICONINFO ii;
    if (hIcon == NULL || !GetIconInfo(hIcon, &ii))
        return size;
    BITMAP bm;
    if (GetObjectA(ii.hbmMask, sizeof(bm), &bm) == sizeof(bm))
    {
        size.cx = bm.bmWidth;
        size.cy = ii.hbmColor != NULL ? bm.bmHeight : bm.bmHeight / 2; // a monochrome icon stacks two masks
    }
    DeleteObject(ii.hbmMask);
    if (ii.hbmColor != NULL)
        DeleteObject(ii.hbmColor);
    return size;
}

namespace
{
BOOL CALLBACK ExpectTextFits(HWND hCtl, LPARAM)
{
    char cls[16] = "";
    GetClassNameA(hCtl, cls, sizeof(cls));
    const LONG style = GetWindowLongA(hCtl, GWL_STYLE);
    UINT format = DT_WORDBREAK;
    int extra = 0; // room the control keeps beside its text
    if (_stricmp(cls, "Static") == 0)
    {
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP)
            format = DT_SINGLELINE;
        else if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT)
            return TRUE; // a picture, a frame
        if (style & SS_NOPREFIX)
            format |= DT_NOPREFIX;
    }
    else if (_stricmp(cls, "Button") == 0 && ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX))
    {
        format = DT_SINGLELINE;
        extra = GetSystemMetrics(SM_CXMENUCHECK) + 4;
    }
    else
    {
        return TRUE;
    }
    SCOPED_TRACE("control " + std::to_string(GetDlgCtrlID(hCtl)) + " \"" + GetText(hCtl) + "\"");
    RECT client;
    GetClientRect(hCtl, &client);
    HDC hdc = GetDC(hCtl);
    HGDIOBJ hOld = SelectObject(hdc, reinterpret_cast<HFONT>(SendMessageA(hCtl, WM_GETFONT, 0, 0)));
    const std::string text = GetText(hCtl);
    RECT need = {0, 0, client.right - extra, 0};
    DrawTextA(hdc, text.c_str(), -1, &need, format | DT_CALCRECT);
    SelectObject(hdc, hOld);
    ReleaseDC(hCtl, hdc);
    EXPECT_LE(need.right + extra, client.right);
    EXPECT_LE(need.bottom, client.bottom);
    return TRUE;
}
} // namespace

void ExpectTextsFit(HWND hDlg)
{
    EnumChildWindows(hDlg, ExpectTextFits, 0);
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
