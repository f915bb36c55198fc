// CDialog: modal runs, the result of EndDialog, default OK and Cancel.
#include <gtest/gtest.h>

#include <thread>

#include "CDialog.h"
#include "ProgramTexts.h"
#include "WindowDriver.h"
#include "resource.h"

namespace
{
class CCountingDialog : public CDialog
{
public:
    explicit CCountingDialog(CWnd* pParent = NULL)
        : CDialog(IDD_ABOUTBOX, pParent), m_nExchanges(0), m_nSaves(0), m_nDestroys(0), m_pInner(NULL)
    {
    }
    int m_nExchanges;
    int m_nSaves;
    int m_nDestroys;           // WM_DESTROY and WM_NCDESTROY the dialog acted on
    CCountingDialog* m_pInner; // run on WM_APP

protected:
    virtual void DoDataExchange(CDataExchange* pDX)
    {
        CDialog::DoDataExchange(pDX);
        ++m_nExchanges;
        if (pDX->m_bSaveAndValidate)
            ++m_nSaves;
    }
    virtual BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
    {
        m_nDestroys += uMsg == WM_DESTROY || uMsg == WM_NCDESTROY;
        if (uMsg == WM_APP && m_pInner != NULL)
        {
            lResult = m_pInner->DoModal();
            return TRUE;
        }
        return CDialog::ProcessWindowMessage(uMsg, wParam, lParam, lResult);
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

// However a dialog ends, its window goes once its loop has, its destroy
// handling runs once, the object lets go of it, and the dialog manager frees
// what it made for it: by its OK, by a WM_QUIT (handed on to the loops
// outside), or by its OK once a dialog opened over it inside a message
// another thread sent has ended the same way.
TEST(CDialog, DestroyedOnceHoweverItEnds)
{
    const struct
    {
        const char* name;
        UINT message; // WM_QUIT posted, or WM_APP sent from another thread, before OK
    } cases[] = {
        // First, for what Wine keeps for the rest of the process (the
        // inactive caption's drawing among it): later rows count from there.
        {"a dialog over it", WM_APP},
        {"OK", WM_NULL},
        {"WM_QUIT", WM_QUIT},
        {"a dialog over it again", WM_APP},
    };
    std::vector<DWORD> gdiObjects;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CCountingDialog dlg;
        CCountingDialog inner(&dlg);
        dlg.m_pInner = &inner;
        Walkthrough walk;
        walk.When(
            "the dialog", [&] { return dlg.m_hWnd != NULL && IsWindowVisible(dlg.m_hWnd); },
            [&]
            {
                if (c.message == WM_QUIT)
                {
                    PostQuitMessage(7);
                    return;
                }
                if (c.message == WM_APP)
                {
                    Walkthrough over;
                    over.When(
                        "the dialog over it", [&] { return inner.m_hWnd != NULL && IsWindowVisible(inner.m_hWnd); },
                        [&] { PostClick(inner.m_hWnd, IDOK); });
                    std::thread sender([&] { SendMessageA(dlg.m_hWnd, WM_APP, 0, 0); });
                    WaitFor([&] { return inner.m_nSaves != 0; }); // once the message has been handled
                    sender.join();
                    EXPECT_EQ(NULL, inner.m_hWnd);
                    EXPECT_EQ(2, inner.m_nDestroys);
                }
                PostClick(dlg.m_hWnd, IDOK);
            });
        EXPECT_EQ(c.message == WM_QUIT ? IDCANCEL : IDOK, dlg.DoModal());
        EXPECT_EQ(NULL, dlg.m_hWnd);
        EXPECT_EQ(2, dlg.m_nDestroys) << "WM_DESTROY and WM_NCDESTROY";
        MSG msg;
        EXPECT_EQ(c.message == WM_QUIT, PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 7);
        gdiObjects.push_back(GdiObjectCount());
    }
    EXPECT_EQ(std::vector<DWORD>(gdiObjects.size(), gdiObjects[0]), gdiObjects) << "GDI objects after each dialog";
}
