// CMenu: a menu handle that is borrowed, never destroyed by this wrapper.
#pragma once

#include <windows.h>

class CMenu
{
public:
    CMenu() : m_hMenu(NULL) {}
    explicit CMenu(HMENU hMenu) : m_hMenu(hMenu) {}

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = NULL)
    {
        return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
    }

    HMENU m_hMenu;
};
