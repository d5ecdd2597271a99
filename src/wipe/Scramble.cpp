// Name and timestamp scrambling: random and system-like renames, the fixed date.
#include <ctime>

#include "wipe/FileLayer.h"
#include "wipe/Pipeline.h"

namespace {

constexpr int kRenameAttempts = 10;

const char* const kWinLikeNames[10] = {"AWSRVR32", "CMCT232", "D3DRG16", "INST32",  "JAVAPRXY",
                                       "MSCREATE", "EXCEL8",  "XL8049",  "CP_1252", "ICRSCRPT"};
const char* const kWinLikeExtensions[10] = {"DLL", "DAT", "OCX", "DRV", "CAB",
                                            "VBX", "EXE", "CAB", "TMP", "X3"};

}  // namespace

bool WipeEngine::Pipeline::IsFree(const std::string& name) {
    if (!wipe::FitsPath(m_engine.m_files, m_target.m_strFolder + name)) return false;
    FindResult found;
    return !m_folder->FindFirst(name, found);
}

// Renamed in the folder that the check opened, and only while the name holds the checked file.
void WipeEngine::Pipeline::RenameTo(const std::string& name) {
    WipeTarget& t = m_target;
    m_folder->Rename(t.m_strName, name, m_engine.m_identity);
    t.m_strPath = t.m_strFolder + name;
    t.m_strName = name;
    m_engine.Describe();
}

std::string WipeEngine::Pipeline::RandomName() {
    WipeEngine& job = m_engine;
    WipeTarget& t = m_target;
    auto letter = [&job]() { return static_cast<char>(job.RandomInRange('A', 'Z')); };
    // Every candidate starts again from the on-disk name.
    std::string name = t.m_strFoundName;
    const size_t dot = name.find('.');
    const size_t stem = dot == std::string::npos ? name.size() : dot;
    if (stem >= 7) {
        // Long stems keep their length and dots; every other byte becomes a letter.
        for (char& c : name) {
            if (c != '.') c = letter();
        }
    }
    // A name is never kept for its length. Letters for the bytes of a long name in a script
    // of several bytes a character make it longer than the system counts the original, so it
    // may not fit: then the short shape, and where even that does not fit, one letter for each
    // character, which is never longer than the name itself.
    if (stem < 7 || !wipe::FitsPath(job.m_files, t.m_strFolder + name)) {
        name.clear();
        for (int i = 0; i < 8; ++i)
            name += letter();
        name += ".TMP";
        if (!wipe::FitsPath(job.m_files, t.m_strFolder + name)) {
            name.clear();
            for (const char c : t.m_strFoundName) {
                const bool continuation = (static_cast<unsigned char>(c) & 0xC0) == 0x80;
                if (c == '.')
                    name += c;
                else if (!continuation)
                    name += letter();
            }
        }
    }
    return name;
}

void WipeEngine::Pipeline::RandomRename() {
    WipeEngine& job = m_engine;
    std::string candidate;
    int collisions = 0;
    for (; collisions < kRenameAttempts; ++collisions) {
        candidate = RandomName();
        if (IsFree(candidate)) break;
    }
    if (collisions < kRenameAttempts) {
        RenameTo(candidate);
        job.m_events.Step(WipeStep::kRename);
    }
}

void WipeEngine::Pipeline::WindowsLikeRename() {
    WipeEngine& job = m_engine;
    std::string candidate;
    int collisions = 0;
    for (; collisions < kRenameAttempts; ++collisions) {
        const int ext = job.RandomInRange(0, 9);
        const int base = job.RandomInRange(0, 9);
        candidate = std::string(kWinLikeNames[base]) + "." + kWinLikeExtensions[ext];
        if (IsFree(candidate)) break;
    }
    if (collisions < kRenameAttempts) RenameTo(candidate);
    job.m_events.Step(WipeStep::kRenameWindowsLike);
}

void WipeEngine::Pipeline::ChangeDate() {
    FileStatus status;
    ReadStatus(status);

    // 1 January 1998, 00:00:02 local time; the C library decides on daylight saving.
    std::tm when = {};
    when.tm_year = 1998 - 1900;
    when.tm_mon = 0;
    when.tm_mday = 1;
    when.tm_hour = 0;
    when.tm_min = 0;
    when.tm_sec = 2;
    when.tm_isdst = -1;
    const std::time_t t = std::mktime(&when);
    if (t == static_cast<std::time_t>(-1)) throw StageFailed();

    status.m_ctime = status.m_mtime = status.m_atime = static_cast<int64_t>(t);
    if (!SetTargetStatus(status)) m_target.m_failure.notDated = true;
    m_engine.m_events.Step(WipeStep::kChangeDate);
}
