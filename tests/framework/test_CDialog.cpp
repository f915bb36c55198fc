// CDialog: modal runs, the result of EndDialog, default OK and Cancel.
#include <gtest/gtest.h>

#include "CDialog.h"
#include "ProgramTexts.h"
#include "WindowDriver.h"
#include "resource.h"

namespace
{
class CCountingDialog : public CDialog
{
public:
    CCountingDialog() : CDialog(IDD_ABOUTBOX), m_nExchanges(0), m_nSaves(0) {}
    int m_nExchanges;
    int m_nSaves;

protected:
    virtual void DoDataExchange(CDataExchange* pDX)
    {
        CDialog::DoDataExchange(pDX);
        ++m_nExchanges;
        if (pDX->m_bSaveAndValidate)
            ++m_nSaves;
    }
};
} // namespace

TEST(CDialog, OkRunsTheExchangeAndEndsWithIdok)
{
    CCountingDialog dlg;
    Walkthrough walk;
    walk.WhenDialog(kAboutCaption, [](HWND hDlg) { PostClick(hDlg, IDOK); });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(2, dlg.m_nExchanges); // into the controls at start, out of them at OK
    EXPECT_EQ(1, dlg.m_nSaves);
    EXPECT_EQ(NULL, dlg.m_hWnd);
}

TEST(CDialog, EscapeEndsWithIdcancel)
{
    CCountingDialog dlg;
    Walkthrough walk;
    walk.WhenDialog(kAboutCaption, [](HWND hDlg) { PostKey(hDlg, VK_ESCAPE); });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(1, dlg.m_nExchanges);
}
