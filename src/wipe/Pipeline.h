#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "wipe/WipeEngine.h"
#include "wipe/FileLayer.h"
#include "wipe/WipeLimits.h"

// One run of WipeFile: the stages in their order, the current result code, and the one file
// object, which each stage opens and closes itself.
//
// Every stage reaches the target by its name in the folder that the check opened, and each
// step is checked to find the file that the check saw: a file swapped for another (or for a
// link) during the job fails the stage instead of handing the rest of the wipe to another
// file. The size is checked at every open and after every flush: bytes that another wrote
// meanwhile would stay unreached, so the wipe stops and leaves the file where it is.
class WipeEngine::Pipeline {
public:
    explicit Pipeline(WipeEngine& engine);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // Success, or the code of the last point passed before a failure.
    int Run();

private:
    // A failure reported as a result (a status read or an open); the code says which.
    struct StageFailed {};

    static constexpr int64_t kMiB = 1048576;
    // Large files report their progress every 50 MiB.
    static constexpr int64_t kProgressStep = 50 * kMiB;
    static constexpr int kMaxOverrun = 65536;

    void RunStages();
    // Ends the run when the job was asked to stop.
    void CheckStop();
    // Reads the target's status and checks that the name still holds the file the check saw.
    void ReadStatus(FileStatus& status);
    // Opens the target and checks that it is still the same file; a data open also checks
    // that its size is still the one the wipe knows.
    void OpenTarget(OpenMode mode);
    // Fails the run when the open file's size is not the one the wipe knows.
    void CheckSize();
    // Flushes, checks the size and closes.
    void CloseTarget();
    // Writes attributes and times through a checked handle; false when the times were left.
    bool SetTargetStatus(const FileStatus& status);

    void OverwritePasses();
    void ClosingMark();
    void Overrun();
    void Truncate();
    void RandomRename();
    // One candidate name for the random rename, without folder.
    std::string RandomName();
    void WindowsLikeRename();
    void ChangeDate();

    // Renames the target to `name` in its folder and takes the new name into the target
    // members.
    void RenameTo(const std::string& name);
    // True when the system takes the name in the target's folder whole and nothing of that
    // name exists.
    bool IsFree(const std::string& name);

    WipeEngine& m_engine;
    WipeOptions& m_options;
    WipeTarget& m_target;
    int m_code = ErrGetAttributes;
    FolderHandle* m_folder = nullptr;
    std::unique_ptr<FileHandle> m_file;
    int64_t m_size = 0;      // when the passes began
    int64_t m_expected = 0;  // now, after what the wipe wrote
    bool m_bSizeKnown = false;
    uint8_t m_buffer[wipe::kBufferSize];
};
