#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// Everything the wipe engine does to the file system goes through this interface. Each platform
// implements it in one place (platform/win32, platform/posix); tests use a recording,
// fault-injecting double.
//
// The engine opens a target's folder once and does every step on the target, and on its own
// scratch files, through that folder and by single names, never by a path again: so a folder
// swapped for another (or for a link) after the check cannot send a step elsewhere. Which file
// a name holds is checked against the file that the first look saw before anything is done to
// it.
//
// Contract:
// - Status reads, directory searches and opens (of folders too) report failure as a result.
// - Every other failure (write, seek, truncation, flush, close, size, status write, rename,
//   removal) throws FileException, carrying a cause from the table below and the system's own
//   error code.
// - Open never follows a symbolic link, junction or other reparse point in the name, and opens
//   ordinary files only: a link, a folder, a device or a pipe fails to open. So whatever a
//   handle changes, it changes in the entry that the name holds.
// - Files are opened with exclusive sharing (but for kStatusOnly): while open, no other opener
//   gets in.
// - A write either writes all of its bytes or throws; an implementation may gather writes
//   into larger blocks, provided that a Flush or Close puts on the medium exactly the bytes
//   written, in order, and that a failed gathered write throws from a later Write, Flush or
//   Close of the same file.
// - Rename never replaces an existing entry: it throws (cause kAccessDenied) instead. Rename
//   and Remove act only on the file they are told to expect, and throw FileReplaced, having
//   done nothing, when the name holds another.

// Causes, numbered as the classic application framework numbers them.
enum FileCause : int {
    kCauseNone = 0,
    kCauseGeneric = 1,
    kCauseFileNotFound = 2,
    kCauseBadPath = 3,
    kCauseTooManyOpenFiles = 4,
    kCauseAccessDenied = 5,
    kCauseInvalidFile = 6,
    kCauseRemoveCurrentDir = 7,
    kCauseDirectoryFull = 8,
    kCauseBadSeek = 9,
    kCauseHardIO = 10,
    kCauseSharingViolation = 11,
    kCauseLockViolation = 12,
    kCauseDiskFull = 13,
    kCauseEndOfFile = 14,
};

class FileException : public std::runtime_error {
public:
    FileException(int cause, long osError, const std::string& fileName)
        : std::runtime_error("file error " + std::to_string(cause) + " (" +
                             std::to_string(osError) + ") on " + fileName),
          m_cause(cause),
          m_lOsError(osError),
          m_strFileName(fileName) {}

    int m_cause;
    long m_lOsError;
    std::string m_strFileName;
};

// A step found another file under the name than the one it was to act on, and did nothing.
class FileReplaced : public FileException {
public:
    explicit FileReplaced(const std::string& fileName)
        : FileException(kCauseAccessDenied, 0, fileName) {}
};

// Attribute bits, with the values Windows gives them. On systems that lack one, it is never
// reported and setting it does nothing. A mount point reads as a reparse point, as Windows has
// it.
enum FileAttribute : uint32_t {
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrDirectory = 0x10,
    kAttrArchive = 0x20,
    kAttrDevice = 0x40,  // a device, pipe or socket, or a device name such as NUL
    kAttrNormal = 0x80,
    kAttrTemporary = 0x100,
    kAttrSparse = 0x200,
    kAttrReparsePoint = 0x400,  // a symbolic link, junction or other reparse point
    kAttrOffline = 0x1000,
};

// Which file an open handle reaches: two handles with equal identities reach the same file
// (the volume, and the file's number on it).
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && index == other.index;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

struct FileStatus {
    // Seconds since 1970-01-01 UTC; whole seconds only.
    int64_t m_ctime = 0;
    int64_t m_mtime = 0;
    int64_t m_atime = 0;
    int64_t m_size = 0;
    uint32_t m_attribute = 0;
    std::string m_szFullName;
    FileIdentity m_identity;  // filled in by status reads
};

struct FindResult {
    std::string name;  // the entry's (long) name, without folder
    uint32_t attributes = 0;
};

enum class OpenMode {
    kReadWriteExisting,  // read and write, neither create nor truncate; position 0
    // A new file, read and write, readable and writable by its owner alone; fails when the name
    // exists in any form (a file, a folder, a dangling link), so that nothing of another's is
    // ever opened or emptied in its place.
    kCreateNew,
    // An existing file, for SetStatus and Identity only: no data access, so that a read-only
    // file opens, and another program holding the file does not keep this open out.
    kStatusOnly,
};

class FileHandle {
public:
    virtual ~FileHandle() = default;  // closes without reporting anything
    virtual void Write(const void* data, size_t size) = 0;
    // Where the handle would keep the next `size` bytes before they go out, for the caller to
    // fill and then pass to Write, which spares a copy; null where it has no such room. Valid
    // until the next call on the handle.
    virtual uint8_t* WriteRoom(size_t /*size*/) { return nullptr; }
    // Moves to the end; returns the new position.
    virtual int64_t SeekToEnd() = 0;
    // Cuts the file to zero bytes; the position goes to 0.
    virtual void Truncate() = 0;
    // Returns only when the data written so far has been handed to the device.
    virtual void Flush() = 0;
    virtual void Close() = 0;
    // The file's size as the system has it now; bytes still gathered are not counted.
    virtual int64_t Size() = 0;
    // Writes the attributes and, when m_mtime is non-zero, the times (a zero m_ctime or
    // m_atime keeps that time); only what differs from the file's own is written, so a status
    // that changes nothing cannot fail. False when the times were left as they are because
    // only the file's owner may set them and the caller, who may write the file, is not its
    // owner (POSIX).
    virtual bool SetStatus(const FileStatus& status) = 0;
    virtual FileIdentity Identity() const = 0;
};

// How a system's paths are split: Windows takes "\\" and "/" as separators and a drive colon
// at the start; POSIX takes "/" alone, and every other byte is part of a name.
enum class PathStyle { kWindows, kPosix };

// The system's limits on a whole path and on each name in it, in the units that Length counts.
struct PathLimits {
    size_t path;
    size_t name;
};

// An open folder, through which every step on its entries goes. Names are single names in it,
// never paths. On POSIX it holds the folder's descriptor, and every step is made relative to
// it; on Windows it holds the folder's path, and every step that changes a file acts through a
// handle of that file whose identity was checked.
class FolderHandle {
public:
    virtual ~FolderHandle() = default;

    // The entry itself (a link describes itself), with the identity of what it holds.
    virtual bool GetStatus(const std::string& name, FileStatus& status) = 0;

    // nullptr when the file cannot be opened; `cause` and `osError` (when given) then say why,
    // the second in the system's own terms (0 when the layer itself refused).
    virtual std::unique_ptr<FileHandle> Open(const std::string& name, OpenMode mode,
                                             int* cause = nullptr, long* osError = nullptr) = 0;

    // Both act on `name` only while it holds the file `expected`.
    virtual void Rename(const std::string& from, const std::string& to,
                        const FileIdentity& expected) = 0;
    virtual void Remove(const std::string& name, const FileIdentity& expected) = 0;

    // Directory search for a name that may hold * and ? wildcards; reports the first entry
    // found. "*.*" also matches names without a dot, as on Windows.
    virtual bool FindFirst(const std::string& pattern, FindResult& found) = 0;
};

class FileLayer {
public:
    virtual ~FileLayer() = default;

    // `folder` as the engine splits a path: empty for the current folder, else ending in a
    // separator (or, on Windows, a drive's colon). Links in it are followed: the path to the
    // folder is the user's choice. nullptr when it cannot be opened; `cause` and `osError` as
    // for FolderHandle::Open.
    virtual std::unique_ptr<FolderHandle> OpenFolder(const std::string& folder,
                                                     int* cause = nullptr,
                                                     long* osError = nullptr) = 0;

    // The user's temporary folder, ending in a separator; empty when there is none.
    virtual std::string TempPath() = 0;

    // A text's length as the system counts it against its limits: UTF-16 code units on
    // Windows, bytes on POSIX. A text that the system cannot take at all is longer than any
    // limit.
    virtual size_t Length(const std::string& text) const = 0;
    virtual PathLimits Limits() const = 0;
    virtual PathStyle Style() const = 0;
};
