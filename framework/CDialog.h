// CDialog: a modal dialog run from a template. DoModal notes the object
// while the window is made; the first WM_INITDIALOG binds it to
// the window, and every later message goes through its message map, then
// through the virtual OnInitDialog, OnOK and OnCancel. DoModal runs the
// dialog's loop and destroys the window itself, so the dialog's destroy
// handling runs exactly when the window really goes.
#pragma once

#include <windows.h>

#include "CDC.h"
#include "CDataExchange.h"
#include "CWnd.h"
#include "MessageMap.h"

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    virtual ~CDialog();

    // Runs the dialog; returns the code given to EndDialog, IDCANCEL when
    // the loop ended on WM_QUIT (posted again for the loops outside), or -1
    // when the window could not be made.
    virtual INT_PTR DoModal();
    // Ends the modal loop: the owner takes input again and the dialog is
    // hidden at once; DoModal destroys it when the handler running now has
    // returned.
    void EndDialog(int nResult);
    // Runs DoDataExchange. Always TRUE: the program's exchanges only bind
    // controls, which cannot fail; the result is kept for callers written
    // against exchanges that validate.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    virtual BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    virtual void DoDataExchange(CDataExchange* pDX);
    // Runs the data exchange into the controls; TRUE: the focus goes to the
    // first tab-stop control.
    virtual BOOL OnInitDialog();
    // UpdateData(TRUE), then ends the dialog with IDOK.
    virtual void OnOK();
    // Ends the dialog with IDCANCEL.
    virtual void OnCancel();

    // Default handling for the messages a derived map may take. Each hands
    // the message to the dialog manager once the handler returns, except
    // OnCtlColor, which asks for the default colours and brush at once.
    //
    // Default: also hand the message being handled to the dialog manager,
    // once the handler returns; the handler's own answer is then dropped.
    // It does nothing at once.
    void Default();
    void OnDestroy() { Default(); }
    void OnPaint() { Default(); }
    void OnSysCommand(UINT nID, LPARAM lParam);
    HCURSOR OnQueryDragIcon();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

private:
    // Centres the dialog over its owner, or on the screen's work area when
    // it has none, keeping it on the screen.
    void CenterWindow();
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // The object bound to the window; at the window's first WM_INITDIALOG it
    // binds the dialog DoModal is creating, when lParam names it. NULL: none.
    static CDialog* FromWindow(HWND hWnd, UINT uMsg, LPARAM lParam);
    // Runs the message map; *pbDefault is set when the dialog manager is to
    // handle the message as well.
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL* pbDefault);
    // The set-up, then the centring of a dialog that did not place itself.
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam, BOOL* pbDefault);
    // The dialog procedure's return value for a handled message.
    static INT_PTR DialogResult(HWND hWnd, UINT uMsg, LRESULT lResult);
    // Takes the window's messages until EndDialog or WM_QUIT; shows the
    // dialog once the queue is first empty, as the dialog manager does.
    void RunModalLoop();
    // Whether a WM_DESTROY or WM_NCDESTROY is one of the window's real
    // destruction by DoModal, each taken once; any other was sent or posted
    // by someone else.
    BOOL IsOwnDestroyMessage(UINT uMsg);

    static CDialog* s_pCreating;

    enum DestroyState
    {
        kAlive,
        kDestroying, // DoModal is destroying the window
        kDestroyed,  // and WM_DESTROY has been handled
    };

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    BOOL* m_pbDefault;        // set by Default() for the message being handled
    INT_PTR m_nModalResult;   // what DoModal returns
    BOOL m_bContinueModal;    // the loop runs until EndDialog clears it
    HWND m_hWndDisabledOwner; // the owner DoModal disabled; enabled again at the end
    DestroyState m_nDestroy;

    CDialog(const CDialog&);
    CDialog& operator=(const CDialog&);
};
