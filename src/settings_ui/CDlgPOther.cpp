#include "settings_ui/CDlgPOther.h"

#include <commdlg.h>

#include <utility>

#include "app/AppStrings.h"
#include "framework/Controls.h"
#include "install/ShellLinks.h"
#include "res/controls.h"
#include "res/resource.h"
#include "settings_ui/CDlgVersion.h"

namespace {

const char kFilters[] =
    "Text File (*.txt;*.asc)\0*.txt;*.asc\0"
    "Word Document (*.doc;*.dot)\0*.doc;*.dot\0"
    "Excel Workbook (*.xl*)\0*.xl*\0"
    "HTML file (*.htm;*.html)\0*.htm;*.html\0"
    "All Files (*.*)\0*.*\0";
constexpr DWORD kAllFilesFilter = 5;

// The picker's structure with the fields of current systems: 88 bytes in the 32-bit build.
static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEA) == 88, "OPENFILENAMEA size");

}  // namespace

CDlgPOther::CDlgPOther(std::function<void(const std::string&)> quickDelete)
    : CPropertyPage(IDD_DETAIL3_PAGE), m_quickDelete(std::move(quickDelete)) {}

bool CDlgPOther::OnButtonClicked(int id) {
    switch (id) {
        case IDC_TOOLS_BROWSE:
            OnBrowse();
            return true;
        case IDC_TOOLS_DELETE:
            OnDeleteNow();
            return true;
        case IDC_TOOLS_UNINSTALL_LINK:
            OnUninstallShortcut();
            return true;
        case IDC_TOOLS_VERSION: {
            CDlgVersion version;
            version.DoModal();
            return true;
        }
        default:
            return false;
    }
}

// While a quick delete runs, neither another tab, OK nor Cancel may end the page under it, even
// when sent by a program to the disabled sheet.
BOOL CDlgPOther::OnKillActive() {
    return m_bDeleting ? FALSE : CPropertyPage::OnKillActive();
}

bool CDlgPOther::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.code != PSN_QUERYCANCEL) return CPropertyPage::OnNotify(header, result);
    result = m_bDeleting ? TRUE : FALSE;
    return true;
}

void CDlgPOther::OnBrowse() {
    char file[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = kFilters;
    ofn.nFilterIndex = kAllFilesFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = "Select Delete File";
    ofn.Flags = OFN_FILEMUSTEXIST;
    if (::GetSaveFileNameA(&ofn)) ::SetDlgItemTextA(m_hWnd, IDC_TOOLS_PATH, file);
}

void CDlgPOther::OnDeleteNow() {
    // Exactly as typed: the job quotes it, so blanks stay part of the one path.
    const std::string path = GetWindowTextString(GetDlgItem(IDC_TOOLS_PATH));
    if (path.empty() || !m_quickDelete || m_bDeleting) return;
    // The job's boxes and dialogs keep the sheet disabled while they are open; this keeps a
    // click sent by a program from starting a second job inside the first, on the same job.
    m_bDeleting = true;
    m_quickDelete(path);
    m_bDeleting = false;
}

void CDlgPOther::OnUninstallShortcut() {
    RemoveUninstallShortcut();
    // Said to be made only when it was: a box that reports success after a failure would
    // leave the user without the way to uninstall.
    if (MakeUninstallShortcut()) {
        ::MessageBoxA(m_hWnd, LoadAppString(IDS_UNINSTALL_LINK_MADE).c_str(),
                      "Tidewipe Information", MB_OK | MB_ICONINFORMATION);
    } else {
        ShowErrorBox(m_hWnd, LoadAppString(IDS_UNINSTALL_LINK_FAILED));
    }
}
