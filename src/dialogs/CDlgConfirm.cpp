#include "dialogs/CDlgConfirm.h"

#include "framework/DataExchange.h"
#include "res/controls.h"
#include "res/resource.h"

CDlgConfirm::CDlgConfirm(HWND hWndParent) : CDialog(IDD_CONFIRM, hWndParent) {}

CDlgConfirm::~CDlgConfirm() = default;

void CDlgConfirm::DoDataExchange(DataExchange& dx) {
    DDX_Text(dx, IDC_CONFIRM_MESSAGE, m_strMessage);
}

void CDlgConfirm::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(1);
}

// 0 rather than IDCANCEL: the job tests the result against 0.
void CDlgConfirm::OnCancel() {
    EndDialog(0);
}
