#pragma once

#include <string>

#include "wipe/FileLayer.h"

// The file layer on POSIX systems (Linux first).
//
// - A folder is its open descriptor, and every step on its entries is made relative to it
//   (openat, fstatat without following links, renameat2 with RENAME_NOREPLACE, unlinkat), so
//   a folder swapped for another or for a link after it was opened changes nothing.
// - Exclusive sharing is an exclusive flock taken at open without waiting; a file that another
//   opener holds fails to open with kCauseSharingViolation. The lock binds only openers that
//   also lock, as the system offers nothing stronger. A status write that would change a
//   file's permissions asks for the same lock first, so that a held file is refused before
//   anything of it changes.
// - Only regular files are opened: a device or pipe named as a target is refused (access
//   denied) rather than written to, and a link is never followed. The directory search reports
//   a link or a mount point as a reparse point and a device, pipe or socket as a device.
// - Attributes: read-only is the owner's write bit; directory and sparse are reported; hidden,
//   system, archive, temporary and offline do not exist here (reported never, ignored when set).
//   A file without any of these reads as kAttrNormal.
// - Creation time is not kept by the system in a settable form: it reads as the last-write
//   time, and writing it does nothing. Only a file's owner may set its times: for another's
//   file that this process may write, SetStatus leaves them and says so.
// - A status-only open reads no data but needs read permission, so that status writes go
//   through the descriptor itself and nothing needs /proc; a file that this process may not
//   read could not be wiped anyway.
// - Removal cannot be tied to a file on Linux: Remove checks the name right before it removes
//   it, which narrows the window to the two calls but cannot close it.
class PosixFileLayer : public FileLayer {
public:
    std::unique_ptr<FolderHandle> OpenFolder(const std::string& folder, int* cause = nullptr,
                                             long* osError = nullptr) override;
    std::string TempPath() override;
    size_t Length(const std::string& text) const override;
    PathLimits Limits() const override;
    PathStyle Style() const override { return PathStyle::kPosix; }

    // A folder handle on a copy of `fd`, a folder that the caller opened (a walk through a
    // tree, by descriptor); `path` names it in messages and ends in '/'. nullptr when the
    // process has no descriptor left.
    std::unique_ptr<FolderHandle> FolderOf(int fd, const std::string& path);
};

// Removes the empty folder `name` in the folder `dir` while the name holds the folder
// `expected` (checked right before, as for files); throws as FolderHandle::Remove does.
void RemoveEmptyFolder(int dir, const std::string& name, const FileIdentity& expected,
                       const std::string& shown);

// The file-error cause for an errno value.
int CauseFromErrno(int error);

// Windows-like name matching of one path component (FindFirst uses it when no entry bears the
// pattern's own name): * and ? as usual, and a trailing ".*" also
// matches names without that dot ("*.*" matches everything). Case-sensitive.
bool MatchesWildcard(const std::string& pattern, const std::string& name);
