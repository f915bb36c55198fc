// CXpNoticeDlg: texts, the red bold heading and the "Understand" box.
#include "XpNoticeDlg.h"

#include "resource.h"

CXpNoticeDlg::CXpNoticeDlg(CWnd* pParent) : CDialog(IDD_XPNOTICE, pParent)
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

    LOGFONTA lf;
    ZeroMemory(&lf, sizeof(lf));
    lf.lfHeight = -16;
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
    return TRUE;
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
}

HBRUSH CXpNoticeDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (nCtlColor == CTLCOLOR_STATIC && pWnd->m_hWnd == GetDlgItem(IDC_NOTICE_HEADING).m_hWnd)
        pDC->SetTextColor(RGB(255, 0, 0));
    return hbr;
}
