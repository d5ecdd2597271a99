#pragma once

#include <memory>
#include <string>

#include "job/JobUi.h"

// The job's user interface with real windows: message boxes owned by the main window if any, the
// confirmation dialog and the modeless progress window.
class Win32JobUi : public JobUi {
public:
    void ShowBox(const std::string& text, const std::string& title, unsigned flags) override;
    void Beep(unsigned type) override;
    // True only for OK: a confirmation that could not even be shown is no consent.
    bool Confirm(const std::string& question) override;
    std::unique_ptr<ProgressWindow> CreateProgress() override;
    void Sleep(unsigned milliseconds) override;
};

// Shows the processing log in the message viewer and waits until the user closes it.
void ShowLogViewer(const std::string& log);
