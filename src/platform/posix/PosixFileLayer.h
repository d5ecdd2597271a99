#pragma once

#include <string>

#include "wipe/FileLayer.h"

// The file layer on POSIX systems (Linux first).
//
// - Exclusive sharing is an exclusive flock taken at open without waiting; a file that another
//   opener holds fails to open with kCauseSharingViolation. The lock binds only openers that
//   also lock, as the system offers nothing stronger.
// - Only regular files are opened: a device or pipe named as a target is refused (access
//   denied) rather than written to, and a link in the last place of the path is never
//   followed. The directory search reports a link as a reparse point and a device, pipe or
//   socket as a device.
// - Attributes: read-only is the owner's write bit; directory and sparse are reported; hidden,
//   system, archive, temporary and offline do not exist here (reported never, ignored when set).
//   A file without any of these reads as kAttrNormal.
// - Creation time is not kept by the system in a settable form: it reads as the last-write
//   time, and writing it does nothing.
class PosixFileLayer : public FileLayer {
public:
    bool GetStatus(const std::string& path, FileStatus& status) override;
    std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode mode, int* cause = nullptr,
                                     long* osError = nullptr) override;
    void Rename(const std::string& from, const std::string& to) override;
    void Remove(const std::string& path) override;
    bool FindFirst(const std::string& pattern, FindResult& found) override;
    std::string TempPath() override;
    size_t Length(const std::string& text) const override;
    PathLimits Limits() const override;
    PathStyle Style() const override { return PathStyle::kPosix; }
};

// The file-error cause for an errno value.
int CauseFromErrno(int error);

// Windows-like name matching of one path component (FindFirst uses it when no entry bears the
// pattern's own name): * and ? as usual, and a trailing ".*" also
// matches names without that dot ("*.*" matches everything). Case-sensitive.
bool MatchesWildcard(const std::string& pattern, const std::string& name);
