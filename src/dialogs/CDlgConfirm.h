#pragma once

#include <string>

#include "framework/Dialog.h"

// The question before a job. DoModal returns 1 for OK and 0 for Cancel, Esc or the close box
// (-1 when the dialog could not be created).
class CDlgConfirm : public CDialog {
public:
    explicit CDlgConfirm(HWND hWndParent = nullptr);
    ~CDlgConfirm() override;

    // The question shown in the dialog.
    std::string m_strMessage;

protected:
    void DoDataExchange(DataExchange& dx) override;
    void OnOK() override;
    void OnCancel() override;
};
