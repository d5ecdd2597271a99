#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "wipe/WipeEngine.h"
#include "wipe/FileLayer.h"
#include "wipe/WipeLimits.h"

// One run of WipeFile: the stages in their order, the current result code, and the one file
// object, which each stage opens and closes itself.
//
// Every stage reopens the target by its path, so each open is checked to reach the file that
// the first one reached: a file swapped for another (or for a link) during the job fails the
// stage instead of handing the rest of the wipe to another file.
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
    // Opens m_strPath and checks that it is still the same file.
    void OpenTarget(OpenMode mode);
    void CloseTarget();
    // Writes attributes and times through a checked handle.
    void SetTargetStatus(const FileStatus& status);

    void OverwritePasses();
    void ClosingMark();
    void Overrun();
    void Truncate();
    void RandomRename();
    // One candidate name for the random rename, without folder.
    std::string RandomName();
    void WindowsLikeRename();
    void ChangeDate();

    // Renames the target to `path` and takes the new name into the target members.
    void RenameTo(const std::string& path);
    // True when the system takes `path` whole and nothing of that name exists.
    bool IsFree(const std::string& path);

    WipeEngine& m_engine;
    WipeOptions& m_options;
    WipeTarget& m_target;
    int m_code = ErrGetAttributes;
    std::unique_ptr<FileHandle> m_file;
    std::optional<FileIdentity> m_identity;  // of the first open
    int64_t m_size = 0;
    uint8_t m_buffer[wipe::kBufferSize];
};
