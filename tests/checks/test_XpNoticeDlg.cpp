// CXpNoticeDlg, driven as a user would: its texts and layout, the
// "Understand" box that unlocks "OK", the ways out, and the red bold heading.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgramTexts.h"
#include "WindowDriver.h"
#include "XpNoticeDlg.h"
#include "resource.h"

namespace
{
bool OkEnabled(HWND hDlg)
{
    return IsWindowEnabled(GetDlgItem(hDlg, IDOK)) != FALSE;
}

LRESULT BoxState(HWND hDlg)
{
    return SendMessageA(GetDlgItem(hDlg, IDC_UNDERSTAND), BM_GETCHECK, 0, 0);
}

RECT ClientRectOf(HWND hDlg, int id)
{
    RECT rc;
    HWND hCtl = GetDlgItem(hDlg, id);
    GetWindowRect(hCtl, &rc);
    MapWindowPoints(NULL, hDlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void PressSpaceOnTheBox(HWND hDlg)
{
    HWND hBox = GetDlgItem(hDlg, IDC_UNDERSTAND);
    PostMessageA(hBox, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageA(hBox, WM_KEYUP, VK_SPACE, 0xC0390001);
}

// The first control of a dialog that gets the keyboard focus, recorded as it
// happens: a window test running beside this one may take the activation,
// and with it the focus, away again at any time.
HWND g_hFirstFocus = NULL;

LRESULT CALLBACK RecordFirstFocus(int nCode, WPARAM wParam, LPARAM lParam)
{
    HWND hWnd = reinterpret_cast<HWND>(wParam);
    if (nCode == HCBT_SETFOCUS && g_hFirstFocus == NULL && hWnd != NULL && (GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD))
        g_hFirstFocus = hWnd;
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

void ExpectOpeningState(HWND hDlg)
{
    EXPECT_EQ("Important Notice", ReadItemText(hDlg, IDC_NOTICE_HEADING));
    EXPECT_EQ("Be sure to click Continue Anyway, when this screen appears.\r\n"
              "You can continue the installation with no problem.",
              ReadItemText(hDlg, IDC_NOTICE_BODY));
    EXPECT_EQ("Understand", ReadItemText(hDlg, IDC_UNDERSTAND));
    EXPECT_EQ("OK", ReadItemText(hDlg, IDOK));
    EXPECT_EQ(BST_UNCHECKED, BoxState(hDlg));
    EXPECT_FALSE(OkEnabled(hDlg));
    EXPECT_EQ(GetDlgItem(hDlg, IDC_UNDERSTAND), g_hFirstFocus) << "the focus went elsewhere first";
    EXPECT_EQ(0, GetWindowLongA(hDlg, GWL_STYLE) & WS_SYSMENU) << "the caption would get a close button";
}

// Every control lies inside the dialog, none covers another, each text fits
// its control in the font it is drawn with, and the picture fills its
// control at the screen's DPI (its own 300 x 237 pixels at 96 DPI). At 96
// DPI the check box and "OK" stay where the template puts them.
void ExpectEverythingVisible(HWND hDlg)
{
    const int ids[] = {IDC_NOTICE_HEADING, IDC_NOTICE_BODY, IDC_NOTICE_PICTURE, IDC_UNDERSTAND, IDOK};
    RECT client;
    GetClientRect(hDlg, &client);
    for (int id : ids)
    {
        SCOPED_TRACE("control " + std::to_string(id));
        RECT rc = ClientRectOf(hDlg, id);
        EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= client.right && rc.bottom <= client.bottom);
        for (int other : ids)
        {
            RECT rcOther = ClientRectOf(hDlg, other), both;
            EXPECT_TRUE(other == id || !IntersectRect(&both, &rc, &rcOther)) << "overlaps control " << other;
        }
    }
    ExpectTextsFit(hDlg);

    const int dpi = ScreenDpi();
    RECT picture = ClientRectOf(hDlg, IDC_NOTICE_PICTURE);
    EXPECT_EQ(MulDiv(300, dpi, 96), picture.right - picture.left);
    EXPECT_EQ(MulDiv(237, dpi, 96), picture.bottom - picture.top);
    BITMAP bm = {};
    HGDIOBJ hShown =
        reinterpret_cast<HGDIOBJ>(SendMessageA(GetDlgItem(hDlg, IDC_NOTICE_PICTURE), STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_EQ(static_cast<int>(sizeof(bm)), GetObjectA(hShown, sizeof(bm), &bm));
    EXPECT_EQ(picture.right - picture.left, bm.bmWidth);
    EXPECT_EQ(picture.bottom - picture.top, bm.bmHeight);

    if (dpi == 96)
    {
        const struct
        {
            int id;
            RECT units; // x, y, width and height in the template
        } items[] = {{IDC_UNDERSTAND, {32, 189, 114, 10}}, {IDOK, {172, 203, 50, 14}}};
        for (const auto& item : items)
        {
            RECT expected = item.units; // mapped as the dialog manager maps a control's place and size
            MapDialogRect(hDlg, &expected);
            expected.right += expected.left;
            expected.bottom += expected.top;
            const RECT actual = ClientRectOf(hDlg, item.id);
            EXPECT_TRUE(EqualRect(&expected, &actual)) << "control " << item.id << " moved";
        }
    }
}

// Only the heading's text is red; every control keeps the dialog's own
// background brush, the same one each time, so nothing is made per message.
void ExpectOnlyTheHeadingRed(HWND hDlg)
{
    struct Case
    {
        const char* name;
        UINT msg;
        int id; // 0: the dialog itself
        bool red;
    };
    const Case cases[] = {
        {"heading", WM_CTLCOLORSTATIC, IDC_NOTICE_HEADING, true},
        {"body", WM_CTLCOLORSTATIC, IDC_NOTICE_BODY, false},
        {"picture", WM_CTLCOLORSTATIC, IDC_NOTICE_PICTURE, false},
        {"check box", WM_CTLCOLORSTATIC, IDC_UNDERSTAND, false},
        {"heading as a button", WM_CTLCOLORBTN, IDC_NOTICE_HEADING, false},
        {"OK", WM_CTLCOLORBTN, IDOK, false},
        {"dialog", WM_CTLCOLORDLG, 0, false},
    };
    HDC hdc = CreateCompatibleDC(NULL);
    HDC hdcDefault = CreateCompatibleDC(NULL);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const WPARAM wDefault = reinterpret_cast<WPARAM>(hdcDefault);
        const LPARAM lCtl = reinterpret_cast<LPARAM>(c.id != 0 ? GetDlgItem(hDlg, c.id) : hDlg);
        SetTextColor(hdcDefault, RGB(1, 2, 3));
        LRESULT defaultBrush = DefWindowProcA(hDlg, c.msg, wDefault, lCtl);
        EXPECT_NE(RGB(255, 0, 0), GetTextColor(hdcDefault));
        for (int pass = 0; pass < 2; ++pass)
        {
            SetTextColor(hdc, RGB(1, 2, 3));
            EXPECT_EQ(defaultBrush, SendMessageA(hDlg, c.msg, reinterpret_cast<WPARAM>(hdc), lCtl));
            EXPECT_EQ(c.red ? RGB(255, 0, 0) : GetTextColor(hdcDefault), GetTextColor(hdc));
        }
    }
    DeleteDC(hdcDefault);
    DeleteDC(hdc);
}

HFONT FontHandle(HWND hDlg, int id)
{
    return reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(hDlg, id), WM_GETFONT, 0, 0));
}

LOGFONTA LogFont(HFONT hFont)
{
    LOGFONTA lf;
    ZeroMemory(&lf, sizeof(lf));
    EXPECT_EQ(static_cast<int>(sizeof(lf)), GetObjectA(hFont, sizeof(lf), &lf)) << "no valid font";
    return lf;
}
} // namespace

TEST(XpNoticeDlg, OpensWithTextsInPlaceOkGreyedAndOnlyTheHeadingRed)
{
    g_hFirstFocus = NULL;
    HHOOK hHook = SetWindowsHookExA(WH_CBT, RecordFirstFocus, NULL, GetCurrentThreadId());
    CXpNoticeDlg dlg;
    Walkthrough walk;
    walk.WhenDialog(kNoticeCaption, ExpectOpeningState).WhenDialog(kNoticeCaption, ExpectEverythingVisible);
    walk.WhenDialog(kNoticeCaption, ExpectOnlyTheHeadingRed)
        .WhenDialog(kNoticeCaption, [](HWND hDlg) { PostKey(hDlg, VK_ESCAPE); });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    UnhookWindowsHookEx(hHook);
}

// Each click or space bar on the box switches "OK" with it. The keys go to
// the box itself rather than to whatever has the focus: a window test running
// beside this one may take the activation, and with it the focus, away.
TEST(XpNoticeDlg, UnderstandSwitchesOk)
{
    struct Toggle
    {
        const char* name;
        void (*act)(HWND hDlg);
    };
    const Toggle toggles[] = {
        {"click", [](HWND hDlg) { PostClick(hDlg, IDC_UNDERSTAND); }},
        {"click again", [](HWND hDlg) { PostClick(hDlg, IDC_UNDERSTAND); }},
        {"space bar", PressSpaceOnTheBox},
        {"space bar again", PressSpaceOnTheBox},
        {"BM_CLICK sent", [](HWND hDlg) { SendMessageA(GetDlgItem(hDlg, IDC_UNDERSTAND), BM_CLICK, 0, 0); }},
        {"space bar to clear", PressSpaceOnTheBox},
        {"click to tick", [](HWND hDlg) { PostClick(hDlg, IDC_UNDERSTAND); }},
    };
    CXpNoticeDlg dlg;
    Walkthrough walk;
    bool bTicked = false;
    for (const Toggle& t : toggles)
    {
        walk.WhenDialog(kNoticeCaption, t.act);
        walk.WhenDialog(kNoticeCaption,
                        [&bTicked, &t](HWND hDlg)
                        {
                            bTicked = !bTicked;
                            EXPECT_EQ(bTicked ? BST_CHECKED : BST_UNCHECKED, BoxState(hDlg)) << t.name;
                            EXPECT_EQ(bTicked, OkEnabled(hDlg)) << t.name;
                        });
    }
    walk.WhenDialog(kNoticeCaption, [](HWND hDlg) { PostClick(hDlg, IDOK); });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

// Escape leaves in either state; OK, by mouse or Enter, only once the box is
// ticked.
TEST(XpNoticeDlg, WaysOut)
{
    struct Case
    {
        const char* name;
        bool tick;
        std::vector<UINT> keys; // 0 stands for a click on OK
        INT_PTR result;
    };
    const Case cases[] = {
        {"Escape with the box clear", false, {VK_ESCAPE}, IDCANCEL},
        {"Escape with the box ticked", true, {VK_ESCAPE}, IDCANCEL},
        {"OK after ticking", true, {0}, IDOK},
        {"Enter after ticking", true, {VK_RETURN}, IDOK},
        {"Enter does nothing while the box is clear", false, {VK_RETURN, VK_ESCAPE}, IDCANCEL},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CXpNoticeDlg dlg;
        Walkthrough walk;
        if (c.tick)
            walk.WhenDialog(kNoticeCaption, [](HWND hDlg) { PostClick(hDlg, IDC_UNDERSTAND); });
        for (UINT key : c.keys)
            walk.WhenDialog(kNoticeCaption,
                            [key](HWND hDlg) { key == 0 ? PostClick(hDlg, IDOK) : PostKey(hDlg, key); });
        EXPECT_EQ(c.result, dlg.DoModal());
    }
}

// The heading's bold Arial, 16 pixels high at 96 DPI and as much larger as
// the screen's DPI is, is a font of its own, stays valid through a repaint
// while the dialog is up and is released with the dialog.
TEST(XpNoticeDlg, HeadingKeepsItsBoldFont)
{
    HFONT hHeading = NULL;
    {
        CXpNoticeDlg dlg;
        Walkthrough walk;
        walk.WhenDialog(kNoticeCaption,
                        [&hHeading](HWND hDlg)
                        {
                            hHeading = FontHandle(hDlg, IDC_NOTICE_HEADING);
                            EXPECT_NE(hHeading, FontHandle(hDlg, IDC_NOTICE_BODY));
                            InvalidateRect(hDlg, NULL, TRUE);
                            UpdateWindow(hDlg);
                        });
        walk.WhenDialog(kNoticeCaption,
                        [&hHeading](HWND hDlg)
                        {
                            EXPECT_EQ(hHeading, FontHandle(hDlg, IDC_NOTICE_HEADING));
                            LOGFONTA lf = LogFont(hHeading);
                            EXPECT_EQ(MulDiv(-16, ScreenDpi(), 96), lf.lfHeight);
                            EXPECT_EQ(FW_BOLD, lf.lfWeight);
                            EXPECT_STREQ("Arial", lf.lfFaceName);
                            EXPECT_NE(FW_BOLD, LogFont(FontHandle(hDlg, IDC_NOTICE_BODY)).lfWeight);
                            PostKey(hDlg, VK_ESCAPE);
                        });
        dlg.DoModal();
    }
    ASSERT_NE(static_cast<HFONT>(NULL), hHeading);
    EXPECT_EQ(0u, GetObjectType(hHeading)) << "the heading font outlived its dialog";
}
