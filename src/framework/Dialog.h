#pragma once

#include <windows.h>

class DataExchange;

// The module whose resources hold the templates: the application's instance, or the program's
// own module when no application object has set one.
HINSTANCE ResourceInstance();

// Centres a top-level window over its owner, or on the work area when it has none, keeping it
// on the screen.
void CenterOverOwner(HWND hWnd);

// A dialog built from a template of the application's resources. One static dialog procedure
// serves every dialog: it finds the object through GWLP_USERDATA, stored at WM_INITDIALOG,
// and forwards to the virtual handlers below.
//
// Created without a parent, a dialog gets the application's main window as its owner (none
// when there is no main window), so a modal dialog disables that window while it runs.
//
// A top-level dialog that does not place itself in OnInitDialog is centred over its owner, or
// on the screen's work area when it has none, so that nothing opens in a corner of the screen.
// Child dialogs (property pages) stay where their parent puts them.
//
// F1 (WM_HELP) and the help command (ID_HELP) ask the application for the help topic of the
// dialog's template.
//
// Modal and modeless dialogs differ only in how they end. A modal one ends through
// EndDialog and DoModal returns the result. A modeless one belongs to whoever created it and
// lives until DestroyWindow (or the object's destruction): OK, Cancel, Esc and the close box
// only hide it, so that the work that shows it carries on and can still update it.
class CDialog {
public:
    explicit CDialog(UINT templateId, HWND hWndParent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally. Returns the value given to EndDialog, or -1 when the dialog
    // could not be created.
    INT_PTR DoModal();
    // Creates the modeless window; TRUE on success. Whether it shows at once is the
    // template's WS_VISIBLE.
    BOOL Create();
    BOOL DestroyWindow();

    // Runs DoDataExchange: FALSE loads the controls, TRUE saves and validates them. FALSE
    // when a check failed (the user has been told and the control has the focus).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // Modal: ends the dialog with `result`. Modeless: hides the window.
    void EndDialog(INT_PTR result);

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

    HWND m_hWnd = nullptr;

protected:
    // Loads the controls (UpdateData(FALSE)); TRUE lets the system put the focus on the first
    // tab-stop control.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx);
    // Saves and validates, then ends with IDOK; a failed check keeps the dialog open.
    virtual void OnOK();
    virtual void OnCancel();
    // WM_COMMAND. The default sends IDOK and IDCANCEL clicks to OnOK and OnCancel, ID_HELP to
    // the help, and other button clicks to OnButtonClicked. True when handled.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // A click on button `id`; true when handled.
    virtual bool OnButtonClicked(int id);
    // WM_NOTIFY; true when handled, with `result` as the message's result.
    virtual bool OnNotify(const NMHDR& header, LRESULT& result);
    // Any other message. Return true when handled, with `result` as the message's result;
    // false leaves it to the system's default processing.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The system's default processing of a message, for handlers that need it to run first.
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

    // The common part of the dialog procedures: `dlg` is the object of the window, known from
    // the WM_INITDIALOG parameter or from the window's user data.
    static INT_PTR Dispatch(CDialog* dlg, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static CDialog* FromHandle(HWND hWnd);

    const UINT m_nIDTemplate;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    HWND Owner() const;
    void CenterWindow();

    HWND m_hWndParent;
    bool m_bModal = false;
    // Set while Default hands a message to the system, which first calls our dialog
    // procedure again with it; that one call must return FALSE.
    bool m_bInDefault = false;
};
