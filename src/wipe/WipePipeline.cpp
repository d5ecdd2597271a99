// The per-file pipeline: eligibility check, stage order, result codes and failure handling.
#include <cstring>
#include <memory>

#include "job/DeleteJob.h"
#include "job/Format.h"
#include "job/JobUi.h"
#include "job/TextSource.h"
#include "res/resource.h"
#include "wipe/Clock.h"
#include "wipe/FileLayer.h"
#include "wipe/Pipeline.h"
#include "wipe/WipeLimits.h"

using wipe::kBufferSize;

DeleteJob::DeleteJob(FileLayer& files, JobUi& ui, const TextSource& texts, Clock& clock)
    : m_files(files), m_ui(ui), m_texts(texts), m_clock(clock) {}

DeleteJob::~DeleteJob() = default;

void DeleteJob::Reseed() {
    m_random.Seed(static_cast<uint32_t>(m_clock.Now()));
}

int DeleteJob::RandomInRange(int lo, int hi) {
    const unsigned span = static_cast<unsigned>(hi - lo + 1);
    for (;;) {
        const unsigned r = m_random.Next();
        const int value = lo + static_cast<int>((r * span) / 255u);
        if (value <= hi) return value;
    }
}

void DeleteJob::ShowStep(const std::string& step) {
    if (Confirm == 0) return;
    const std::string text =
        FormatText(m_texts.Load(IDS_STEP_BOX).c_str(), m_strFoundName.c_str(), step.c_str());
    m_ui.ShowBox(text, m_texts.Load(IDS_STEP_BOX_TITLE), kMbOk | kMbIconInformation);
}

bool DeleteJob::CheckTarget() {
    const size_t folder = wipe::FolderLength(m_files.Style(), m_strPath);
    m_strFolder = m_strPath.substr(0, folder);
    m_strName = m_strPath.substr(folder);

    FindResult found;
    // A wildcard would make the search report some other entry than the path names. Names on
    // POSIX may hold them: that layer describes such a path literally when it exists.
    const bool wildcard = m_files.Style() == PathStyle::kWindows &&
                          m_strPath.find_first_of("*?") != std::string::npos;
    if (wildcard || !m_files.FindFirst(m_strPath, found)) {
        m_bFound = 0;
        m_nAttributes = 0;
        return false;
    }
    m_strFoundName = found.name;
    m_bFound = 1;
    m_nAttributes = static_cast<int>(found.attributes);
    return (found.attributes & wipe::kExcludedBits) == 0;
}

int DeleteJob::WipeFile(ProgressWindow* progress) {
    Pipeline pipeline(*this, progress);
    return pipeline.Run();
}

DeleteJob::Pipeline::Pipeline(DeleteJob& job, ProgressWindow* progress)
    : m_job(job), m_progress(progress) {}

DeleteJob::Pipeline::~Pipeline() = default;

int DeleteJob::Pipeline::Run() {
    m_job.m_failure = Failure();
    try {
        RunStages();
        return Success;
    } catch (const FileException& e) {
        m_job.m_failure.cause = e.m_cause;
        m_job.m_failure.osError = e.m_lOsError;
        if (e.m_cause == kCauseHardIO) {
            m_job.m_ui.ShowBox(wipe::kHardwareErrorText, "Error",
                               kMbOk | kMbIconError | kMbTopmost);
        }
    } catch (const StageFailed&) {
    } catch (const std::exception&) {
    }
    m_file.reset();  // closes without reporting anything more
    return m_code;
}

void DeleteJob::Pipeline::RunStages() {
    DeleteJob& job = m_job;
    FileLayer& files = job.m_files;
    const TextSource& texts = job.m_texts;

    job.Reseed();
    if (static_cast<uint32_t>(job.m_nBufferSize) == 0 ||
        static_cast<uint32_t>(job.m_nBufferSize) > static_cast<uint32_t>(kBufferSize)) {
        job.m_nBufferSize = kBufferSize;
    }

    m_code = ErrGetAttributes;
    FileStatus status;
    if (!files.GetStatus(job.m_strPath, status)) throw StageFailed();
    if (status.m_size > wipe::kMaxFileSize) {
        m_code = ErrFileTooLarge;
        throw StageFailed();
    }

    m_code = ErrChangeAttributes;
    status.m_attribute &= ~wipe::kProtectionBits;
    SetTargetStatus(status);
    job.ShowStep(texts.Load(IDS_STEP_DELETE_ATTRIBUTES));

    m_code = ErrOpen;
    if (!files.GetStatus(job.m_strPath, status)) throw StageFailed();
    job.Reseed();
    m_size = status.m_size;

    OverwritePasses();
    ClosingMark();

    m_code = ErrTruncate;
    Overrun();
    if (job.rZLen != 0) Truncate();

    m_code = ErrRename;
    if (job.rRen != 0) {
        job.Reseed();
        RandomRename();
        if (job.rRen == 2) WindowsLikeRename();
    }

    m_code = ErrChangeDate;
    if (job.Date != 0) ChangeDate();

    m_code = ErrDelete;
    if (job.bNotDel == 0) {
        files.Remove(job.m_strPath);
        job.ShowStep(texts.Load(IDS_STEP_DELETE));
    }
}

void DeleteJob::Pipeline::CheckStop() {
    if (!m_job.StopRequested()) return;
    m_job.m_failure.stopped = true;
    throw StageFailed();
}

void DeleteJob::Pipeline::OpenTarget(OpenMode mode) {
    CheckStop();
    m_file =
        m_job.m_files.Open(m_job.m_strPath, mode, &m_job.m_failure.cause, &m_job.m_failure.osError);
    if (!m_file) throw StageFailed();
    const FileIdentity identity = m_file->Identity();
    if (!m_identity) {
        m_identity = identity;
    } else if (identity != *m_identity) {
        m_file.reset();  // nothing was written through it
        m_job.m_failure.replaced = true;
        throw StageFailed();
    }
}

void DeleteJob::Pipeline::SetTargetStatus(const FileStatus& status) {
    OpenTarget(OpenMode::kStatusOnly);
    m_file->SetStatus(status);
    m_file->Close();
    m_file.reset();
}

void DeleteJob::Pipeline::CloseTarget() {
    m_file->Flush();
    m_file->Close();
    m_file.reset();
}

void DeleteJob::Pipeline::ReportMegabytes(int64_t done, int64_t total) {
    if (m_progress == nullptr) return;
    m_progress->SetItemText(
        kProgressMegabytes,
        FormatText("%ld/%ldMB", static_cast<long>(done / kMiB), static_cast<long>(total / kMiB)));
    m_progress->Repaint();
}

void DeleteJob::Pipeline::OverwritePasses() {
    DeleteJob& job = m_job;
    // nOvwr is read again before every pass, as the loop condition.
    for (int pass = 0; pass < job.nOvwr; ++pass) {
        OpenTarget(OpenMode::kReadWriteExisting);
        m_code = ErrWrite;

        if (m_size > kProgressStep) ReportMegabytes(0, m_size);
        const int chunk = job.m_nBufferSize;
        const bool random = job.rNull != 0;
        if (!random) std::memset(m_buffer, 0, static_cast<size_t>(chunk));

        int64_t mark = kProgressStep;
        int64_t told = 0;
        for (int64_t pos = 0; pos < m_size; pos += chunk) {
            CheckStop();
            if (job.m_onProgress && pos - told >= kMiB) {
                job.m_onProgress(pass + 1, job.nOvwr, pos, m_size);
                told = pos;
            }
            if (random) job.m_random.Fill(m_buffer, static_cast<size_t>(chunk));
            const int64_t left = m_size - pos;
            m_file->Write(m_buffer, static_cast<size_t>(left < chunk ? left : chunk));
            // Reported after the first write that began beyond the mark.
            if (pos > mark) {
                ReportMegabytes(mark, m_size);
                mark += kProgressStep;
            }
        }
        CloseTarget();
        if (job.m_onProgress) job.m_onProgress(pass + 1, job.nOvwr, m_size, m_size);

        job.ShowStep(FormatText("Overwrite Done ! (Pass %d/%d)", pass + 1, job.nOvwr));
        if (job.bAntiOneShot == 0 || pass == job.nOvwr - 1) {
            job.MakeAdditionalWipeFile(job.m_strPath);
        }
    }
}

void DeleteJob::Pipeline::ClosingMark() {
    OpenTarget(OpenMode::kReadWriteExisting);
    m_file->Write("X", 1);
    CloseTarget();
    m_job.ShowStep(m_job.m_texts.Load(IDS_STEP_OVERWRITE));
}

void DeleteJob::Pipeline::Overrun() {
    DeleteJob& job = m_job;
    if (job.m_nOverrun < 0 || job.m_nOverrun > kMaxOverrun) job.m_nOverrun = 0;
    if (job.m_nOverrun == 0) return;

    OpenTarget(OpenMode::kReadWriteExisting);
    m_file->SeekToEnd();
    // One block serves every write, so random overrun data repeats every 2048 bytes.
    if (job.rNull != 0) {
        job.m_random.Fill(m_buffer, sizeof(m_buffer));
    } else {
        std::memset(m_buffer, 0, sizeof(m_buffer));
    }
    for (int offset = 0; offset < job.m_nOverrun; offset += kBufferSize) {
        CheckStop();
        const int left = job.m_nOverrun - offset;
        m_file->Write(m_buffer, static_cast<size_t>(left < kBufferSize ? left : kBufferSize));
    }
    CloseTarget();
    job.ShowStep(job.m_texts.Load(IDS_STEP_OVERRUN));
}

void DeleteJob::Pipeline::Truncate() {
    // Opened as it is and checked before anything is cut: a create-mode open would empty
    // whatever file the path names by then.
    OpenTarget(OpenMode::kReadWriteExisting);
    m_file->Truncate();
    CloseTarget();
    m_job.ShowStep(m_job.m_texts.Load(IDS_STEP_TRUNCATE));
}
