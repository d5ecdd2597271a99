#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"

// The job's modeless progress window: the file being wiped, a counter, the megabytes of a
// large file and a bar from 0 to 100. Nothing pumps its messages while the job runs; the job
// repaints it after each update.
class CDlgProgress : public CDialog {
public:
    CDlgProgress();
    ~CDlgProgress() override;

    // Creates the window, shown at once, owned by the application's main window if any.
    BOOL CreateModeless();

    CProgressCtrl m_ctlProgress;

protected:
    void DoDataExchange(DataExchange& dx) override;
};
