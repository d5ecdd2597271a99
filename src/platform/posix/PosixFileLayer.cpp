#include "platform/posix/PosixFileLayer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "wipe/WriteGatherer.h"

namespace {

[[noreturn]] void ThrowErrno(int error, const std::string& path) {
    throw FileException(CauseFromErrno(error), error, path);
}

// What a look at an entry tells, without following a link.
struct Entry {
    mode_t mode = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t blocks = 0;  // of 512 bytes
    int64_t mtime = 0;
    int64_t atime = 0;
    bool mountRoot = false;
};

// The entry `name` in the folder `dir`; false with errno set when there is none.
bool Look(int dir, const char* name, Entry& e) {
#if defined(STATX_BASIC_STATS) && defined(STATX_ATTR_MOUNT_ROOT)
    struct statx sx;
    if (::statx(dir, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &sx) == 0) {
        e.mode = sx.stx_mode;
        e.device = static_cast<uint64_t>(makedev(sx.stx_dev_major, sx.stx_dev_minor));
        e.inode = sx.stx_ino;
        e.size = static_cast<int64_t>(sx.stx_size);
        e.blocks = static_cast<int64_t>(sx.stx_blocks);
        e.mtime = sx.stx_mtime.tv_sec;
        e.atime = sx.stx_atime.tv_sec;
        e.mountRoot = (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
        return true;
    }
    if (errno != ENOSYS) return false;
#endif
    struct stat st;
    if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    e.mode = st.st_mode;
    e.device = static_cast<uint64_t>(st.st_dev);
    e.inode = static_cast<uint64_t>(st.st_ino);
    e.size = static_cast<int64_t>(st.st_size);
    e.blocks = static_cast<int64_t>(st.st_blocks);
    e.mtime = static_cast<int64_t>(st.st_mtime);
    e.atime = static_cast<int64_t>(st.st_atime);
    return true;
}

// Some file systems store fewer blocks than bytes without having holes (compression, inline
// data). When the block count says "sparse", ask the file system where its first hole is.
bool HasHoles(int dir, const char* name, const Entry& e) {
    if (!S_ISREG(e.mode) || e.size == 0 || e.blocks * 512 >= e.size) return false;
#ifdef SEEK_HOLE
    const int fd = ::openat(dir, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return true;  // cannot look: the block count is all there is
    const off_t hole = ::lseek(fd, 0, SEEK_HOLE);
    ::close(fd);
    if (hole >= 0) return hole < e.size;
#endif
    return true;
}

// A mount point (a file system, or a file bound over another) reads as a reparse point, as on
// Windows: its contents belong to another place, and it cannot be renamed or removed anyway.
// (Devices are not compared: on overlay file systems a file's differs from its folder's.)
uint32_t AttributesOf(int dir, const char* name, const Entry& e) {
    if (S_ISLNK(e.mode) || e.mountRoot) return kAttrReparsePoint;
    uint32_t attributes = 0;
    if (S_ISDIR(e.mode)) attributes |= kAttrDirectory;
    // Pipes, sockets and devices: nothing of theirs is a file's content.
    if (!S_ISDIR(e.mode) && !S_ISREG(e.mode)) attributes |= kAttrDevice;
    if ((e.mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
    if (HasHoles(dir, name, e)) attributes |= kAttrSparse;
    return attributes == 0 ? kAttrNormal : attributes;
}

// What an open descriptor is, and which file it is, without reading its times: on Linux a
// time that was read is stamped anew, to the nanosecond, at the next write, and the flush after
// that write then commits the file system's journal as well.
bool TypeAndIdentity(int fd, mode_t& type, FileIdentity& identity) {
#ifdef STATX_INO
    struct statx sx;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO, &sx) == 0 &&
        (sx.stx_mask & (STATX_TYPE | STATX_INO)) == (STATX_TYPE | STATX_INO)) {
        type = sx.stx_mode & S_IFMT;
        identity.volume = static_cast<uint64_t>(makedev(sx.stx_dev_major, sx.stx_dev_minor));
        identity.index = sx.stx_ino;
        return true;
    }
    // An older kernel, or a file system that does not say: the whole status.
#endif
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    type = st.st_mode & S_IFMT;
    identity.volume = static_cast<uint64_t>(st.st_dev);
    identity.index = static_cast<uint64_t>(st.st_ino);
    return true;
}

std::string FullName(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    std::vector<char> cwd(4096);
    while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) return path;
        cwd.resize(cwd.size() * 2);
    }
    std::string full = cwd.data();
    if (full.empty() || full.back() != '/') full += '/';
    return full + path;
}

bool FitsTime(int64_t seconds) {
    return seconds >= static_cast<int64_t>(std::numeric_limits<time_t>::min()) &&
           seconds <= static_cast<int64_t>(std::numeric_limits<time_t>::max());
}

// Whether this process may write the file by its permission bits, whoever owns it.
bool MayWrite(const struct stat& st) {
    const uid_t uid = ::geteuid();
    if (uid == 0) return true;
    if (st.st_uid == uid) return (st.st_mode & S_IWUSR) != 0;
    bool inGroup = st.st_gid == ::getegid();
    std::vector<gid_t> groups(static_cast<size_t>(::getgroups(0, nullptr) + 1));
    const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
    for (int i = 0; i < n; ++i)
        inGroup = inGroup || groups[static_cast<size_t>(i)] == st.st_gid;
    return (st.st_mode & (inGroup ? S_IWGRP : S_IWOTH)) != 0;
}

// The length of the UTF-8 sequence that starts at s[i], so that ? stands for one character.
size_t CharLength(const std::string& s, size_t i) {
    size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

bool MatchPlain(const std::string& pattern, const std::string& name) {
    size_t p = 0;
    size_t n = 0;
    size_t star = std::string::npos;
    size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharLength(name, n);
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (star != std::string::npos) {
            p = star + 1;
            resume += CharLength(name, resume);
            n = resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

class PosixOpenFile : public GatheringFileHandle {
public:
    PosixOpenFile(int fd, std::string path, const FileIdentity& identity, bool statusOnly)
        : GatheringFileHandle(statusOnly),
          m_fd(fd),
          m_strPath(std::move(path)),
          m_identity(identity) {}

    FileIdentity Identity() const override { return m_identity; }

    // Gathered data that was not written out is dropped: the engine only gets here after a
    // failure.
    ~PosixOpenFile() override {
        if (m_fd >= 0) ::close(m_fd);
    }

private:
    bool IsOpen() const override { return m_fd >= 0; }

    void ThrowNotOpen() const override { throw FileException(kCauseInvalidFile, EBADF, m_strPath); }

    void WriteAll(const uint8_t* data, size_t size) override {
        while (size != 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                ThrowErrno(errno, m_strPath);
            }
            if (n == 0) ThrowErrno(ENOSPC, m_strPath);
            data += n;
            size -= static_cast<size_t>(n);
            m_offset += n;
        }
        if (m_offset - m_streamed >= kStreamStep) Stream();
    }

    // A long pass starts the write-back of what it has just written, and lets the page cache
    // drop what it wrote back a step before: these pages are never read again. So the flush
    // after the pass has little left to wait for, and the truncation little to drop. Both are
    // only advice, and their failures are the flush's to report; the flush is still what
    // makes the data safe.
    void Stream() {
#ifdef SYNC_FILE_RANGE_WRITE
        ::sync_file_range(m_fd, m_streamed, m_offset - m_streamed, SYNC_FILE_RANGE_WRITE);
#endif
        if (m_streamed > m_dropped)
            ::posix_fadvise(m_fd, m_dropped, m_streamed - m_dropped, POSIX_FADV_DONTNEED);
        m_dropped = m_streamed;
        m_streamed = m_offset;
    }
    void MovedTo(int64_t offset) {
        m_offset = m_streamed = m_dropped = offset;
    }

    int64_t SystemSeekToEnd() override {
        const off_t position = ::lseek(m_fd, 0, SEEK_END);
        if (position < 0) {
            const int error = errno;
            throw FileException(error == EBADF ? kCauseInvalidFile : kCauseBadSeek, error,
                                m_strPath);
        }
        MovedTo(position);
        return position;
    }

    void SystemTruncate() override {
        while (::ftruncate(m_fd, 0) != 0) {
            if (errno != EINTR) ThrowErrno(errno, m_strPath);
        }
        if (::lseek(m_fd, 0, SEEK_SET) < 0) ThrowErrno(errno, m_strPath);
        MovedTo(0);
    }

    // The data and what reading it back needs; the times are the wipe's to set afterwards.
    void SystemFlush() override {
        while (::fdatasync(m_fd) != 0) {
            if (errno != EINTR) ThrowErrno(errno, m_strPath);
        }
    }

    // The size alone: asking for the times too would cost the next flush a journal commit.
    int64_t SystemSize() override {
#ifdef STATX_SIZE
        struct statx sx;
        if (::statx(m_fd, "", AT_EMPTY_PATH, STATX_SIZE, &sx) == 0 &&
            (sx.stx_mask & STATX_SIZE) != 0)
            return static_cast<int64_t>(sx.stx_size);
#endif
        struct stat st;
        if (::fstat(m_fd, &st) != 0) ThrowErrno(errno, m_strPath);
        return static_cast<int64_t>(st.st_size);
    }

    // Only what differs is written, so that a file whose status needs no change keeps its
    // times to the nanosecond and its change time, and a file that this process may write but
    // not chmod (another's, immutable, on a read-only mount) is not refused for nothing.
    bool SystemSetStatus(const FileStatus& status) override {
        struct stat st;
        if (::fstat(m_fd, &st) != 0) ThrowErrno(errno, m_strPath);

        // Only the owner's write bit carries "read-only".
        const bool wantReadOnly = (status.m_attribute & kAttrReadOnly) != 0;
        if (wantReadOnly != ((st.st_mode & S_IWUSR) == 0)) {
            // The first data open would refuse a file that another locker holds: then nothing
            // of it may change before.
            if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
                ThrowErrno(EWOULDBLOCK, m_strPath);
            ::flock(m_fd, LOCK_UN);
            const mode_t mode = st.st_mode & 07777;
            if (::fchmod(m_fd, wantReadOnly ? (mode & ~S_IWUSR) : (mode | S_IWUSR)) != 0) {
                const int error = errno;
                // Another's file that this process may write anyway needs no change.
                if (error != EPERM || wantReadOnly || st.st_uid == ::geteuid() || !MayWrite(st))
                    ThrowErrno(error, m_strPath);
            }
        }

        // Access and write times only: Linux cannot set a creation time.
        if (status.m_mtime == 0) return true;
        if (!FitsTime(status.m_mtime) || !FitsTime(status.m_atime))
            throw FileException(kCauseGeneric, EOVERFLOW, m_strPath);
        struct timespec times[2] = {};
        times[0].tv_sec = static_cast<time_t>(status.m_atime);
        if (status.m_atime == 0) times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(status.m_mtime);
        // Times are given in whole seconds: one within the same second is the same.
        const bool same = st.st_mtim.tv_sec == times[1].tv_sec &&
                          (status.m_atime == 0 || st.st_atim.tv_sec == times[0].tv_sec);
        if (same || ::futimens(m_fd, times) == 0) return true;
        // Only the owner may set a file's times: another's file keeps them.
        if (errno == EPERM && st.st_uid != ::geteuid()) return false;
        ThrowErrno(errno, m_strPath);
    }

    void SystemClose() override {
        const int fd = m_fd;
        m_fd = -1;
        // On Linux the descriptor is gone even when close reports EINTR.
        if (::close(fd) != 0 && errno != EINTR) ThrowErrno(errno, m_strPath);
    }

    static constexpr int64_t kStreamStep = 8 << 20;

    int m_fd;
    std::string m_strPath;
    FileIdentity m_identity;
    // The file position, where the last write-back began, and where the page cache was last
    // told to let go.
    int64_t m_offset = 0;
    int64_t m_streamed = 0;
    int64_t m_dropped = 0;
};

class PosixFolder : public FolderHandle {
public:
    PosixFolder(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~PosixFolder() override { ::close(m_fd); }
    PosixFolder(const PosixFolder&) = delete;
    PosixFolder& operator=(const PosixFolder&) = delete;

    bool GetStatus(const std::string& name, FileStatus& status) override {
        Entry e;
        if (name.empty() || !Look(m_fd, name.c_str(), e)) return false;
        status.m_size = e.size;
        status.m_mtime = e.mtime;
        status.m_atime = e.atime;
        // The inode change time is no creation time. Some file systems keep a birth time, but
        // nothing can set it, so the write time stands in (as Wine reports it too).
        status.m_ctime = e.mtime;
        status.m_attribute = AttributesOf(m_fd, name.c_str(), e);
        status.m_szFullName = FullName(m_path + name);
        status.m_identity = {e.device, e.inode};
        return true;
    }

    std::unique_ptr<FileHandle> Open(const std::string& name, OpenMode mode, int* cause,
                                     long* osError) override {
        // Never O_TRUNC: a file that someone else holds must not be emptied before the lock
        // says so. O_NONBLOCK only keeps a pipe from stalling the open; it is cleared below.
        // O_NOFOLLOW: a link is refused, never followed.
        int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
        switch (mode) {
            case OpenMode::kReadWriteExisting:
                flags |= O_RDWR;
                break;
            case OpenMode::kCreateNew:
                // O_EXCL fails on any existing name, a dangling link too.
                flags |= O_RDWR | O_CREAT | O_EXCL;
                break;
            case OpenMode::kStatusOnly:
                // Read access, so that the descriptor takes fchmod, futimens and a lock test
                // without /proc. A file that this process may not read could not be wiped
                // anyway: it is refused before its permissions change.
                flags |= O_RDONLY;
                break;
        }

        int fd = -1;
        mode_t type = 0;
        FileIdentity identity;
        // A cause with the errno behind it; a refusal of ours has none. A file made here goes
        // again, if the name still holds it.
        auto failWith = [&](int c, int error) -> std::unique_ptr<FileHandle> {
            if (fd >= 0) ::close(fd);
            if (mode == OpenMode::kCreateNew && identity.index != 0 && Holds(name, identity))
                ::unlinkat(m_fd, name.c_str(), 0);
            if (cause != nullptr) *cause = c;
            if (osError != nullptr) *osError = error;
            return nullptr;
        };
        auto fail = [&](int error) { return failWith(CauseFromErrno(error), error); };

        if (name.empty()) return fail(ENOENT);
        do {
            fd = ::openat(m_fd, name.c_str(), flags, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return fail(errno);

        if (!TypeAndIdentity(fd, type, identity)) return fail(errno);
        if (type != S_IFREG) return failWith(kCauseAccessDenied, 0);
        const std::string path = m_path + name;
        // No lock: another holder does not keep the status out.
        if (mode == OpenMode::kStatusOnly)
            return std::make_unique<PosixOpenFile>(fd, path, identity, true);
        // The flags are known: one call clears O_NONBLOCK (F_SETFL ignores the access mode).
        if (::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) return fail(errno);
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EINTR) return fail(errno);
        }
        return std::make_unique<PosixOpenFile>(fd, path, identity, false);
    }

    void Rename(const std::string& from, const std::string& to,
                const FileIdentity& expected) override {
        Expect(from, expected);
#ifdef SYS_renameat2
        const unsigned kRenameNoReplace = 1;  // RENAME_NOREPLACE
        if (::syscall(SYS_renameat2, m_fd, from.c_str(), m_fd, to.c_str(), kRenameNoReplace) == 0)
            return Moved(from, to, expected);
        // EINVAL and the like: the file system cannot do it; anything else is the answer.
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP)
            ThrowErrno(errno, m_path + from);
#endif
        // A hard link never replaces an existing name either.
        if (::linkat(m_fd, from.c_str(), m_fd, to.c_str(), 0) == 0) {
            if (!Holds(to, expected)) {
                ::unlinkat(m_fd, to.c_str(), 0);
                throw FileReplaced(m_path + from);
            }
            Expect(from, expected);
            if (::unlinkat(m_fd, from.c_str(), 0) == 0) return;
            const int error = errno;
            ::unlinkat(m_fd, to.c_str(), 0);
            ThrowErrno(error, m_path + from);
        }
        const int error = errno;
        if (error != EPERM && error != EXDEV && error != ENOTSUP && error != EOPNOTSUPP &&
            error != EMLINK && error != ENOSYS)
            ThrowErrno(error, m_path + from);

        // No hard links here (FAT, some network file systems): check, then rename. Not atomic,
        // but the best such a file system allows.
        Entry e;
        if (Look(m_fd, to.c_str(), e)) ThrowErrno(EEXIST, m_path + from);
        if (::renameat(m_fd, from.c_str(), m_fd, to.c_str()) != 0) ThrowErrno(errno, m_path + from);
        Moved(from, to, expected);
    }

    // Linux cannot remove a name only while it holds a given file: the check comes right
    // before, which narrows the window to the two calls.
    void Remove(const std::string& name, const FileIdentity& expected) override {
        Expect(name, expected);
        if (::unlinkat(m_fd, name.c_str(), 0) != 0) ThrowErrno(errno, m_path + name);
    }

    bool FindFirst(const std::string& pattern, FindResult& found) override {
        if (pattern.empty()) return false;
        // "*" and "?" are name characters here too: an entry of exactly that name is the
        // answer.
        if (Describe(pattern, found)) return true;
        if (pattern.find_first_of("*?") == std::string::npos) return false;

        const int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
        if (dir == nullptr) {
            if (fd >= 0) ::close(fd);
            return false;
        }
        bool matched = false;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || !MatchesWildcard(pattern, name)) continue;
            // Gone since the listing: look further.
            if (Describe(name, found)) {
                matched = true;
                break;
            }
        }
        ::closedir(dir);
        return matched;
    }

private:
    bool Describe(const std::string& name, FindResult& found) {
        Entry e;
        if (!Look(m_fd, name.c_str(), e)) return false;
        found.name = name;
        found.attributes = AttributesOf(m_fd, name.c_str(), e);
        return true;
    }
    bool Holds(const std::string& name, const FileIdentity& expected) {
        Entry e;
        return Look(m_fd, name.c_str(), e) && FileIdentity{e.device, e.inode} == expected;
    }
    void Expect(const std::string& name, const FileIdentity& expected) {
        Entry e;
        if (!Look(m_fd, name.c_str(), e)) ThrowErrno(errno, m_path + name);
        if (FileIdentity{e.device, e.inode} != expected) throw FileReplaced(m_path + name);
    }
    // After a rename: a file swapped in between the check and the rename goes back under its
    // own name, where that is still free.
    void Moved(const std::string& from, const std::string& to, const FileIdentity& expected) {
        if (Holds(to, expected)) return;
#ifdef SYS_renameat2
        ::syscall(SYS_renameat2, m_fd, to.c_str(), m_fd, from.c_str(), 1u);
#endif
        throw FileReplaced(m_path + from);
    }

    int m_fd;
    std::string m_path;
};

}  // namespace

int CauseFromErrno(int error) {
    switch (error) {
        case 0:
            return kCauseNone;
        case ENOENT:
            return kCauseFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return kCauseBadPath;
        case EMFILE:
        case ENFILE:
            return kCauseTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EEXIST:
        case EISDIR:
            return kCauseAccessDenied;
        case EBADF:
            return kCauseInvalidFile;
        case ESPIPE:
            return kCauseBadSeek;
        case EIO:
            return kCauseHardIO;
        case EBUSY:
        case ETXTBSY:
        case EWOULDBLOCK:
#if EAGAIN != EWOULDBLOCK
        case EAGAIN:
#endif
            return kCauseSharingViolation;
        case ENOLCK:
            return kCauseLockViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:  // no room left below the process's file size limit
            return kCauseDiskFull;
        default:
            return kCauseGeneric;
    }
}

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
    if (MatchPlain(pattern, name)) return true;
    const size_t n = pattern.size();
    return n >= 2 && pattern.compare(n - 2, 2, ".*") == 0 &&
           MatchPlain(pattern.substr(0, n - 2), name);
}

std::unique_ptr<FolderHandle> PosixFileLayer::OpenFolder(const std::string& folder, int* cause,
                                                         long* osError) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (cause != nullptr) *cause = CauseFromErrno(errno);
        if (osError != nullptr) *osError = errno;
        return nullptr;
    }
    return std::make_unique<PosixFolder>(fd, folder);
}

std::unique_ptr<FolderHandle> PosixFileLayer::FolderOf(int fd, const std::string& path) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return nullptr;
    return std::make_unique<PosixFolder>(copy, path);
}

void RemoveEmptyFolder(int dir, const std::string& name, const FileIdentity& expected,
                       const std::string& shown) {
    Entry e;
    if (!Look(dir, name.c_str(), e)) ThrowErrno(errno, shown);
    if (FileIdentity{e.device, e.inode} != expected) throw FileReplaced(shown);
    if (::unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0) ThrowErrno(errno, shown);
}

size_t PosixFileLayer::Length(const std::string& text) const {
    return text.size();
}

PathLimits PosixFileLayer::Limits() const {
    // PATH_MAX counts the terminating zero.
    return {PATH_MAX - 1, NAME_MAX};
}

std::string PosixFileLayer::TempPath() {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    if (path.back() != '/') path += '/';
    return path;
}
