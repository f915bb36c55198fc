// Modal-dialog driving through a thread timer, and what tests check of a
// dialog on the screen.
#include "WindowDriver.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <winternl.h>

#include <memory>

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

DWORD GdiObjectCount()
{
    SetLastError(ERROR_SUCCESS);
    const DWORD nCounted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    PROCESS_BASIC_INFORMATION pbi;
    if (nCounted != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED ||
        NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &pbi, sizeof(pbi), NULL) != 0)
        return nCounted;
    // The table the PEB names: a 24-byte entry per handle, its type at byte
    // 14, 0 when free.
    const BYTE* pTable = *reinterpret_cast<const BYTE* const*>(reinterpret_cast<const BYTE*>(pbi.PebBaseAddress) +
                                                               (sizeof(void*) == 8 ? 0xF8 : 0x94));
    DWORD nInUse = 0;
    for (int i = 0; pTable != NULL && i < 0x10000; ++i)
        nInUse += pTable[24 * i + 14] != 0;
    return nInUse;
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
    SCOPED_TRACE("control " + std::to_string(GetDlgCtrlID(hCtl)) + " \"" + ReadWindowText(hCtl) + "\"");
    RECT client;
    GetClientRect(hCtl, &client);
    HDC hdc = GetDC(hCtl);
    HGDIOBJ hOld = SelectObject(hdc, reinterpret_cast<HFONT>(SendMessageA(hCtl, WM_GETFONT, 0, 0)));
    const std::string text = ReadWindowText(hCtl);
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

namespace
{
const DWORD kClickRetryMs = 500;
Walkthrough* g_pWalk = NULL; // the innermost walk, the one that ticks
} // namespace

Walkthrough::Walkthrough() : m_next(0), m_since(GetTickCount()), m_bInTick(false), m_pOuter(g_pWalk)
{
    g_pWalk = this;
    m_timer = SetTimer(NULL, 0, 10, OnTimer);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OnTickMessage;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "QbxWalkthroughTicker";
    RegisterClassA(&wc); // fails harmlessly once it is registered
    m_hTicker = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    m_hProgressHook = SetWindowsHookExA(WH_CALLWNDPROC, OnProgressSet, NULL, GetCurrentThreadId());
}

Walkthrough::~Walkthrough()
{
    UnhookWindowsHookEx(m_hProgressHook);
    DestroyWindow(m_hTicker);
    KillTimer(NULL, m_timer);
    g_pWalk = m_pOuter;
    // The last step may wait for the dialog to go, which no tick sees any more.
    for (; !Done() && m_steps[m_next].afterMs == 0 && m_steps[m_next].ready(); ++m_next)
        if (m_steps[m_next].act)
            m_steps[m_next].act();
    if (!Done())
        ADD_FAILURE() << "the dialogs went before " << Pending();
}

Walkthrough& Walkthrough::When(const std::string& what, const Ready& ready, const Act& act)
{
    m_steps.push_back(Step{what, ready, act, 0});
    return *this;
}

Walkthrough& Walkthrough::WhenDialog(const std::string& caption, const DialogAct& act)
{
    std::shared_ptr<HWND> phDlg(new HWND(NULL));
    return When(
        "the dialog \"" + caption + "\"", [caption, phDlg] { return (*phDlg = FindThreadDialog(caption)) != NULL; },
        [act, phDlg] { act(*phDlg); });
}

Walkthrough& Walkthrough::After(DWORD ms, const std::string& what, const Act& act)
{
    m_steps.push_back(Step{what, [] { return true; }, act, ms});
    return *this;
}

Walkthrough& Walkthrough::Click(const std::string& what, const std::function<HWND()>& dialog, int id,
                                const Ready& taken)
{
    std::shared_ptr<DWORD> pClicked(new DWORD(0)); // 0: not clicked yet
    return When(what,
                [dialog, id, taken, pClicked]
                {
                    if (taken())
                        return true;
                    if (*pClicked == 0 || GetTickCount() - *pClicked > kClickRetryMs)
                    {
                        *pClicked = GetTickCount();
                        PostClick(dialog(), id);
                    }
                    return false;
                });
}

void CALLBACK Walkthrough::OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (g_pWalk != NULL && g_pWalk->m_timer == id)
        g_pWalk->Tick();
}

LRESULT CALLBACK Walkthrough::OnTickMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg != WM_APP)
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    if (g_pWalk != NULL && g_pWalk->m_hTicker == hWnd)
        g_pWalk->Tick();
    return 0;
}

LRESULT CALLBACK Walkthrough::OnProgressSet(int nCode, WPARAM wParam, LPARAM lParam)
{
    // A diagnosis sets the bar just before each of its pauses.
    const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && (pMsg->message == PBM_SETRANGE || pMsg->message == PBM_SETPOS) && g_pWalk != NULL)
        g_pWalk->PostTick();
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

void Walkthrough::GiveUp(const std::string& why)
{
    ADD_FAILURE() << why;
    m_next = m_steps.size();
    m_since = GetTickCount();
    CancelThreadDialogs();
}

void Walkthrough::Tick()
{
    if (m_bInTick)
        return;
    m_bInTick = true;
    if (m_watch)
        m_watch();
    if (Done() && GetTickCount() - m_since > kStepTimeoutMs)
        GiveUp("a dialog stayed up after the last step");
    while (!Done())
    {
        const Step& step = m_steps[m_next];
        const DWORD waited = GetTickCount() - m_since;
        if (waited < step.afterMs || !step.ready())
        {
            if (waited > kStepTimeoutMs + step.afterMs)
                GiveUp("waited in vain for " + Pending());
            break;
        }
        // Advance first: the step may open a modal loop of its own.
        Act act = step.act;
        ++m_next;
        m_since = GetTickCount();
        if (act)
        {
            act();
            PostTick();
            break;
        }
    }
    m_bInTick = false;
}
