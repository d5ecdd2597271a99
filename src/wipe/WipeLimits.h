#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Limits shared by the wipe stages.
namespace wipe {

// The largest file that is wiped.
constexpr int64_t kMaxFileSize = 2147000000;
// The data buffer of a wipe and the largest write of a pass.
constexpr int kBufferSize = 2048;
// Paths the engine builds must fit the platform's path buffer, terminator included.
constexpr size_t kMaxPathChars = 259;

constexpr uint32_t kProtectionBits = 0x01 | 0x02 | 0x04;           // read-only, hidden, system
constexpr uint32_t kExcludedBits = 0x10 | 0x100 | 0x200 | 0x1000;  // folder, temp, sparse, offline

// The box for a hardware input/output error, shown whatever the display options say.
constexpr char kHardwareErrorText[] = "File I/O Error (Hardware Error)";

inline bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The folder part of a path: up to and including the last separator, else up to and including
// the last colon, else empty.
inline size_t FolderLength(const std::string& path) {
    size_t pos = path.find_last_of("\\/");
    if (pos == std::string::npos) pos = path.find_last_of(':');
    return pos == std::string::npos ? 0 : pos + 1;
}

inline bool FitsPath(const std::string& path) {
    return path.size() <= kMaxPathChars;
}

}  // namespace wipe
