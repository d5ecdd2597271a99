#pragma once

#include "framework/Dialog.h"

// The version dialog of the tools page: the product name and the version of the program's
// own version information.
class CDlgVersion : public CDialog {
public:
    CDlgVersion();

protected:
    BOOL OnInitDialog() override;
};
