// The per-file pipeline: eligibility check, stage order, result codes and failure handling.
#include <cstring>
#include <memory>

#include "wipe/Clock.h"
#include "wipe/FileLayer.h"
#include "wipe/Pipeline.h"
#include "wipe/WipeLimits.h"

using wipe::kBufferSize;

WipeEngine::WipeEngine(FileLayer& files, Clock& clock, WipeOptions& options, WipeTarget& target,
                       WipeEvents& events)
    : m_files(files), m_clock(clock), m_options(options), m_target(target), m_events(events) {}

void WipeEngine::Reseed() {
    m_random.Seed(static_cast<uint32_t>(m_clock.Now()));
}

int WipeEngine::RandomInRange(int lo, int hi) {
    const unsigned span = static_cast<unsigned>(hi - lo + 1);
    for (;;) {
        const unsigned r = m_random.Next();
        const int value = lo + static_cast<int>((r * span) / 255u);
        if (value <= hi) return value;
    }
}

bool WipeEngine::CheckTarget() {
    WipeTarget& t = m_target;
    const size_t folder = wipe::FolderLength(m_files.Style(), t.m_strPath);
    t.m_strFolder = t.m_strPath.substr(0, folder);
    t.m_strName = t.m_strPath.substr(folder);
    // The folder is opened once, here, and every step on the target goes through it.
    m_folder = m_files.OpenFolder(t.m_strFolder);
    m_strOpenFolder = t.m_strFolder;
    return CheckInFolder();
}

void WipeEngine::UseFolder(std::unique_ptr<FolderHandle> folder) {
    m_target.m_strFolder.clear();
    m_folder = std::move(folder);
    m_strOpenFolder.clear();
    m_bChecked = false;
}

bool WipeEngine::CheckTargetIn(std::unique_ptr<FolderHandle> folder, const std::string& name) {
    UseFolder(std::move(folder));
    m_target.m_strPath = m_target.m_strName = name;
    return CheckInFolder();
}

bool WipeEngine::CheckInFolder() {
    WipeTarget& t = m_target;
    t.m_bFound = 0;
    t.m_nAttributes = 0;
    m_bChecked = false;
    // A wildcard would make the search report some other entry than the path names. Names on
    // POSIX may hold them: that layer describes such a path literally when it exists.
    const bool wildcard = m_files.Style() == PathStyle::kWindows &&
                          t.m_strPath.find_first_of("*?") != std::string::npos;
    if (wildcard || !Describe()) return false;
    if ((t.m_nAttributes & wipe::kExcludedBits) != 0) return false;

    // The entry itself, which must be the file that was described: it names the file that
    // every later step must find.
    FileStatus status;
    if (!m_folder->GetStatus(t.m_strName, status) ||
        (status.m_attribute & wipe::kExcludedBits) != 0)
        return false;
    m_identity = status.m_identity;
    m_bChecked = true;
    return true;
}

bool WipeEngine::Describe() {
    WipeTarget& t = m_target;
    FindResult found;
    if (!m_folder || !m_folder->FindFirst(t.m_strName, found)) {
        t.m_bFound = 0;
        t.m_nAttributes = 0;
        return false;
    }
    t.m_strFoundName = found.name;
    t.m_bFound = 1;
    t.m_nAttributes = static_cast<int>(found.attributes);
    return true;
}

FolderHandle* WipeEngine::FolderAt(const std::string& path, std::unique_ptr<FolderHandle>& own,
                                   long* osError) {
    if (m_folder && path == m_strOpenFolder) return m_folder.get();
    own = m_files.OpenFolder(path, nullptr, osError);
    return own.get();
}

int WipeEngine::WipeFile() {
    Pipeline pipeline(*this);
    return pipeline.Run();
}

WipeEngine::Pipeline::Pipeline(WipeEngine& engine)
    : m_engine(engine), m_options(engine.m_options), m_target(engine.m_target) {}

WipeEngine::Pipeline::~Pipeline() = default;

int WipeEngine::Pipeline::Run() {
    m_target.m_failure = WipeFailure();
    try {
        RunStages();
        return Success;
    } catch (const FileException& e) {
        m_target.m_failure.cause = e.m_cause;
        m_target.m_failure.osError = e.m_lOsError;
        m_target.m_failure.replaced = dynamic_cast<const FileReplaced*>(&e) != nullptr;
        if (e.m_cause == kCauseHardIO) m_engine.m_events.HardwareError();
    } catch (const StageFailed&) {
    } catch (const std::exception&) {
    }
    m_file.reset();  // closes without reporting anything more
    return m_code;
}

void WipeEngine::Pipeline::RunStages() {
    WipeEngine& job = m_engine;
    WipeOptions& o = m_options;
    WipeTarget& t = m_target;

    job.Reseed();
    if (static_cast<uint32_t>(o.m_nBufferSize) == 0 ||
        static_cast<uint32_t>(o.m_nBufferSize) > static_cast<uint32_t>(kBufferSize)) {
        o.m_nBufferSize = kBufferSize;
    }

    m_code = ErrGetAttributes;
    // Only a target that the check took is wiped, in the folder it opened.
    if (!job.m_bChecked) throw StageFailed();
    m_folder = job.m_folder.get();
    FileStatus status;
    ReadStatus(status);
    if (status.m_size > wipe::kMaxFileSize) {
        m_code = ErrFileTooLarge;
        throw StageFailed();
    }

    // Only the attributes, and only when there are some to clear: the times stay exact.
    m_code = ErrChangeAttributes;
    if ((status.m_attribute & wipe::kProtectionBits) != 0) {
        FileStatus cleared;
        cleared.m_attribute = status.m_attribute & ~wipe::kProtectionBits;
        SetTargetStatus(cleared);
    }
    job.m_events.Step(WipeStep::kDeleteAttributes);

    m_code = ErrOpen;
    ReadStatus(status);
    job.Reseed();
    m_size = m_expected = status.m_size;
    m_bSizeKnown = true;

    OverwritePasses();
    ClosingMark();

    m_code = ErrTruncate;
    Overrun();
    if (o.rZLen != 0) Truncate();

    m_code = ErrRename;
    if (o.rRen != 0) {
        job.Reseed();
        RandomRename();
        if (o.rRen == 2) WindowsLikeRename();
    }

    m_code = ErrChangeDate;
    if (o.Date != 0) ChangeDate();

    // A last look: bytes written since the last check would otherwise leave with the file, or
    // stay in a kept one, unreached.
    m_code = ErrDelete;
    ReadStatus(status);
    if (o.bNotDel == 0) {
        m_folder->Remove(t.m_strName, job.m_identity);
        job.m_events.Step(WipeStep::kDelete);
    }
}

void WipeEngine::Pipeline::CheckStop() {
    if (!m_engine.m_events.StopRequested()) return;
    m_target.m_failure.stopped = true;
    throw StageFailed();
}

void WipeEngine::Pipeline::ReadStatus(FileStatus& status) {
    if (!m_folder->GetStatus(m_target.m_strName, status)) throw StageFailed();
    if (status.m_identity != m_engine.m_identity) {
        m_target.m_failure.replaced = true;
        throw StageFailed();
    }
    if (m_bSizeKnown && status.m_size != m_expected) {
        m_target.m_failure.written = true;
        throw StageFailed();
    }
}

void WipeEngine::Pipeline::OpenTarget(OpenMode mode) {
    CheckStop();
    m_file = m_folder->Open(m_target.m_strName, mode, &m_target.m_failure.cause,
                            &m_target.m_failure.osError);
    if (!m_file) throw StageFailed();
    if (m_file->Identity() != m_engine.m_identity) {
        m_file.reset();  // nothing was written through it
        m_target.m_failure.replaced = true;
        throw StageFailed();
    }
    if (mode != OpenMode::kStatusOnly) CheckSize();
}

void WipeEngine::Pipeline::CheckSize() {
    if (m_file->Size() == m_expected) return;
    m_file.reset();
    m_target.m_failure.written = true;
    throw StageFailed();
}

bool WipeEngine::Pipeline::SetTargetStatus(const FileStatus& status) {
    OpenTarget(OpenMode::kStatusOnly);
    const bool done = m_file->SetStatus(status);
    m_file->Close();
    m_file.reset();
    return done;
}

void WipeEngine::Pipeline::CloseTarget() {
    m_file->Flush();
    CheckSize();
    m_file->Close();
    m_file.reset();
}

void WipeEngine::Pipeline::OverwritePasses() {
    WipeEngine& job = m_engine;
    WipeOptions& o = m_options;
    // nOvwr is read again before every pass, as the loop condition.
    for (int pass = 0; pass < o.nOvwr; ++pass) {
        OpenTarget(OpenMode::kReadWriteExisting);
        m_code = ErrWrite;

        if (m_size > kProgressStep) job.m_events.Megabytes(0, m_size);
        const int chunk = o.m_nBufferSize;
        const bool random = o.rNull != 0;
        if (!random) std::memset(m_buffer, 0, static_cast<size_t>(chunk));

        int64_t mark = kProgressStep;
        int64_t told = 0;
        for (int64_t pos = 0; pos < m_size; pos += chunk) {
            CheckStop();
            if (pos - told >= kMiB) {
                job.m_events.Progress(pass + 1, o.nOvwr, pos, m_size);
                told = pos;
            }
            const uint8_t* data = m_buffer;
            if (random) {
                // Made where the file keeps it before it goes out, when it has room there.
                uint8_t* room = m_file->WriteRoom(static_cast<size_t>(chunk));
                if (room == nullptr) room = m_buffer;
                job.m_random.Fill(room, static_cast<size_t>(chunk));
                data = room;
            }
            const int64_t left = m_size - pos;
            m_file->Write(data, static_cast<size_t>(left < chunk ? left : chunk));
            // Reported after the first write that began beyond the mark.
            if (pos > mark) {
                job.m_events.Megabytes(mark, m_size);
                mark += kProgressStep;
            }
        }
        CloseTarget();
        m_target.m_failure.overwritten = pass == o.nOvwr - 1;
        job.m_events.Progress(pass + 1, o.nOvwr, m_size, m_size);

        job.m_events.Step(WipeStep::kPassDone, pass + 1, o.nOvwr);
        if (o.bAntiOneShot == 0 || pass == o.nOvwr - 1) {
            job.MakeAdditionalWipeFile(m_target.m_strPath);
        }
    }
}

void WipeEngine::Pipeline::ClosingMark() {
    OpenTarget(OpenMode::kReadWriteExisting);
    m_file->Write("X", 1);
    if (m_expected == 0) m_expected = 1;
    CloseTarget();
    m_engine.m_events.Step(WipeStep::kOverwrite);
}

void WipeEngine::Pipeline::Overrun() {
    WipeEngine& job = m_engine;
    WipeOptions& o = m_options;
    if (o.m_nOverrun < 0 || o.m_nOverrun > kMaxOverrun) o.m_nOverrun = 0;
    if (o.m_nOverrun == 0) return;

    OpenTarget(OpenMode::kReadWriteExisting);
    m_file->SeekToEnd();
    // One block serves every write, so random overrun data repeats every 2048 bytes.
    if (o.rNull != 0) {
        job.m_random.Fill(m_buffer, sizeof(m_buffer));
    } else {
        std::memset(m_buffer, 0, sizeof(m_buffer));
    }
    for (int offset = 0; offset < o.m_nOverrun; offset += kBufferSize) {
        CheckStop();
        const int left = o.m_nOverrun - offset;
        m_file->Write(m_buffer, static_cast<size_t>(left < kBufferSize ? left : kBufferSize));
    }
    m_expected += o.m_nOverrun;
    CloseTarget();
    job.m_events.Step(WipeStep::kOverrun);
}

void WipeEngine::Pipeline::Truncate() {
    // Opened as it is and checked before anything is cut: a create-mode open would empty
    // whatever file the path names by then.
    OpenTarget(OpenMode::kReadWriteExisting);
    m_file->Truncate();
    m_expected = 0;
    CloseTarget();
    m_target.m_failure.truncated = true;
    m_engine.m_events.Step(WipeStep::kTruncate);
}
