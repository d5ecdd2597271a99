#include "settings_ui/CDlgPDel3.h"

#include <initializer_list>

#include "framework/DataExchange.h"
#include "res/controls.h"
#include "res/resource.h"
#include "settings_ui/PageFields.h"

namespace {

bool IsChecked(HWND page, int id) {
    return ::IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void EnableControls(HWND page, std::initializer_list<int> ids, bool enable) {
    for (int id : ids)
        ::EnableWindow(::GetDlgItem(page, id), enable ? TRUE : FALSE);
}

}  // namespace

CDlgPDel3::CDlgPDel3(WipeOptions& options) : CPropertyPage(IDD_DETAIL2_PAGE), m_options(options) {}

BOOL CDlgPDel3::OnInitDialog() {
    const BOOL focus = CPropertyPage::OnInitDialog();
    // Checked boxes leave their controls as the template has them.
    if (!IsChecked(m_hWnd, IDC_DET2_ADD_WIPE)) EnableAdditionalWipe();
    if (!IsChecked(m_hWnd, IDC_DET2_DUMMY)) EnableDummyEntries();
    return focus;
}

void CDlgPDel3::DoDataExchange(DataExchange& dx) {
    DDX_Check(dx, IDC_DET2_ADD_WIPE, m_options.AddWipe);
    DDX_Radio(dx, IDC_DET2_SAME_FOLDER, m_options.rAntiFolder);
    DDX_Text(dx, IDC_DET2_WIPE_SIZE, AsUnsigned(m_options.nAnticacheSize));
    DDV_MinMaxUInt(dx, AsUnsigned(m_options.nAnticacheSize), 1, 100);
    DDX_Check(dx, IDC_DET2_DUMMY, m_options.Dummy);
    DDX_Check(dx, IDC_DET2_DUMMY_ONCE, m_options.DummySkip);
    DDX_Text(dx, IDC_DET2_DUMMY_COUNT, AsUnsigned(m_options.nFiles));
    DDV_MinMaxUInt(dx, AsUnsigned(m_options.nFiles), 1, 100);
    DDX_Check(dx, IDC_DET2_ONE_SHOT, m_options.bAntiOneShot);
}

bool CDlgPDel3::OnButtonClicked(int id) {
    switch (id) {
        case IDC_DET2_ADD_WIPE:
            EnableAdditionalWipe();
            return true;
        case IDC_DET2_DUMMY:
            EnableDummyEntries();
            return true;
        default:
            return false;
    }
}

void CDlgPDel3::EnableAdditionalWipe() {
    EnableControls(
        m_hWnd, {IDC_DET2_SAME_FOLDER, IDC_DET2_TEMP_FOLDER, IDC_DET2_WIPE_SIZE, IDC_DET2_ONE_SHOT},
        IsChecked(m_hWnd, IDC_DET2_ADD_WIPE));
}

void CDlgPDel3::EnableDummyEntries() {
    EnableControls(m_hWnd, {IDC_DET2_DUMMY_ONCE, IDC_DET2_DUMMY_COUNT},
                   IsChecked(m_hWnd, IDC_DET2_DUMMY));
}
