#pragma once

#include "app/WipeOptions.h"
#include "framework/PropertySheet.h"

// Settings page "Detail 2/3": the additional wipe space and the dummy file entries. Each
// feature's check box enables the controls that only matter when it is on; disabled controls
// keep their values, which are still read back, checked and saved.
class CDlgPDel3 : public CPropertyPage {
public:
    explicit CDlgPDel3(WipeOptions& options);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(DataExchange& dx) override;
    bool OnButtonClicked(int id) override;

private:
    void EnableAdditionalWipe();
    void EnableDummyEntries();

    WipeOptions& m_options;
};
