// CHandleHolder: a handle released on every way out of the scope that opened
// it. Close is the one call that releases such a handle (a function of the
// caller's, since the system's own are imports whose address is no constant);
// a NULL handle is not released. The holder owns its handle: no copies.
#pragma once

#include <windows.h>

template <typename T, void (*Close)(T)> class CHandleHolder
{
public:
    explicit CHandleHolder(T h = NULL) : m_h(h) {}
    ~CHandleHolder()
    {
        if (m_h != NULL)
            Close(m_h);
    }

    T m_h;

private:
    CHandleHolder(const CHandleHolder&);
    CHandleHolder& operator=(const CHandleHolder&);
};
