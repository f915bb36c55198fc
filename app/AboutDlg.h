// CAboutDlg: the About box, opened from the wizard's system menu.
#pragma once

#include "Framework.h"

class CAboutDlg : public CDialog
{
public:
    CAboutDlg();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    DECLARE_MESSAGE_MAP()
};
