// The delete job driver: counts, confirms, shows progress, sends each target through the
// pipeline, reports and logs.
#include <memory>
#include <string>

#include "job/DeleteJob.h"
#include "base/Format.h"
#include "job/JobUi.h"
#include "job/ProcessLog.h"
#include "job/TargetList.h"
#include "job/TextSource.h"
#include "res/resource.h"

namespace {
const char kProgressCreateError[] = "Your Operating System is UnStable\r\nDialog Creation Error";
}  // namespace

int DeleteJob::RunJob(const std::string& text) {
    std::string scratchLog;
    std::string& log = m_pLog != nullptr ? *m_pLog : scratchLog;

    m_nOk = 0;
    m_nFailed = 0;
    TargetList targets;
    targets.SetText(text);
    m_nTargetCount = targets.CountTargets();
    if (m_nTargetCount <= 0) return 0;

    if (DispF != 0) {
        m_ui.Beep(kMbIconQuestion);
        const std::string question =
            FormatText(m_texts.Load(IDS_CONFIRM_DELETE).c_str(), m_nTargetCount);
        if (!m_ui.Confirm(question)) {
            log = processlog::Cancelled(m_texts);
            return 1;
        }
    }

    std::unique_ptr<ProgressWindow> progress;
    if (NDispN == 0) {
        progress = m_ui.CreateProgress();
        if (!progress) {
            m_ui.ShowBox(kProgressCreateError, "Error", kMbOk | kMbIconWarning | kMbTopmost);
            NDispN = 1;  // for this job only; the stored setting stays
        }
    }

    if (Log != 0) log += processlog::Header(m_texts, *this, m_nTargetCount);

    int index = 1;
    int errors = 0;
    int accumulator = 100;
    // The folder of the last target that had a path: an empty target names no folder, and
    // its empty one would send the dummy stage to the current directory.
    std::string lastFolder;
    bool anyPath = false;
    // Every counted target is handled, empty ones too (they are excluded), so that the count
    // in the confirmation, the header and the summary agree with what was done.
    for (int n = 0; n < m_nTargetCount; ++n) {
        const std::string target = targets.NextTarget();
        m_strPath = target;

        const bool eligible = CheckTarget();
        if (!target.empty()) {
            lastFolder = m_strFolder;
            anyPath = true;
        }
        if (!eligible) {
            if (NDispE == 0) {
                m_ui.ShowBox(FormatText(m_texts.Load(IDS_EXCLUDE_BOX).c_str(), target.c_str()),
                             "Information", kMbOk | kMbIconInformation | kMbTopmost);
            }
            ++errors;
            if (Log != 0) log += processlog::Excluded(m_texts, m_strPath);
        } else {
            if (progress) {
                progress->SetItemText(kProgressFileName, m_strFoundName);
                progress->SetItemText(kProgressStatus,
                                      FormatText(m_texts.Load(IDS_PROGRESS_STATUS).c_str(), index,
                                                 m_nTargetCount, errors));
                progress->SetItemText(kProgressMegabytes, "");
                progress->SetBarPos(accumulator / m_nTargetCount);
                progress->Repaint();
            }
            const std::string pathBefore = m_strPath;
            const int result = WipeFile(progress.get());
            if (result == Success) {
                if (Log != 0) log += processlog::Ok(m_texts, pathBefore);
            } else {
                if (NDispE == 0) {
                    const std::string reason = processlog::Reason(m_texts, result);
                    m_ui.ShowBox(FormatText(m_texts.Load(IDS_ERROR_BOX).c_str(),
                                            m_strFoundName.c_str(), reason.c_str()),
                                 "Error", kMbOk | kMbIconError | kMbTopmost);
                }
                ++errors;
                if (Log != 0) log += processlog::Failed(m_texts, result, pathBefore);
            }
            if (Dummy != 0 && DummySkip == 0) MakeDummyFileEntries();
            if (progress) m_ui.Sleep(static_cast<unsigned>(1000 / m_nTargetCount));
        }
        ++index;
        accumulator += 100;
    }

    if (Dummy != 0 && anyPath) {
        m_strFolder = lastFolder;
        MakeDummyFileEntries();
    }
    progress.reset();
    m_nOk = (index - 1) - errors;
    m_nFailed = errors;
    if (Log != 0) log += processlog::Summary(m_texts, m_nOk, m_nFailed);
    return 1;
}
