#pragma once

#include "app/WipeOptions.h"
#include "framework/PropertySheet.h"

// Settings page "Detail 1/3": write buffer, overrun, the unused fill character, keeping the
// file.
class CDlgPDel2 : public CPropertyPage {
public:
    explicit CDlgPDel2(WipeOptions& options);

protected:
    void DoDataExchange(DataExchange& dx) override;

private:
    WipeOptions& m_options;
};
