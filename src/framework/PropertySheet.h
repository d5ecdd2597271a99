#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/Dialog.h"

class CPropertySheet;

// One page of a property sheet, built from a dialog template whose caption is the tab's title.
// The sheet creates the page's window when the page is first shown, so a page that is never
// shown keeps its members as they were set before the sheet ran.
//
// Leaving the page (another tab, or OK while it is in front) saves and validates it: the first
// check that fails keeps the page in front, with its prompt shown and the focus on the field.
class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT templateId);
    ~CPropertyPage() override;

protected:
    // Another tab or OK: saves and validates; FALSE keeps the page in front.
    virtual BOOL OnKillActive();
    virtual BOOL OnSetActive();
    // The sheet's OK, for each page that was shown; the data was saved when it was left.
    void OnOK() override;
    void OnCancel() override;

    // Page buttons have no IDOK or IDCANCEL of their own: those are the sheet's.
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;

private:
    friend class CPropertySheet;
    // The page's dialog procedure: WM_INITDIALOG brings the sheet's PROPSHEETPAGE, whose
    // lParam is the page object.
    static INT_PTR CALLBACK PageProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

    CPropertySheet* m_pSheet = nullptr;
};

// A modal property sheet with OK and Cancel (no Apply button). While it runs it is the
// application's main window, so that dialogs opened from its pages without a parent are owned
// by it.
class CPropertySheet {
public:
    explicit CPropertySheet(std::string caption, HWND hWndParent = nullptr, UINT selectPage = 0);
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    // Pages are shown as tabs in the order they are added; they must outlive the sheet's run.
    void AddPage(CPropertyPage& page);
    // IDOK when the sheet was closed with OK, IDCANCEL otherwise, -1 when it could not run.
    INT_PTR DoModal();

    HWND m_hWnd = nullptr;  // while it runs
    // The header used by DoModal; flags may be added before it runs.
    PROPSHEETHEADERA m_psh = {};

private:
    friend class CPropertyPage;
    static int CALLBACK SheetCallback(HWND hWnd, UINT msg, LPARAM lParam);

    std::string m_strCaption;
    std::vector<CPropertyPage*> m_pages;
    bool m_bApplied = false;
};
