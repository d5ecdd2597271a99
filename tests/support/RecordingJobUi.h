#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "job/JobUi.h"

// A JobUi that records what the job shows and asks, one line per event, in order:
//   Box <title> 0x<flags hex>: <text>
//   Beep 0x<type hex>
//   Confirm: <question>
//   Progress create                 also when failProgress makes it fail
//   Text <control id>: <text>       from the progress window
//   Pos <n>
//   Repaint
//   Progress destroy
//   Sleep <ms>
// Carriage returns and line feeds in texts are written as \r and \n, so each event is one line.
// Progress windows report to the RecordingJobUi that made them, which must outlive them.
class RecordingJobUi : public JobUi {
public:
    std::vector<std::string> events;

    bool confirmAnswer = true;
    bool failProgress = false;
    // Runs after each event is recorded, e.g. to look at the files while a box is "shown".
    std::function<void(const std::string& event)> onEvent;

    int boxes = 0;
    int repaints = 0;
    int liveProgressWindows = 0;
    // The latest text of each progress control.
    std::map<int, std::string> controlText;

    // The events that begin with `prefix`, in order.
    std::vector<std::string> Filter(const std::string& prefix) const;

    void ShowBox(const std::string& text, const std::string& title, unsigned flags) override;
    void Beep(unsigned type) override;
    bool Confirm(const std::string& question) override;
    std::unique_ptr<ProgressWindow> CreateProgress() override;
    void Sleep(unsigned milliseconds) override;

    void Add(const std::string& event);
};
