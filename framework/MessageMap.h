// Message maps: macros that expand into one member function of plain if
// statements, so the compiler checks every handler's signature. A class
// declares DECLARE_MESSAGE_MAP() and defines its map between
// BEGIN_MESSAGE_MAP(Class, Base) and END_MESSAGE_MAP(); what the map does not
// take goes on to the base class's map.
#pragma once

#include <windows.h>

#define DECLARE_MESSAGE_MAP()                                                                                          \
protected:                                                                                                             \
    virtual BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                                         \
    BOOL theClass::ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)                     \
    {                                                                                                                  \
        typedef baseClass TheBaseClass;

#define END_MESSAGE_MAP()                                                                                              \
    return TheBaseClass::ProcessWindowMessage(uMsg, wParam, lParam, lResult);                                          \
    }

// WM_COMMAND from a push button, check box or menu: void Handler().
#define ON_COMMAND(id, memberFxn)                                                                                      \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == 0)                                           \
    {                                                                                                                  \
        memberFxn();                                                                                                   \
        lResult = 0;                                                                                                   \
        return TRUE;                                                                                                   \
    }

#define ON_BN_CLICKED(id, memberFxn)                                                                                   \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == BN_CLICKED)                                  \
    {                                                                                                                  \
        memberFxn();                                                                                                   \
        lResult = 0;                                                                                                   \
        return TRUE;                                                                                                   \
    }

// void OnDestroy()
#define ON_WM_DESTROY()                                                                                                \
    if (uMsg == WM_DESTROY)                                                                                            \
    {                                                                                                                  \
        OnDestroy();                                                                                                   \
        lResult = 0;                                                                                                   \
        return TRUE;                                                                                                   \
    }

// void OnPaint()
#define ON_WM_PAINT()                                                                                                  \
    if (uMsg == WM_PAINT)                                                                                              \
    {                                                                                                                  \
        OnPaint();                                                                                                     \
        lResult = 0;                                                                                                   \
        return TRUE;                                                                                                   \
    }

// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND()                                                                                             \
    if (uMsg == WM_SYSCOMMAND)                                                                                         \
    {                                                                                                                  \
        OnSysCommand(static_cast<UINT>(wParam), lParam);                                                               \
        lResult = 0;                                                                                                   \
        return TRUE;                                                                                                   \
    }

// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                                                          \
    if (uMsg == WM_QUERYDRAGICON)                                                                                      \
    {                                                                                                                  \
        lResult = reinterpret_cast<LRESULT>(OnQueryDragIcon());                                                        \
        return TRUE;                                                                                                   \
    }

// HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor), for every
// WM_CTLCOLOR* message; nCtlColor is one of the CTLCOLOR_* kinds.
#define ON_WM_CTLCOLOR()                                                                                               \
    if (uMsg >= WM_CTLCOLORMSGBOX && uMsg <= WM_CTLCOLORSTATIC)                                                        \
    {                                                                                                                  \
        CDC dcCtl(reinterpret_cast<HDC>(wParam));                                                                      \
        CWnd wndCtl(reinterpret_cast<HWND>(lParam));                                                                   \
        lResult = reinterpret_cast<LRESULT>(OnCtlColor(&dcCtl, &wndCtl, uMsg - WM_CTLCOLORMSGBOX));                    \
        return TRUE;                                                                                                   \
    }
