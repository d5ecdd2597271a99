#pragma once

#include "app/WipeOptions.h"
#include "framework/PropertySheet.h"

// Settings page "Display": confirmation, progress window, messages, debug steps, log.
class CDlgPDisp : public CPropertyPage {
public:
    explicit CDlgPDisp(WipeOptions& options);

protected:
    void DoDataExchange(DataExchange& dx) override;

private:
    WipeOptions& m_options;
};
