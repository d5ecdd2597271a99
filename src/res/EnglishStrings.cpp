#include "res/EnglishStrings.h"

#include "res/resource.h"

namespace {

struct Entry {
    unsigned id;
    const char* text;
};

// The English string table; the resource script's English block must say the same.
constexpr Entry kEnglish[] = {
    {IDS_APP_TITLE, "marlock"},
    {IDS_PRODUCT_NAME, "Tidewipe"},
    {IDS_UNINSTALL_LINK, "\\Tidewipe uninstall.LNK"},
    {IDS_LINK, "\\Tidewipe.LNK"},
    {IDS_STEP_DELETE_ATTRIBUTES, "Delete Attributes"},
    {IDS_STEP_OVERWRITE, "Overwrite"},
    {IDS_STEP_TRUNCATE, "Truncate File Length"},
    {IDS_STEP_RENAME, "Change Name"},
    {IDS_STEP_RENAME_WINDOWS, "Change Name (Windows similar)"},
    {IDS_STEP_CHANGE_DATE, "Change Date"},
    {IDS_STEP_DELETE, "All Delete Process"},
    {IDS_STEP_MAKE_DUMMY, "Make Dummy File"},
    {IDS_STEP_DELETE_DUMMY, "Delete Dummy File"},
    {IDS_LOG_DUMMY_FILES, "Make Dummy File (%d files)\r\n"},
    {IDS_LOG_SUMMARY, "\r\nComplete (OK %d,  NG+Exclude %d)\r\n"},
    {IDS_LOG_OK, "OK : %s\r\n"},
    {IDS_LOG_NG, "NG (code=%d) : %s\r\n"},
    {IDS_LOG_OPTION_DATE, "Option :\r\n Change Date:%s, "},
    {IDS_LOG_OPTION_OVERWRITE, "OverWrite:%s (%d times), Truncate Size:%s, "},
    {IDS_LOG_OPTION_RENAME, "ChangeName:"},
    {IDS_LOG_BEGIN,
     "Process begining ( %d files in queue)\r\n-----------------------------\r\n\r\n"},
    {IDS_EXCLUDE_BOX, "'%s'\nExclude this file\r\n\r\n(folder, temporary file, sparse file)"},
    {IDS_LOG_EXCLUDE, "Exclude : %s\r\n"},
    {IDS_PROGRESS_STATUS, "processing %d/%d (%d errors)"},
    {IDS_REASON_GET_ATTRIBUTES, "Fail to get Attributes"},
    {IDS_REASON_CHANGE_ATTRIBUTES, "Fail to change Attributes"},
    {IDS_REASON_OPEN, "Fail to Open"},
    {IDS_REASON_WRITE, "Fail to Write Data"},
    {IDS_REASON_TRUNCATE, "Fail to Truncate File Size"},
    {IDS_REASON_RENAME, "Fail to Change Name"},
    {IDS_REASON_CHANGE_DATE, "Fail to Change Date"},
    {IDS_REASON_DELETE, "Fail to Delete"},
    {IDS_REASON_MAKE_DUMMY, "Fail to Make Dummy File"},
    {IDS_REASON_DELETE_DUMMY, "Fail to Delete Dummy File"},
    {IDS_REASON_OTHER, "Other Error"},
    {IDS_ERROR_BOX,
     "Error occures during process\r\ncurrent target '%s'\r\nreason : %s\r\n\r\nDelete Process is "
     "not completed"},
    {IDS_CONFIRM_UNINSTALL, "Do you want to Uninstall 'Tidewipe' ?"},
    {IDS_SETTINGS_CAPTION, "Tidewipe Configuration"},
    {IDS_CONFIRM_DELETE, "Delete %d Files, OK ?"},
    {IDS_STEP_BOX, "Processing '%s' \n%s"},
    {IDS_STEP_BOX_TITLE, "Tidewipe Processing Status"},
    {IDS_UNINSTALL_LINK_MADE, "Uninstall Shortcut is made under Startup Menu"},
    {IDS_STEP_OVERRUN, "Overrun write complete"},
    {IDS_STEP_ADDITIONAL_WIPE, "Make Additional Wipe temporary file"},
    {IDS_STEP_ADDITIONAL_WIPE_FAILED, "Fail to make Anticache temporary file"},
    {IDS_LOG_CANCELLED, "Delete task is cencelled by user\r\n"},
    {IDS_REASON_FILE_TOO_LARGE, "File Exceed 2Gbytes"},
    {IDS_QUICK_DELETE_TOO_LONG,
     "The path is too long to be deleted (more than %d characters):\r\n%s"},
    {IDS_PROMPT_INTEGER, "Please enter an integer."},
    {IDS_PROMPT_INTEGER_RANGE, "Please enter an integer between %d and %d."},
    {IDS_VERSION_LINE, "Version %d.%d.%d.%d"},
    {IDS_UNINSTALL_LINK_FAILED, "The uninstall shortcut could not be made in the Start menu."},
    {IDS_QUICK_DELETE_QUOTE,
     "A file name cannot contain a double quote (\"), so nothing was deleted:\r\n%s"},
    {IDS_ERROR_CAPTION, "Error"},
};

}  // namespace

const char* EnglishString(unsigned id) {
    for (const Entry& e : kEnglish) {
        if (e.id == id) return e.text;
    }
    return nullptr;
}

std::vector<unsigned> EnglishStringIds() {
    std::vector<unsigned> ids;
    for (const Entry& e : kEnglish)
        ids.push_back(e.id);
    return ids;
}
