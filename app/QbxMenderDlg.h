// CQbxMenderDlg: the wizard, the program's only window. One page of text, a
// progress bar and a default button that steps from the welcome page through
// diagnosis and report, then repair and its report, back to the welcome page.
#pragma once

#include "Framework.h"
#include "UsbDriverCheck.h"
#include "UsbPortCheck.h"

// Steps of the wizard (m_nStep).
const int STEP_WELCOME = 0;
const int STEP_REPORT = 1;
const int STEP_DONE = 2;

// Results of Diagnose; 1 and 2 count the units that found a problem.
const int DIAG_NOT_ADMIN = -2;
const int DIAG_NOT_INSTALLED = -1;
const int DIAG_CLEAN = 0;

class CQbxMenderDlg : public CDialog
{
public:
    explicit CQbxMenderDlg(CWnd* pParent = NULL);
    virtual ~CQbxMenderDlg();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();
    // The default button: the step machine.
    virtual void OnOK();

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();

    void ShowWelcome();
    // Tests the two preconditions, then runs both checks while the progress
    // bar advances; handles window messages during its two pauses.
    int Diagnose();
    CString GetReportText(int nResult);
    // Repairs what the last diagnosis found; text receives the repair page.
    void RepairProblems(CString& text);

    DECLARE_MESSAGE_MAP()

    CUsbDriverCheck m_driverCheck;
    CUsbPortCheck m_portCheck;
    CProgressCtrl m_progress;
    int m_nStep;
    HICON m_hIcon;      // the window's large icon, also drawn when minimised
    HICON m_hSmallIcon; // its small icon, in the caption and the task bar
    bool m_bInStep;     // a step of OnOK is running
    bool m_bAboutShown; // the About box is up

private:
    // Where the icon of the minimised window is drawn: centred, rounding as
    // signed integer division does (toward zero).
    static POINT GetIconOrigin(int cxClient, int cyClient, int cxIcon, int cyIcon);
    // The two steps that do work; the default button is disabled while they
    // run and has the focus again afterwards.
    void RunDiagnosis();
    void RunRepair();
    // Disables the default button; true when it had the focus.
    bool DisableDefaultButton();
    void EnableDefaultButton(bool bHadFocus);
    // Takes out of the queue, while the step still runs, the input and the
    // commands given while it ran: a press of the default button among them
    // would skip the page the step just showed.
    void DiscardInputOfTheStep();
    void SetPageText(UINT nID);
    void SetButtonText(UINT nID);
    const char* InstanceName() const;
};
