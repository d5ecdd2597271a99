// Dummy file entries: a batch of small files made and removed in the target's folder, so that
// directory entries which still held old names are reused.
#include <string>
#include <vector>

#include "job/DeleteJob.h"
#include "job/Format.h"
#include "job/JobUi.h"
#include "job/TextSource.h"
#include "res/resource.h"
#include "wipe/FileLayer.h"
#include "wipe/WipeLimits.h"

namespace {

const char kDummyHeader[] = "*************** THIS IS MARLOCK DUMMY FILE ***************\r\n";
constexpr size_t kDummyHeaderSize = sizeof(kDummyHeader) - 1;
static_assert(kDummyHeaderSize == 60, "the dummy header line is 60 bytes");

const char kDummyCreateError[] = "Dummy File I/O Error (Hardware Error)";

}  // namespace

int DeleteJob::MakeDummyFileEntries() {
    std::string prefix;
    for (int i = 0; i < 4; ++i)
        prefix += static_cast<char>(RandomInRange('a', 'z'));

    auto dummyPath = [&](int index) {
        return m_strFolder + prefix + FormatText("%02d.tmp", index);
    };
    auto errorBox = [&](const char* text) {
        m_ui.ShowBox(text, "Error", kMbOk | kMbIconError | kMbTopmost);
    };

    // Paths that would not fit are never built; the stage then fails as a failed create does.
    const std::string probe = m_strFolder + prefix + "*.*";
    if (!wipe::FitsPath(m_files, probe) ||
        (nFiles > 0 && !wipe::FitsPath(m_files, dummyPath(nFiles - 1)))) {
        errorBox(kDummyCreateError);
        return 0;
    }

    // An entry that already starts with the prefix could be mistaken for ours: leave the folder
    // alone.
    FindResult found;
    if (m_files.FindFirst(probe, found)) return 0;

    // What this call made and has not removed yet, so that a failure does not leave its files
    // behind.
    std::vector<std::string> made;
    size_t removed = 0;
    auto removeMade = [&]() {
        for (; removed < made.size(); ++removed) {
            try {
                m_files.Remove(made[removed]);
            } catch (const FileException&) {
            }
        }
    };

    try {
        for (int i = 0; i < nFiles; ++i) {
            // Asked to stop: what was made goes, nothing more is made.
            if (StopRequested()) {
                removeMade();
                return 0;
            }
            const std::string path = dummyPath(i);
            std::unique_ptr<FileHandle> file = m_files.Open(path, OpenMode::kCreateReadWrite);
            if (!file) {
                errorBox(kDummyCreateError);
                removeMade();
                return 0;
            }
            made.push_back(path);
            // The file layer may gather the header and write it out only at the close: a
            // failure there is this write's failure.
            try {
                file->Write(kDummyHeader, kDummyHeaderSize);
                file->Close();
            } catch (const FileException& e) {
                if (e.m_cause == kCauseHardIO) errorBox(kDummyCreateError);
                file.reset();
                removeMade();
                return 0;
            }
        }
        ShowStep(m_texts.Load(IDS_STEP_MAKE_DUMMY));

        for (; removed < made.size(); ++removed)
            m_files.Remove(made[removed]);
        ShowStep(m_texts.Load(IDS_STEP_DELETE_DUMMY));
    } catch (const FileException& e) {
        if (e.m_cause == kCauseHardIO) {
            errorBox(wipe::kHardwareErrorText);
        } else {
            const std::string text =
                FormatText(m_texts.Load(IDS_ERROR_BOX).c_str(), m_strFoundName.c_str(),
                           m_texts.Load(IDS_REASON_MAKE_DUMMY).c_str());
            errorBox(text.c_str());
        }
        removeMade();
        return 0;
    }

    if (Log != 0 && m_pLog != nullptr) {
        *m_pLog += FormatText(m_texts.Load(IDS_LOG_DUMMY_FILES).c_str(), nFiles);
    }
    return 1;
}
