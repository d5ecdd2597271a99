#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "wipe/FileLayer.h"

// Limits shared by the wipe stages.
namespace wipe {

// The largest file that is wiped.
constexpr int64_t kMaxFileSize = 2147000000;
// The data buffer of a wipe and the largest write of a pass.
constexpr int kBufferSize = 2048;

constexpr uint32_t kProtectionBits = kAttrReadOnly | kAttrHidden | kAttrSystem;
// Never wiped: folders, temporary, sparse and offline files, and anything that is no ordinary
// file of its own (a link would hand the wipe to the file it points to).
constexpr uint32_t kExcludedBits =
    kAttrDirectory | kAttrTemporary | kAttrSparse | kAttrOffline | kAttrDevice | kAttrReparsePoint;

inline bool IsSeparator(PathStyle style, char c) {
    return c == '/' || (style == PathStyle::kWindows && c == '\\');
}

// The folder part of a path: up to and including the last separator; on Windows, without one,
// up to and including the last colon (a drive); else empty.
inline size_t FolderLength(PathStyle style, const std::string& path) {
    size_t pos = path.find_last_of(style == PathStyle::kWindows ? "\\/" : "/");
    if (pos == std::string::npos && style == PathStyle::kWindows) pos = path.find_last_of(':');
    return pos == std::string::npos ? 0 : pos + 1;
}

// Whether the system takes `path` whole: the path and each name in it within the layer's
// limits, counted as the system counts them. The engine never uses a path that does not fit:
// cut short, it could name another file.
inline bool FitsPath(const FileLayer& files, const std::string& path) {
    const PathLimits limits = files.Limits();
    if (files.Length(path) > limits.path) return false;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(files.Style(), path[end]))
            ++end;
        if (files.Length(path.substr(start, end - start)) > limits.name) return false;
        if (end == path.size()) return true;
        start = end + 1;
    }
}

}  // namespace wipe
