#pragma once

#include "app/WipeOptions.h"
#include "framework/PropertySheet.h"

// Settings page "General": overwrite method and count, timestamp, truncation, renaming.
class CDlgPDel : public CPropertyPage {
public:
    explicit CDlgPDel(WipeOptions& options);

protected:
    void DoDataExchange(DataExchange& dx) override;

private:
    WipeOptions& m_options;
};
