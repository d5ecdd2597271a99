// The job's side of a wipe: its step boxes, progress texts, error boxes and log lines.
#include "job/DeleteJob.h"

#include "base/Format.h"
#include "job/JobUi.h"
#include "job/TextSource.h"
#include "res/resource.h"

namespace {
const char kHardwareErrorText[] = "File I/O Error (Hardware Error)";
const char kDummyFileError[] = "Dummy File I/O Error (Hardware Error)";
constexpr int64_t kMiB = 1048576;
}  // namespace

DeleteJob::DeleteJob(FileLayer& files, JobUi& ui, const TextSource& texts, Clock& clock)
    : m_ui(ui), m_texts(texts), m_engine(files, clock, *this, *this, *this) {}

DeleteJob::~DeleteJob() = default;

int DeleteJob::WipeFile(ProgressWindow* progress) {
    m_progress = progress;
    const int code = m_engine.WipeFile();
    m_progress = nullptr;
    return code;
}

void DeleteJob::ShowStep(const std::string& step) {
    if (Confirm == 0) return;
    const std::string text =
        FormatText(m_texts.Load(IDS_STEP_BOX).c_str(), m_strFoundName.c_str(), step.c_str());
    m_ui.ShowBox(text, m_texts.Load(IDS_STEP_BOX_TITLE), kMbOk | kMbIconInformation);
}

void DeleteJob::Step(WipeStep step, int pass, int passes) {
    if (Confirm == 0) return;
    unsigned id = 0;
    switch (step) {
        case WipeStep::kPassDone:
            ShowStep(FormatText("Overwrite Done ! (Pass %d/%d)", pass, passes));
            return;
        case WipeStep::kDeleteAttributes:
            id = IDS_STEP_DELETE_ATTRIBUTES;
            break;
        case WipeStep::kOverwrite:
            id = IDS_STEP_OVERWRITE;
            break;
        case WipeStep::kOverrun:
            id = IDS_STEP_OVERRUN;
            break;
        case WipeStep::kTruncate:
            id = IDS_STEP_TRUNCATE;
            break;
        case WipeStep::kRename:
            id = IDS_STEP_RENAME;
            break;
        case WipeStep::kRenameWindowsLike:
            id = IDS_STEP_RENAME_WINDOWS;
            break;
        case WipeStep::kChangeDate:
            id = IDS_STEP_CHANGE_DATE;
            break;
        case WipeStep::kDelete:
            id = IDS_STEP_DELETE;
            break;
        case WipeStep::kMakeDummy:
            id = IDS_STEP_MAKE_DUMMY;
            break;
        case WipeStep::kDeleteDummy:
            id = IDS_STEP_DELETE_DUMMY;
            break;
        case WipeStep::kAdditionalWipe:
            id = IDS_STEP_ADDITIONAL_WIPE;
            break;
        case WipeStep::kAdditionalWipeFailed:
            id = IDS_STEP_ADDITIONAL_WIPE_FAILED;
            break;
    }
    ShowStep(m_texts.Load(id));
}

void DeleteJob::Megabytes(int64_t done, int64_t total) {
    if (m_progress == nullptr) return;
    m_progress->SetItemText(
        kProgressMegabytes,
        FormatText("%ld/%ldMB", static_cast<long>(done / kMiB), static_cast<long>(total / kMiB)));
    m_progress->Repaint();
}

void DeleteJob::Progress(int pass, int passes, int64_t done, int64_t total) {
    if (m_onProgress) m_onProgress(pass, passes, done, total);
}

void DeleteJob::HardwareError() {
    m_ui.ShowBox(kHardwareErrorText, "Error", kMbOk | kMbIconError | kMbTopmost);
}

void DeleteJob::DummyFileFailed() {
    m_ui.ShowBox(kDummyFileError, "Error", kMbOk | kMbIconError | kMbTopmost);
}

void DeleteJob::DummyStageFailed() {
    const std::string text = FormatText(m_texts.Load(IDS_ERROR_BOX).c_str(), m_strFoundName.c_str(),
                                        m_texts.Load(IDS_REASON_MAKE_DUMMY).c_str());
    m_ui.ShowBox(text, "Error", kMbOk | kMbIconError | kMbTopmost);
}

void DeleteJob::DummyFilesMade(int count) {
    if (Log != 0 && m_pLog != nullptr)
        *m_pLog += FormatText(m_texts.Load(IDS_LOG_DUMMY_FILES).c_str(), count);
}

void DeleteJob::Sleep(unsigned milliseconds) {
    m_ui.Sleep(milliseconds);
}

bool DeleteJob::StopRequested() {
    return m_pStop != nullptr && *m_pStop != 0;
}
