#include "job/ProcessLog.h"

#include "app/WipeOptions.h"
#include "job/DeleteJob.h"
#include "base/Format.h"
#include "job/TextSource.h"
#include "res/resource.h"

namespace processlog {

namespace {
const char* OnOff(int value) {
    return value != 0 ? "ON" : "OFF";
}
}  // namespace

std::string Header(const TextSource& texts, const WipeOptions& o, int targetCount) {
    std::string out = FormatText(texts.Load(IDS_LOG_OPTION_DATE).c_str(), OnOff(o.Date));
    out += FormatText(texts.Load(IDS_LOG_OPTION_OVERWRITE).c_str(), o.rNull != 0 ? "RND" : "NULL",
                      o.nOvwr, OnOff(o.rZLen));
    // Any other stored value writes neither the label nor a value.
    if (o.rRen == 0 || o.rRen == 1 || o.rRen == 2) {
        static const char* const kRename[] = {"OFF\r\n", "ON\r\n", "ON(Win)\r\n"};
        out += texts.Load(IDS_LOG_OPTION_RENAME);
        out += kRename[o.rRen];
    }
    out += FormatText(texts.Load(IDS_LOG_BEGIN).c_str(), targetCount);
    return out;
}

std::string Ok(const TextSource& texts, const std::string& path) {
    return FormatText(texts.Load(IDS_LOG_OK).c_str(), path.c_str());
}

std::string Failed(const TextSource& texts, int code, const std::string& path) {
    return FormatText(texts.Load(IDS_LOG_NG).c_str(), code, path.c_str());
}

std::string Excluded(const TextSource& texts, const std::string& path) {
    return FormatText(texts.Load(IDS_LOG_EXCLUDE).c_str(), path.c_str());
}

std::string Summary(const TextSource& texts, int ok, int errors) {
    return FormatText(texts.Load(IDS_LOG_SUMMARY).c_str(), ok, errors);
}

std::string Cancelled(const TextSource& texts) {
    return texts.Load(IDS_LOG_CANCELLED);
}

std::string Reason(const TextSource& texts, int code) {
    if (code >= ErrGetAttributes && code <= ErrDeleteDummy) {
        return texts.Load(static_cast<unsigned>(IDS_REASON_GET_ATTRIBUTES + code));
    }
    if (code == ErrFileTooLarge) return texts.Load(IDS_REASON_FILE_TOO_LARGE);
    return texts.Load(IDS_REASON_OTHER);
}

}  // namespace processlog
