#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

#include "app/WipeOptions.h"
#include "wipe/Random.h"

class Clock;
class FileLayer;
class JobUi;
class ProgressWindow;
class TextSource;

// What WipeFile returns: Success, or the last point that the pipeline passed before it failed.
enum ResultCode : int {
    Success = -1,
    ErrGetAttributes = 0,
    ErrChangeAttributes = 1,
    ErrOpen = 2,
    ErrWrite = 3,
    ErrTruncate = 4,
    ErrRename = 5,
    ErrChangeDate = 6,
    ErrDelete = 7,
    ErrMakeDummy = 8,
    ErrDeleteDummy = 9,
    ErrFileTooLarge = 10,
};

// The job object: the options at its head, then the job's own state. One job runs at a time;
// the object outlives it and is reused by the next.
class DeleteJob : public WipeOptions {
public:
    DeleteJob(FileLayer& files, JobUi& ui, const TextSource& texts, Clock& clock);
    virtual ~DeleteJob();
    DeleteJob(const DeleteJob&) = delete;
    DeleteJob& operator=(const DeleteJob&) = delete;

    // The log that the job appends to; owned by the application object.
    std::string* m_pLog = nullptr;
    int m_nTargetCount = 0;

    // The current target.
    std::string m_strName;
    std::string m_strFolder;
    std::string m_strPath;
    std::string m_strFoundName;
    int m_bFound = 0;
    int m_nAttributes = 0;

    // Why the last WipeFile failed, for front ends that name the system's reason: the file
    // layer's cause and the system's error number (0 when there is none, as for a failed status
    // read), and whether a stop request ended it.
    struct Failure {
        int cause = 0;
        long osError = 0;
        bool stopped = false;
        bool replaced = false;  // a reopen found another file under the name
    };
    Failure m_failure;

    // When set and non-zero, the job stops at its next write: the current target keeps what
    // was done to it, and scratch files are removed. Set from a signal handler.
    const volatile std::sig_atomic_t* m_pStop = nullptr;
    bool StopRequested() const { return m_pStop != nullptr && *m_pStop != 0; }

    // When set, told how an overwrite pass goes: pass (from 1), passes, bytes done and total,
    // at every megabyte and at the end of each pass.
    std::function<void(int, int, int64_t, int64_t)> m_onProgress;

    // Runs a job over the target text: 0 when it holds no target, else 1.
    int RunJob(const std::string& text);

    // Splits m_strPath into folder and name and looks the entry up. False for a missing path,
    // a folder, temporary, sparse or offline files, links and other reparse points, and
    // devices and pipes.
    bool CheckTarget();

    // Wipes the current target; `progress` is the job's progress window or nullptr.
    int WipeFile(ProgressWindow* progress);

    // The debug box after a wipe step; only with the Confirm option.
    void ShowStep(const std::string& step);

    // lo + (r * (hi - lo + 1)) / 255 for a random byte r, drawn again when beyond hi.
    int RandomInRange(int lo, int hi);

    // Creates and removes a batch of dummy files in the current target's folder, so that
    // directory entries that held old names get reused. 1 when all went through.
    int MakeDummyFileEntries();

    // Fills free space next to the target with a temporary file of random bytes, twice, and
    // removes it. 1 when switched off or done; 0 when the file could not be made or written.
    int MakeAdditionalWipeFile(const std::string& targetPath);

    // The size of the additional-wipe file for a stored size in megabytes: nothing for 0 or
    // less, and stored sizes beyond what 32-bit byte counts hold are capped at 2047 MiB.
    static int64_t AnticacheBytes(int32_t megabytes);

    std::string GetPath() const { return m_strPath; }
    std::string GetFolder() const { return m_strFolder; }
    std::string GetFoundName() const { return m_strFoundName; }

private:
    class Pipeline;
    friend class Pipeline;

    // Seeds the generator with the current time in whole seconds.
    void Reseed();

    FileLayer& m_files;
    JobUi& m_ui;
    const TextSource& m_texts;
    Clock& m_clock;
    JobRandom m_random;
};
