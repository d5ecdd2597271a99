#pragma once

#include <functional>
#include <string>

#include "framework/PropertySheet.h"

// Settings page "Detail 3/3", the tools page: deletes one chosen file at once, makes the
// uninstall shortcut again, and shows the version. It holds no option.
class CDlgPOther : public CPropertyPage {
public:
    // `quickDelete` runs a whole job on one path while the sheet stays open.
    explicit CDlgPOther(std::function<void(const std::string&)> quickDelete);

protected:
    bool OnButtonClicked(int id) override;
    BOOL OnKillActive() override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;

private:
    void OnBrowse();
    void OnDeleteNow();
    void OnUninstallShortcut();

    std::function<void(const std::string&)> m_quickDelete;
    bool m_bDeleting = false;  // a quick delete runs
};
