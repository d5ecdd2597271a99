#include "settings_ui/CDlgPDel.h"

#include "framework/DataExchange.h"
#include "res/controls.h"
#include "res/resource.h"

CDlgPDel::CDlgPDel(WipeOptions& options) : CPropertyPage(IDD_GENERAL_PAGE), m_options(options) {}

void CDlgPDel::DoDataExchange(DataExchange& dx) {
    DDX_Check(dx, IDC_GEN_DATE, m_options.Date);
    DDX_Text(dx, IDC_GEN_COUNT, m_options.nOvwr);
    DDV_MinMaxInt(dx, m_options.nOvwr, 1, 50);
    DDX_Radio(dx, IDC_GEN_NULL, m_options.rNull);
    DDX_Radio(dx, IDC_GEN_TRUNCATE_OFF, m_options.rZLen);
    DDX_Radio(dx, IDC_GEN_RENAME_OFF, m_options.rRen);
}
