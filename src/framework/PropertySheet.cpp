#include "framework/PropertySheet.h"

#include <utility>

#include "framework/WinApp.h"

namespace {
// The sheet being created: the system's sheet callback carries no parameter of ours.
CPropertySheet* s_pCreating = nullptr;
}  // namespace

CPropertyPage::CPropertyPage(UINT templateId) : CDialog(templateId) {}

CPropertyPage::~CPropertyPage() = default;

BOOL CPropertyPage::OnKillActive() {
    return UpdateData(TRUE);
}

BOOL CPropertyPage::OnSetActive() {
    return TRUE;
}

void CPropertyPage::OnOK() {}

void CPropertyPage::OnCancel() {}

bool CPropertyPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL) return false;
    return CDialog::OnCommand(wParam, lParam);
}

bool CPropertyPage::OnNotify(const NMHDR& header, LRESULT& result) {
    switch (header.code) {
        case PSN_SETACTIVE:
            result = OnSetActive() ? 0 : -1;
            return true;
        case PSN_KILLACTIVE:
            // TRUE keeps the page in front.
            result = OnKillActive() ? FALSE : TRUE;
            return true;
        case PSN_APPLY:
            if (m_pSheet != nullptr) m_pSheet->m_bApplied = true;
            OnOK();
            result = PSNRET_NOERROR;
            return true;
        case PSN_RESET:
            OnCancel();
            result = 0;
            return true;
        default:
            return CDialog::OnNotify(header, result);
    }
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* page =
        msg == WM_INITDIALOG
            ? reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam)
            : FromHandle(hWnd);
    return Dispatch(page, hWnd, msg, wParam, lParam);
}

CPropertySheet::CPropertySheet(std::string caption, HWND hWndParent, UINT selectPage)
    : m_strCaption(std::move(caption)) {
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    m_psh.hwndParent = hWndParent;
    m_psh.nStartPage = selectPage;
}

void CPropertySheet::AddPage(CPropertyPage& page) {
    m_pages.push_back(&page);
}

int CALLBACK CPropertySheet::SheetCallback(HWND hWnd, UINT msg, LPARAM) {
    if (msg == PSCB_INITIALIZED && s_pCreating != nullptr) {
        s_pCreating->m_hWnd = hWnd;
        if (CWinApp* app = CWinApp::Current()) app->m_hMainWnd = hWnd;
        CenterOverOwner(hWnd);
    }
    return 0;
}

INT_PTR CPropertySheet::DoModal() {
    if (m_hWnd != nullptr || m_pages.empty()) return -1;
    std::vector<PROPSHEETPAGEA> pages(m_pages.size());
    for (size_t i = 0; i < m_pages.size(); ++i) {
        PROPSHEETPAGEA& psp = pages[i];
        psp.dwSize = sizeof(psp);
        psp.dwFlags = PSP_DEFAULT;
        psp.hInstance = ResourceInstance();
        psp.pszTemplate = MAKEINTRESOURCEA(m_pages[i]->m_nIDTemplate);
        psp.pfnDlgProc = &CPropertyPage::PageProc;
        psp.lParam = reinterpret_cast<LPARAM>(m_pages[i]);
        m_pages[i]->m_pSheet = this;
    }
    m_psh.hInstance = ResourceInstance();
    m_psh.pszCaption = m_strCaption.c_str();
    m_psh.nPages = static_cast<UINT>(pages.size());
    m_psh.ppsp = pages.data();
    m_psh.pfnCallback = &CPropertySheet::SheetCallback;

    CWinApp* app = CWinApp::Current();
    const HWND previousMain = app != nullptr ? app->m_hMainWnd : nullptr;
    m_bApplied = false;
    s_pCreating = this;
    const INT_PTR result = ::PropertySheetA(&m_psh);
    s_pCreating = nullptr;
    m_hWnd = nullptr;
    if (app != nullptr) app->m_hMainWnd = previousMain;
    for (CPropertyPage* page : m_pages)
        page->m_pSheet = nullptr;
    if (result < 0) return -1;
    return m_bApplied ? IDOK : IDCANCEL;
}
