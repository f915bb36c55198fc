// CXpNoticeDlg: texts, the red bold heading, the picture at the screen's DPI
// and the "Understand" box.
#include "XpNoticeDlg.h"

#include "resource.h"

namespace
{
const int kDesignDpi = 96; // the template and the picture are drawn for it

int ScreenDpi()
{
    int nDpi = 0;
    if (HDC hdc = ::GetDC(NULL))
    {
        nDpi = ::GetDeviceCaps(hdc, LOGPIXELSY);
        ::ReleaseDC(NULL, hdc);
    }
    return nDpi > 0 ? nDpi : kDesignDpi;
}

// A copy of hSource (bm describes it) at cx x cy pixels, compatible with the
// screen. HALFTONE averages the pixels that each new one stands for, so the
// picture's small print stays legible; Windows 9x, which lacks it, stretches
// as it can.
HBITMAP StretchedCopy(HBITMAP hSource, const BITMAP& bm, int cx, int cy)
{
    HDC hdcScreen = ::GetDC(NULL);
    if (hdcScreen == NULL)
        return NULL;
    HBITMAP hCopy = ::CreateCompatibleBitmap(hdcScreen, cx, cy);
    HDC hdcSource = ::CreateCompatibleDC(hdcScreen);
    HDC hdcCopy = ::CreateCompatibleDC(hdcScreen);
    bool bDrawn = false;
    if (hCopy != NULL && hdcSource != NULL && hdcCopy != NULL)
    {
        HGDIOBJ hOldSource = ::SelectObject(hdcSource, hSource);
        HGDIOBJ hOldCopy = ::SelectObject(hdcCopy, hCopy);
        if (hOldSource != NULL && hOldCopy != NULL)
        {
            ::SetStretchBltMode(hdcCopy, HALFTONE);
            ::SetBrushOrgEx(hdcCopy, 0, 0, NULL); // as HALFTONE requires
            bDrawn = ::StretchBlt(hdcCopy, 0, 0, cx, cy, hdcSource, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY) != FALSE;
        }
        if (hOldCopy != NULL)
            ::SelectObject(hdcCopy, hOldCopy);
        if (hOldSource != NULL)
            ::SelectObject(hdcSource, hOldSource);
    }
    if (hdcCopy != NULL)
        ::DeleteDC(hdcCopy);
    if (hdcSource != NULL)
        ::DeleteDC(hdcSource);
    ::ReleaseDC(NULL, hdcScreen);
    if (!bDrawn && hCopy != NULL)
    {
        ::DeleteObject(hCopy);
        hCopy = NULL;
    }
    return hCopy;
}

// The height of the dialog font's characters at 96 DPI, which is what the
// dialog manager's vertical unit would have been there; 0 if unknown.
int CharHeightAt96(HWND hDlg, int nDpi)
{
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(hDlg, WM_GETFONT, 0, 0));
    LOGFONTA lf;
    if (hFont == NULL || ::GetObjectA(hFont, sizeof(lf), &lf) != sizeof(lf))
        return 0;
    lf.lfHeight = ::MulDiv(lf.lfHeight, kDesignDpi, nDpi);
    HFONT hFont96 = ::CreateFontIndirectA(&lf);
    HDC hdc = ::GetDC(hDlg);
    int nHeight = 0;
    if (hFont96 != NULL && hdc != NULL)
    {
        HGDIOBJ hOld = ::SelectObject(hdc, hFont96);
        TEXTMETRICA tm;
        if (hOld != NULL && ::GetTextMetricsA(hdc, &tm))
            nHeight = tm.tmHeight;
        if (hOld != NULL)
            ::SelectObject(hdc, hOld);
    }
    if (hdc != NULL)
        ::ReleaseDC(hDlg, hdc);
    if (hFont96 != NULL)
        ::DeleteObject(hFont96);
    return nHeight;
}

// A control's rectangle in its dialog's client coordinates.
RECT ItemRect(HWND hDlg, int nID)
{
    RECT rc = {0, 0, 0, 0};
    HWND hItem = ::GetDlgItem(hDlg, nID);
    if (hItem != NULL && ::GetWindowRect(hItem, &rc))
        ::MapWindowPoints(NULL, hDlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void MoveItemDown(HWND hDlg, int nID, int dy)
{
    const RECT rc = ItemRect(hDlg, nID);
    ::SetWindowPos(::GetDlgItem(hDlg, nID), NULL, rc.left, rc.top + dy, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
} // namespace

CXpNoticeDlg::CXpNoticeDlg(CWnd* pParent) : CDialog(IDD_XPNOTICE, pParent), m_hPicture(NULL)
{
}

CXpNoticeDlg::~CXpNoticeDlg()
{
}

void CXpNoticeDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BEGIN_MESSAGE_MAP(CXpNoticeDlg, CDialog)
ON_BN_CLICKED(IDC_UNDERSTAND, OnUnderstandClicked)
ON_WM_DESTROY()
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

BOOL CXpNoticeDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CString text;
    text.LoadString(IDS_NOTICE_CAPTION);
    SetWindowText(text);

    const int nDpi = ScreenDpi();
    LOGFONTA lf;
    ZeroMemory(&lf, sizeof(lf));
    lf.lfHeight = ::MulDiv(-16, nDpi, kDesignDpi); // 16 pixels at 96 DPI
    lf.lfWidth = 0;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_CHARACTER_PRECIS;
    lf.lfClipPrecision = CLIP_CHARACTER_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = 0;
    lstrcpynA(lf.lfFaceName, "Arial", LF_FACESIZE);
    m_fontHeading.CreateFontIndirect(&lf);

    CWnd heading = GetDlgItem(IDC_NOTICE_HEADING);
    heading.SetFont(&m_fontHeading, TRUE);
    text.LoadString(IDS_NOTICE_HEADING);
    heading.SetWindowText(text);

    text.LoadString(IDS_NOTICE_BODY);
    GetDlgItem(IDC_NOTICE_BODY).SetWindowText(text);

    CWnd ok = GetDlgItem(IDOK);
    text.LoadString(IDS_OK);
    ok.SetWindowText(text);
    ok.EnableWindow(FALSE);

    text.LoadString(IDS_NOTICE_UNDERSTAND);
    GetDlgItem(IDC_UNDERSTAND).SetWindowText(text);

    if (ScalePicture(nDpi) != 0)
        MoveBelowPicture(nDpi);
    return TRUE;
}

int CXpNoticeDlg::ScalePicture(int nDpi)
{
    HWND hPicture = ::GetDlgItem(m_hWnd, IDC_NOTICE_PICTURE);
    HBITMAP hShown = reinterpret_cast<HBITMAP>(::SendMessageA(hPicture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP bm;
    if (hShown == NULL || ::GetObjectA(hShown, sizeof(bm), &bm) != sizeof(bm))
        return 0;
    const int cx = ::MulDiv(bm.bmWidth, nDpi, kDesignDpi);
    const int cy = ::MulDiv(bm.bmHeight, nDpi, kDesignDpi);
    if ((cx == bm.bmWidth && cy == bm.bmHeight) || cx <= 0 || cy <= 0)
        return 0;
    m_hPicture = StretchedCopy(hShown, bm, cx, cy);
    if (m_hPicture == NULL)
        return 0; // shown at its own size, as at 96 DPI
    // The control takes the new picture's size. It loaded the template's
    // picture itself and hands it back: nothing else holds it.
    HBITMAP hOld = reinterpret_cast<HBITMAP>(
        ::SendMessageA(hPicture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_hPicture)));
    if (hOld != NULL && hOld != m_hPicture)
        ::DeleteObject(hOld);
    return cy - bm.bmHeight;
}

void CXpNoticeDlg::MoveBelowPicture(int nDpi)
{
    // The template leaves the check box a gap below the picture at 96 DPI;
    // it keeps that gap, scaled. The dialog's unit here against its unit at
    // 96 DPI gives back the 96-DPI distances of the template.
    RECT rcUnit = {0, 0, 4, 8};
    const int nCharHeight96 = CharHeightAt96(m_hWnd, nDpi);
    if (!::MapDialogRect(m_hWnd, &rcUnit) || rcUnit.bottom <= 0 || nCharHeight96 <= 0)
        return;
    const RECT rcPicture = ItemRect(m_hWnd, IDC_NOTICE_PICTURE);
    const RECT rcBox = ItemRect(m_hWnd, IDC_UNDERSTAND);
    const int nPictureHeight96 = ::MulDiv(rcPicture.bottom - rcPicture.top, kDesignDpi, nDpi);
    const int nGap96 = ::MulDiv(rcBox.top - rcPicture.top, nCharHeight96, rcUnit.bottom) - nPictureHeight96;
    const int dy = rcPicture.bottom + ::MulDiv(nGap96, nDpi, kDesignDpi) - rcBox.top;
    if (dy == 0)
        return;
    MoveItemDown(m_hWnd, IDC_UNDERSTAND, dy);
    MoveItemDown(m_hWnd, IDOK, dy);
    RECT rcDlg;
    if (::GetWindowRect(m_hWnd, &rcDlg))
        ::SetWindowPos(m_hWnd, NULL, 0, 0, rcDlg.right - rcDlg.left, rcDlg.bottom - rcDlg.top + dy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CXpNoticeDlg::OnUnderstandClicked()
{
    UpdateData(TRUE);
    const LRESULT nState = GetDlgItem(IDC_UNDERSTAND).SendMessage(BM_GETCHECK);
    GetDlgItem(IDOK).EnableWindow(nState == BST_CHECKED);
}

void CXpNoticeDlg::OnDestroy()
{
    CDialog::OnDestroy();
    // Whatever the control shows now is ours: the picture it loaded from the
    // template, the scaled one, or a copy of that which it made for itself.
    // Taken out, it is no longer the control's to free.
    HBITMAP hShown = reinterpret_cast<HBITMAP>(
        ::SendMessageA(::GetDlgItem(m_hWnd, IDC_NOTICE_PICTURE), STM_SETIMAGE, IMAGE_BITMAP, 0));
    if (hShown != NULL && hShown != m_hPicture)
        ::DeleteObject(hShown);
    if (m_hPicture != NULL)
        ::DeleteObject(m_hPicture);
    m_hPicture = NULL;
}

HBRUSH CXpNoticeDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (nCtlColor == CTLCOLOR_STATIC && pWnd->m_hWnd == GetDlgItem(IDC_NOTICE_HEADING).m_hWnd)
        pDC->SetTextColor(RGB(255, 0, 0));
    return hbr;
}
