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
    // Shows the picture scaled to the screen's DPI; returns how many pixels
    // taller than its own size it became.
    int ScalePicture(int nDpi);
    // Moves the check box and "OK" to where they lie below the picture at
    // 96 DPI, scaled, and makes the dialog as much taller.
    void MoveBelowPicture(int nDpi);

    CFont m_fontHeading; // lives until the dialog's window is gone
    HBITMAP m_hPicture;  // the picture drawn at the screen's DPI, or NULL at 96;
                         // freed with whatever the control shows, once
};
