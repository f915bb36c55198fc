// CXpNoticeDlg: the notice shown before the driver is reinstalled. It shows
// Windows XP's unsigned-driver warning and tells the user to click "Continue
// Anyway" on it; "OK" is usable only once "Understand" is ticked.
#pragma once

#include "Framework.h"

class CXpNoticeDlg : public CDialog
{
public:
    explicit CXpNoticeDlg(CWnd* pParent = NULL);
    virtual ~CXpNoticeDlg();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();

    void OnUnderstandClicked();
    void OnDestroy();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

    DECLARE_MESSAGE_MAP()

private:
    CFont m_fontHeading; // lives until the dialog's window is gone
};
