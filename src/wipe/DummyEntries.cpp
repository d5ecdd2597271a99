// Dummy file entries: a batch of small files made and removed in the target's folder, so that
// directory entries which still held old names are reused.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "wipe/FileLayer.h"
#include "wipe/WipeEngine.h"
#include "wipe/WipeLimits.h"

namespace {

const char kDummyHeader[] = "*************** THIS IS MARLOCK DUMMY FILE ***************\r\n";
constexpr size_t kDummyHeaderSize = sizeof(kDummyHeader) - 1;
static_assert(kDummyHeaderSize == 60, "the dummy header line is 60 bytes");

// The index as two digits at least, as "%02d" prints it.
std::string Index(int index) {
    const std::string digits = std::to_string(index);
    return index >= 0 && index < 10 ? "0" + digits : digits;
}

}  // namespace

int WipeEngine::MakeDummyFileEntries() {
    // What went wrong here, for front ends that name the system's reason.
    WipeFailure& failure = m_target.m_dummyFailure;
    failure = WipeFailure();
    const int32_t nFiles = m_options.nFiles;
    const std::string& folderPath = m_target.m_strFolder;
    std::string prefix;
    for (int i = 0; i < 4; ++i)
        prefix += static_cast<char>(RandomInRange('a', 'z'));

    auto dummyName = [&](int index) { return prefix + Index(index) + ".tmp"; };

    // Paths that would not fit are never built, nor made in a folder that cannot be opened;
    // the stage then fails as a failed create does.
    std::unique_ptr<FolderHandle> own;
    FolderHandle* folder = nullptr;
    if (!wipe::FitsPath(m_files, folderPath + prefix + "*.*") ||
        (nFiles > 0 && !wipe::FitsPath(m_files, folderPath + dummyName(nFiles - 1))) ||
        (folder = FolderAt(folderPath, own, &failure.osError)) == nullptr) {
        m_events.DummyFileFailed();
        return 0;
    }

    // An entry that already starts with the prefix could be mistaken for ours: leave the folder
    // alone.
    FindResult found;
    if (folder->FindFirst(prefix + "*.*", found)) return 0;

    // What this call made and has not removed yet, so that a failure does not leave its files
    // behind; each is removed only while its name still holds it.
    std::vector<std::pair<std::string, FileIdentity>> made;
    size_t removed = 0;
    auto removeMade = [&]() {
        for (; removed < made.size(); ++removed) {
            try {
                folder->Remove(made[removed].first, made[removed].second);
            } catch (const FileException&) {
            }
        }
    };

    try {
        for (int i = 0; i < nFiles; ++i) {
            // Asked to stop: what was made goes, nothing more is made.
            if (m_events.StopRequested()) {
                removeMade();
                return 0;
            }
            // Create-only: a name that someone else took since the probe is never opened.
            const std::string name = dummyName(i);
            std::unique_ptr<FileHandle> file =
                folder->Open(name, OpenMode::kCreateNew, &failure.cause, &failure.osError);
            if (!file) {
                m_events.DummyFileFailed();
                removeMade();
                return 0;
            }
            made.emplace_back(name, file->Identity());
            // The file layer may gather the header and write it out only at the close: a
            // failure there is this write's failure.
            try {
                file->Write(kDummyHeader, kDummyHeaderSize);
                file->Close();
            } catch (const FileException& e) {
                failure.cause = e.m_cause;
                failure.osError = e.m_lOsError;
                if (e.m_cause == kCauseHardIO) m_events.DummyFileFailed();
                file.reset();
                removeMade();
                return 0;
            }
        }
        m_events.Step(WipeStep::kMakeDummy);

        for (; removed < made.size(); ++removed)
            folder->Remove(made[removed].first, made[removed].second);
        m_events.Step(WipeStep::kDeleteDummy);
    } catch (const FileException& e) {
        failure.cause = e.m_cause;
        failure.osError = e.m_lOsError;
        if (e.m_cause == kCauseHardIO)
            m_events.HardwareError();
        else
            m_events.DummyStageFailed();
        removeMade();
        return 0;
    }

    m_events.DummyFilesMade(nFiles);
    return 1;
}
