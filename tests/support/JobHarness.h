#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "job/DeleteJob.h"
#include "job/JobUi.h"
#include "job/TextSource.h"
#include "support/TestLayer.h"
#include "wipe/Clock.h"

// Records what a job shows and asks, one line an event, in order.
class RecordingUi : public JobUi {
public:
    std::vector<std::string> events;
    bool answer = true;
    bool failProgress = false;
    int liveWindows = 0;

    void Add(const std::string& event) { events.push_back(event); }
    void ShowBox(const std::string& text, const std::string& title, unsigned flags) override {
        char hex[16];
        std::snprintf(hex, sizeof(hex), "%x", flags);
        Add(title + " " + hex + ": " + text);
    }
    void Beep(unsigned type) override { Add("Beep " + std::to_string(type)); }
    bool Confirm(const std::string& question) override {
        Add("Confirm: " + question);
        return answer;
    }
    std::unique_ptr<ProgressWindow> CreateProgress() override;
    void Sleep(unsigned ms) override { Add("Sleep " + std::to_string(ms)); }
};

// A progress window that reports to its RecordingUi.
class RecordedWindow : public ProgressWindow {
public:
    explicit RecordedWindow(RecordingUi& ui) : m_ui(ui) { ++m_ui.liveWindows; }
    ~RecordedWindow() override {
        --m_ui.liveWindows;
        m_ui.Add("Close");
    }
    void SetItemText(int id, const std::string& text) override {
        m_ui.Add(std::to_string(id) + " " + text);
    }
    void SetBarPos(int pos) override { m_ui.Add("Pos " + std::to_string(pos)); }
    void Repaint() override { m_ui.Add("Repaint"); }

private:
    RecordingUi& m_ui;
};

inline std::unique_ptr<ProgressWindow> RecordingUi::CreateProgress() {
    Add("Progress");
    if (failProgress) return nullptr;
    return std::make_unique<RecordedWindow>(*this);
}

// A clock that says what it is told.
class TestClock : public Clock {
public:
    int64_t now = 900000000;
    int64_t Now() override { return now; }
};

// A job on real files in a scratch folder, through the test layer; no confirmation and no
// progress window unless a test asks for them.
class JobHarness : public ::testing::Test {
public:
    JobHarness() {
        job.m_pLog = &log;
        job.DispF = 0;
        job.NDispN = 1;
    }

    // An entry of the scratch folder as the engine names it.
    std::string At(const std::string& name) const { return files.Named(dir.Path()) + name; }
    void Make(const std::string& name, const std::string& content) {
        realfiles::Write(dir.Path() + name, content);
    }
    // The folder's names, sorted.
    std::vector<std::string> Left() const { return realfiles::List(dir.Path()); }

    ScratchFolder dir;
    TestLayer files;
    RecordingUi ui;
    EnglishTextSource texts;
    TestClock clock;
    DeleteJob job{files, ui, texts, clock};
    std::string log;
};
