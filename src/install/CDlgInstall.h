#pragma once

#include <cstdint>

#include "framework/Dialog.h"

// The install dialog of a user's first start: which shortcuts to make, and where to offer the
// uninstall.
class CDlgInstall : public CDialog {
public:
    CDlgInstall();

    int32_t m_bSendTo = 0;
    int32_t m_bDesktop = 0;
    int32_t m_bStartMenu = 0;
    // 0: an entry in the system's list of programs; 1: a shortcut in the Start menu.
    int32_t m_nUninstallPlace = -1;

protected:
    void DoDataExchange(DataExchange& dx) override;
    bool OnButtonClicked(int id) override;
};

// Shows the install dialog with its first-start choices and, on OK, writes the marker and makes
// the uninstall offer and the chosen shortcuts, each step whatever the others did. False when
// the user cancelled: then nothing has been written.
bool RunInstall();
