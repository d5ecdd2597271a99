#include "settings_ui/CDlgPDisp.h"

#include "framework/DataExchange.h"
#include "res/controls.h"
#include "res/resource.h"

CDlgPDisp::CDlgPDisp(WipeOptions& options) : CPropertyPage(IDD_DISPLAY_PAGE), m_options(options) {}

void CDlgPDisp::DoDataExchange(DataExchange& dx) {
    DDX_Check(dx, IDC_DISP_DEBUG, m_options.Confirm);
    DDX_Check(dx, IDC_DISP_CONFIRM, m_options.DispF);
    DDX_Check(dx, IDC_DISP_NO_ERRORS, m_options.NDispE);
    DDX_Check(dx, IDC_DISP_NO_PROGRESS, m_options.NDispN);
    DDX_Check(dx, IDC_DISP_LOG, m_options.Log);
}
