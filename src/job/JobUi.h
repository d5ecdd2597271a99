#pragma once

#include <memory>
#include <string>

// Message box flags, with the values Windows gives them so that the Windows user interface
// can pass them on unchanged.
enum BoxFlags : unsigned {
    kMbOk = 0x0,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
    kMbTopmost = 0x40000,
};

// Controls of the progress window that the job writes to.
enum ProgressControl : int {
    kProgressFileName = 1014,
    kProgressBar = 1015,
    kProgressStatus = 1016,
    kProgressMegabytes = 1058,
};

// The job's progress window. Nothing pumps its messages while the job runs, so every update
// is followed by an explicit Repaint when the caller wants it on the screen.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;  // destroys the window
    virtual void SetItemText(int controlId, const std::string& text) = 0;
    virtual void SetBarPos(int pos) = 0;
    // Repaints the whole window at once (invalidate, erase, update now).
    virtual void Repaint() = 0;
};

// Everything the job shows or asks. The Windows program implements it with real windows;
// tests record the calls; a job without windows implements it with nothing.
class JobUi {
public:
    virtual ~JobUi() = default;
    // A message box (owned by no window of the job); waits for OK.
    virtual void ShowBox(const std::string& text, const std::string& title, unsigned flags) = 0;
    virtual void Beep(unsigned type) = 0;
    // The confirmation before a job: true for OK, false for Cancel, Esc or the close box.
    virtual bool Confirm(const std::string& question) = 0;
    // The modeless progress window; nullptr when it cannot be created.
    virtual std::unique_ptr<ProgressWindow> CreateProgress() = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
};
