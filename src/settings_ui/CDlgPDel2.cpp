#include "settings_ui/CDlgPDel2.h"

#include "framework/DataExchange.h"
#include "res/controls.h"
#include "res/resource.h"
#include "settings_ui/PageFields.h"

CDlgPDel2::CDlgPDel2(WipeOptions& options) : CPropertyPage(IDD_DETAIL1_PAGE), m_options(options) {}

void CDlgPDel2::DoDataExchange(DataExchange& dx) {
    DDX_Text(dx, IDC_DET1_BUFFER, AsUnsigned(m_options.m_nBufferSize));
    DDV_MinMaxUInt(dx, AsUnsigned(m_options.m_nBufferSize), 1, 2048);
    DDX_Text(dx, IDC_DET1_OVERRUN, AsUnsigned(m_options.m_nOverrun));
    DDV_MinMaxUInt(dx, AsUnsigned(m_options.m_nOverrun), 0, 65536);
    // Disabled, so the user cannot change it, but read back and checked like the others.
    DDX_Text(dx, IDC_DET1_DODCHAR, AsUnsigned(m_options.m_nDodChar));
    DDV_MinMaxUInt(dx, AsUnsigned(m_options.m_nDodChar), 0, 255);
    DDX_Check(dx, IDC_DET1_KEEP_FILE, m_options.bNotDel);
}
