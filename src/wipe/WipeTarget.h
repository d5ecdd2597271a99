#pragma once

#include <string>

// Why the last wipe of a target failed, for front ends that name the system's reason: the file
// layer's cause and the system's error number (0 when there is none, as for a failed status
// read), and whether a stop request or a swapped file ended it.
struct WipeFailure {
    int cause = 0;
    long osError = 0;
    bool stopped = false;
    bool replaced = false;  // a reopen found another file under the name
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
};
