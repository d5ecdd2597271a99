#include "settings_ui/SettingsSheet.h"

#include <utility>

#include "app/AppStrings.h"
#include "framework/PropertySheet.h"
#include "res/resource.h"
#include "settings_ui/CDlgPDel.h"
#include "settings_ui/CDlgPDel2.h"
#include "settings_ui/CDlgPDel3.h"
#include "settings_ui/CDlgPDisp.h"
#include "settings_ui/CDlgPOther.h"

bool RunSettingsSheet(WipeOptions& options, std::function<void(const std::string&)> quickDelete) {
    CPropertySheet sheet(LoadAppString(IDS_SETTINGS_CAPTION));
    CDlgPDel general(options);
    CDlgPDisp display(options);
    CDlgPDel2 detail1(options);
    CDlgPDel3 detail2(options);
    CDlgPOther tools(std::move(quickDelete));
    for (CPropertyPage* page :
         {static_cast<CPropertyPage*>(&general), static_cast<CPropertyPage*>(&display),
          static_cast<CPropertyPage*>(&detail1), static_cast<CPropertyPage*>(&detail2),
          static_cast<CPropertyPage*>(&tools)})
        sheet.AddPage(*page);
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    return sheet.DoModal() == IDOK;
}
