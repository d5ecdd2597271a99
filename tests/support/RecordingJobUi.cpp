#include "support/RecordingJobUi.h"

#include <cstdio>

namespace {

std::string OneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Hex(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", value);
    return buffer;
}

class RecordingProgress : public ProgressWindow {
public:
    explicit RecordingProgress(RecordingJobUi& ui) : m_ui(ui) { ++m_ui.liveProgressWindows; }
    ~RecordingProgress() override {
        --m_ui.liveProgressWindows;
        m_ui.Add("Progress destroy");
    }

    void SetItemText(int controlId, const std::string& text) override {
        m_ui.controlText[controlId] = text;
        m_ui.Add("Text " + std::to_string(controlId) + ": " + OneLine(text));
    }
    void SetBarPos(int pos) override { m_ui.Add("Pos " + std::to_string(pos)); }
    void Repaint() override {
        ++m_ui.repaints;
        m_ui.Add("Repaint");
    }

private:
    RecordingJobUi& m_ui;
};

}  // namespace

std::vector<std::string> RecordingJobUi::Filter(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& event : events) {
        if (event.compare(0, prefix.size(), prefix) == 0) matching.push_back(event);
    }
    return matching;
}

void RecordingJobUi::ShowBox(const std::string& text, const std::string& title, unsigned flags) {
    ++boxes;
    Add("Box " + title + " " + Hex(flags) + ": " + OneLine(text));
}

void RecordingJobUi::Beep(unsigned type) {
    Add("Beep " + Hex(type));
}

bool RecordingJobUi::Confirm(const std::string& question) {
    Add("Confirm: " + OneLine(question));
    return confirmAnswer;
}

std::unique_ptr<ProgressWindow> RecordingJobUi::CreateProgress() {
    Add("Progress create");
    if (failProgress) return nullptr;
    return std::make_unique<RecordingProgress>(*this);
}

void RecordingJobUi::Sleep(unsigned milliseconds) {
    Add("Sleep " + std::to_string(milliseconds));
}

void RecordingJobUi::Add(const std::string& event) {
    events.push_back(event);
    if (onEvent) onEvent(event);
}
