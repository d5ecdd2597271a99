// Additional wipe space: a temporary file of random bytes written twice next to the target (or
// in the temporary folder) and removed, so that free space near the target is overwritten too.
#include <cstring>
#include <memory>
#include <string>

#include "wipe/FileLayer.h"
#include "wipe/WipeEngine.h"
#include "wipe/WipeLimits.h"

namespace {

constexpr int64_t kMiB = 1048576;
// The largest size whose byte count 32-bit signed arithmetic can still express; larger stored
// sizes are held there rather than wrapping around.
constexpr int64_t kMaxAnticacheMegabytes = 2047;

// A taken name is drawn again every 50 ms, for at most ten seconds.
constexpr unsigned kNameRetryMilliseconds = 50;
constexpr int kMaxNameAttempts = 200;

// Drive and directory of a path, the way the runtime's path splitter sees them: on Windows a
// drive is a letter and colon at the start; the directory runs to the last separator.
std::string DriveAndDirectory(PathStyle style, const std::string& path) {
    const bool windows = style == PathStyle::kWindows;
    const size_t drive = (windows && path.size() >= 2 && path[1] == ':') ? 2 : 0;
    const size_t slash = path.find_last_of(windows ? "\\/" : "/");
    if (slash == std::string::npos || slash < drive) return path.substr(0, drive);
    return path.substr(0, slash + 1);
}

}  // namespace

int64_t WipeEngine::AnticacheBytes(int32_t megabytes) {
    if (megabytes <= 0) return 0;
    const int64_t mb = megabytes > kMaxAnticacheMegabytes ? kMaxAnticacheMegabytes : megabytes;
    return mb * kMiB;
}

int WipeEngine::MakeAdditionalWipeFile(const std::string& targetPath) {
    if (m_options.AddWipe == 0) return 1;
    const int64_t bytes = AnticacheBytes(m_options.nAnticacheSize);
    // What the step could not do, for front ends that report it: the first failure of a wipe,
    // with the bytes that its pass had written and the system's reason.
    auto failed = [this](int64_t written, long osError) {
        WipeFailure& f = m_target.m_failure;
        if (!f.extraFailed) f.extraFailed = true, f.extraWritten = written, f.extraError = osError;
        return 0;
    };

    std::string folderPath;
    if (m_options.rAntiFolder != 0) {
        folderPath = m_files.TempPath();
        if (folderPath.empty()) return failed(0, 0);  // no temporary folder: nowhere to write
        if (!wipe::IsSeparator(m_files.Style(), folderPath.back()))
            folderPath += m_files.Style() == PathStyle::kWindows ? '\\' : '/';
    } else {
        folderPath = DriveAndDirectory(m_files.Style(), targetPath);
    }
    std::unique_ptr<FolderHandle> own;
    long error = 0;
    FolderHandle* folder = FolderAt(folderPath, own, &error);
    if (folder == nullptr) return failed(0, error);

    // Create-only, so that nothing that someone else put under the name is ever written: a
    // name taken between the probe and the create is given up for the next one.
    std::string name;
    std::unique_ptr<FileHandle> file;
    for (int attempt = 0; !file; ++attempt) {
        // Each try reseeds from the seconds clock, so a taken name recurs until the next second:
        // wait a little between tries rather than spin, and give up if the clock never moves.
        if (attempt == kMaxNameAttempts) return failed(0, 0);
        if (attempt > 0) m_events.Sleep(kNameRetryMilliseconds);
        Reseed();
        name = "_c";
        for (int i = 0; i < 6; ++i)
            name += static_cast<char>(RandomInRange('0', '9'));
        name += ".tmp";
        if (!wipe::FitsPath(m_files, folderPath + name)) return failed(0, 0);
        FileStatus status;
        if (folder->GetStatus(name, status)) continue;
        Reseed();
        file = folder->Open(name, OpenMode::kCreateNew, nullptr, &error);
        if (!file && !folder->GetStatus(name, status)) return failed(0, error);  // not here
    }
    const FileIdentity identity = file->Identity();

    // Our scratch file never outlives the call: a failed pass removes it, best effort, and
    // only while its name still holds it.
    auto removeScratch = [&]() {
        try {
            folder->Remove(name, identity);
        } catch (const FileException&) {
        }
    };

    uint8_t buffer[wipe::kBufferSize];
    int64_t written = 0;
    for (int pass = 0; pass < 2; ++pass) {
        // The second pass writes the same file again, from its start, and nothing else that
        // may have taken its name meanwhile.
        if (pass > 0) {
            file = folder->Open(name, OpenMode::kReadWriteExisting, nullptr, &error);
            if (!file || file->Identity() != identity) {
                file.reset();
                removeScratch();
                return failed(written, error);
            }
        }
        try {
            if (pass > 0) file->Truncate();
            for (written = 0; written < bytes; written += wipe::kBufferSize) {
                if (m_events.StopRequested()) {
                    file.reset();
                    removeScratch();
                    return 0;
                }
                m_random.Fill(buffer, sizeof(buffer));
                const int64_t left = bytes - written;
                file->Write(buffer, static_cast<size_t>(
                                        left < wipe::kBufferSize ? left : wipe::kBufferSize));
            }
            file->Flush();
            file->Close();
        } catch (const FileException& e) {
            if (e.m_cause == kCauseHardIO) m_events.Step(WipeStep::kAdditionalWipeFailed);
            file.reset();
            removeScratch();
            return failed(written, e.m_lOsError);
        }
    }
    m_events.Step(WipeStep::kAdditionalWipe);
    // A failed removal is the caller's failure: it goes up to the pipeline.
    folder->Remove(name, identity);
    return 1;
}
