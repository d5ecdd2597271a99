#pragma once

#include <cstdint>

// The points of a wipe that the engine reports; the job turns them into its step boxes.
enum class WipeStep {
    kDeleteAttributes,
    kPassDone,  // with the pass (from 1) and the number of passes
    kOverwrite,
    kOverrun,
    kTruncate,
    kRename,
    kRenameWindowsLike,
    kChangeDate,
    kDelete,
    kMakeDummy,
    kDeleteDummy,
    kAdditionalWipe,
    kAdditionalWipeFailed,
};

// Where the engine reports to, and what it asks of its caller. It formats no text and shows
// nothing itself.
class WipeEvents {
public:
    virtual ~WipeEvents() = default;
    virtual void Step(WipeStep step, int pass = 0, int passes = 0) = 0;
    // A large file's pass reached another mark (every 50 MiB).
    virtual void Megabytes(int64_t done, int64_t total) = 0;
    // Finer progress of a pass: at every megabyte and at its end.
    virtual void Progress(int pass, int passes, int64_t done, int64_t total) = 0;
    // A hardware input/output error ended a wipe or the dummy stage.
    virtual void HardwareError() = 0;
    // The dummy stage: a file could not be made, or (hardware) written; another failure
    // (removal, for one); the batch went through.
    virtual void DummyFileFailed() = 0;
    virtual void DummyStageFailed() = 0;
    virtual void DummyFilesMade(int count) = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
    virtual bool StopRequested() = 0;
};
