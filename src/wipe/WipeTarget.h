#pragma once

#include <cstdint>
#include <string>

// Why the last wipe of a target failed, for front ends that name the system's reason: the file
// layer's cause and the system's error number (0 when there is none, as for a failed status
// read), and whether a stop request, a swapped file or another's writes ended it; and what a
// wipe that went through had to leave out.
struct WipeFailure {
    int cause = 0;
    long osError = 0;
    bool stopped = false;
    bool replaced = false;  // a step found another file under the name than the check saw
    bool written = false;   // the file's size changed under the wipe: someone wrote to it
    bool notDated = false;  // the times were left: only the file's owner may set them
    // How far it went: every pass done, the file cut to zero bytes.
    bool overwritten = false;
    bool truncated = false;
    // The additional wipe's first failure: what its pass had written, and why.
    bool extraFailed = false;
    int64_t extraWritten = 0;
    long extraError = 0;
};

// The current target of a job. The engine reads the path, splits it, looks it up and, after
// each rename, describes the file under its new name.
struct WipeTarget {
    std::string m_strName;
    std::string m_strFolder;
    std::string m_strPath;
    std::string m_strFoundName;
    int m_bFound = 0;
    int m_nAttributes = 0;
    WipeFailure m_failure;
    WipeFailure m_dummyFailure;  // the same, of the last dummy stage
};
