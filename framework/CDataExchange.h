// Dialog data exchange: binds control wrappers to dialog items.
#pragma once

#include "CWnd.h"

class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate; // TRUE: controls to data; FALSE: data to controls
    CWnd* m_pDlgWnd;
};

// Points rControl at dialog item nIDC, on every exchange, so that a wrapper
// never keeps the handle of a window from an earlier run of the dialog.
inline void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    rControl.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
}
