// CWnd: a window handle and one-line calls on it. It owns nothing: copies are
// cheap and destroying one leaves the window alone.
#pragma once

#include <windows.h>

#include "CFont.h"
#include "CMenu.h"

class CWnd
{
public:
    CWnd() : m_hWnd(NULL) {}
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}

    CWnd GetDlgItem(int nID) const { return CWnd(::GetDlgItem(m_hWnd, nID)); }

    void SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE)
    {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(pFont != NULL ? pFont->m_hObject : NULL),
                    MAKELPARAM(bRedraw, 0));
    }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return reinterpret_cast<HICON>(
            SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
    }
    // The window's own copy of the system menu; its handle is NULL when there is none.
    CMenu GetSystemMenu(BOOL bRevert) const { return CMenu(::GetSystemMenu(m_hWnd, bRevert)); }

    HWND m_hWnd;
};
