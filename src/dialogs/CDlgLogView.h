#pragma once

#include <string>

#include "framework/Controls.h"
#include "framework/Dialog.h"

// The message viewer: the processing log in a read-only edit box. It opens scrolled to the
// end, where the summary is, with nothing selected.
class CDlgLogView : public CDialog {
public:
    explicit CDlgLogView(HWND hWndParent = nullptr);
    ~CDlgLogView() override;

    CEdit m_ctlLog;
    // Lines end in CR LF, which the edit box shows as line breaks.
    std::string m_strLogText;

protected:
    void DoDataExchange(DataExchange& dx) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
