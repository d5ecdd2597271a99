#include "dialogs/CDlgProgress.h"

#include "framework/DataExchange.h"
#include "res/controls.h"
#include "res/resource.h"

CDlgProgress::CDlgProgress() : CDialog(IDD_PROGRESS) {}

CDlgProgress::~CDlgProgress() = default;

BOOL CDlgProgress::CreateModeless() {
    return Create();
}

void CDlgProgress::DoDataExchange(DataExchange& dx) {
    DDX_Control(dx, IDC_PROGRESS_BAR, m_ctlProgress);
}
