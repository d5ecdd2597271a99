#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "app/WipeOptions.h"
#include "wipe/ResultCode.h"
#include "wipe/WipeEngine.h"
#include "wipe/WipeEvents.h"
#include "wipe/WipeTarget.h"

class Clock;
class FileLayer;
class JobUi;
class ProgressWindow;
class TextSource;

// The job object: the options at its head, then the current target and the job's own state.
// The wipe engine works on both; the job turns what the engine reports into its step boxes,
// progress texts, error boxes and log lines. One job runs at a time; the object outlives it
// and is reused by the next.
class DeleteJob : public WipeOptions, public WipeTarget, private WipeEvents {
public:
    DeleteJob(FileLayer& files, JobUi& ui, const TextSource& texts, Clock& clock);
    ~DeleteJob() override;
    DeleteJob(const DeleteJob&) = delete;
    DeleteJob& operator=(const DeleteJob&) = delete;

    // The log that the job appends to; owned by the application object.
    std::string* m_pLog = nullptr;
    int m_nTargetCount = 0;
    // What the last RunJob did: targets wiped, and targets that failed or were excluded.
    int m_nOk = 0;
    int m_nFailed = 0;

    using Failure = WipeFailure;

    // When set and non-zero, the job stops at its next write: the current target keeps what
    // was done to it, and scratch files are removed. Set from a signal handler.
    const std::atomic<int>* m_pStop = nullptr;

    // When set, told how an overwrite pass goes: pass (from 1), passes, bytes done and total,
    // at every megabyte and at the end of each pass.
    std::function<void(int, int, int64_t, int64_t)> m_onProgress;

    // Runs a job over the target text: 0 when it holds no target, else 1.
    int RunJob(const std::string& text);

    // The engine's operations on the current target (see WipeEngine).
    bool CheckTarget() { return m_engine.CheckTarget(); }
    bool CheckTargetIn(std::unique_ptr<FolderHandle> folder, const std::string& name) {
        return m_engine.CheckTargetIn(std::move(folder), name);
    }
    void UseFolder(std::unique_ptr<FolderHandle> folder) { m_engine.UseFolder(std::move(folder)); }
    // `progress` is the job's progress window or nullptr.
    int WipeFile(ProgressWindow* progress);
    int MakeDummyFileEntries() { return m_engine.MakeDummyFileEntries(); }
    int MakeAdditionalWipeFile(const std::string& targetPath) {
        return m_engine.MakeAdditionalWipeFile(targetPath);
    }
    int RandomInRange(int lo, int hi) { return m_engine.RandomInRange(lo, hi); }
    static int64_t AnticacheBytes(int32_t megabytes) {
        return WipeEngine::AnticacheBytes(megabytes);
    }

    // The debug box after a wipe step; only with the Confirm option.
    void ShowStep(const std::string& step);

private:
    // WipeEvents
    void Step(WipeStep step, int pass, int passes) override;
    void Megabytes(int64_t done, int64_t total) override;
    void Progress(int pass, int passes, int64_t done, int64_t total) override;
    void HardwareError() override;
    void DummyFileFailed() override;
    void DummyStageFailed() override;
    void DummyFilesMade(int count) override;
    void Sleep(unsigned milliseconds) override;
    bool StopRequested() override;

    JobUi& m_ui;
    const TextSource& m_texts;
    WipeEngine m_engine;
    ProgressWindow* m_progress = nullptr;  // during WipeFile
};
