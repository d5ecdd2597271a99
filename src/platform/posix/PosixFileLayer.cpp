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

// Some file systems store fewer blocks than bytes without having holes (compression, inline
// data). When the block count says "sparse", ask the file system where its first hole is.
bool HasHoles(const std::string& path, const struct stat& st) {
    if (!S_ISREG(st.st_mode) || st.st_size == 0) return false;
    if (static_cast<int64_t>(st.st_blocks) * 512 >= static_cast<int64_t>(st.st_size)) return false;
#ifdef SEEK_HOLE
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return true;  // cannot look: the block count is all there is
    const off_t hole = ::lseek(fd, 0, SEEK_HOLE);
    ::close(fd);
    if (hole >= 0) return hole < st.st_size;
#endif
    return true;
}

uint32_t AttributesOf(const std::string& path, const struct stat& st) {
    uint32_t attributes = 0;
    if (S_ISLNK(st.st_mode)) return kAttrReparsePoint;
    if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
    // Pipes, sockets and devices: nothing of theirs is a file's content.
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) attributes |= kAttrDevice;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
    if (HasHoles(path, st)) attributes |= kAttrSparse;
    return attributes == 0 ? kAttrNormal : attributes;
}

// Describes an existing entry itself: a link is a link (a reparse point, as Windows calls it),
// whatever it points to.
bool DescribeEntry(const std::string& path, const std::string& name, FindResult& found) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;
    found.name = name;
    found.attributes = AttributesOf(path, st);
    return true;
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

    // Through the descriptor's own entry in /proc, which reaches exactly the file that was
    // opened, also for a status-only descriptor (on which fchmod and futimens do not work).
    // Without /proc, the descriptor itself.
    void SystemSetStatus(const FileStatus& status) override {
        struct stat st;
        if (::fstat(m_fd, &st) != 0) ThrowErrno(errno, m_strPath);
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);

        // Only the owner's write bit carries "read-only"; a file we may not chmod must not
        // fail when nothing changes.
        const bool wantReadOnly = (status.m_attribute & kAttrReadOnly) != 0;
        const bool isReadOnly = (st.st_mode & S_IWUSR) == 0;
        if (wantReadOnly != isReadOnly) {
            const mode_t mode = st.st_mode & 07777;
            const mode_t wanted = wantReadOnly ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
            int rc = ::chmod(self.c_str(), wanted);
            if (rc != 0 && errno == ENOENT) rc = ::fchmod(m_fd, wanted);
            if (rc != 0) ThrowErrno(errno, m_strPath);
        }

        // Access and write times only: Linux cannot set a creation time.
        if (status.m_mtime != 0) {
            if (!FitsTime(status.m_mtime) || !FitsTime(status.m_atime))
                throw FileException(kCauseGeneric, EOVERFLOW, m_strPath);
            struct timespec times[2] = {};
            if (status.m_atime != 0)
                times[0].tv_sec = static_cast<time_t>(status.m_atime);
            else
                times[0].tv_nsec = UTIME_OMIT;
            times[1].tv_sec = static_cast<time_t>(status.m_mtime);
            int rc = ::utimensat(AT_FDCWD, self.c_str(), times, 0);
            if (rc != 0 && errno == ENOENT) rc = ::futimens(m_fd, times);
            if (rc != 0) ThrowErrno(errno, m_strPath);
        }
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

bool PosixFileLayer::GetStatus(const std::string& path, FileStatus& status) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
    status.m_size = static_cast<int64_t>(st.st_size);
    status.m_mtime = static_cast<int64_t>(st.st_mtime);
    status.m_atime = static_cast<int64_t>(st.st_atime);
    // st_ctime is the inode change time, not the creation time. Some file systems keep a birth
    // time, but nothing can set it, so the write time stands in (as Wine reports it too).
    status.m_ctime = status.m_mtime;
    status.m_attribute = AttributesOf(path, st);
    status.m_szFullName = FullName(path);
    return true;
}

std::unique_ptr<FileHandle> PosixFileLayer::Open(const std::string& path, OpenMode mode, int* cause,
                                                 long* osError) {
    // Never O_TRUNC: a file that someone else holds must not be emptied before the lock says
    // so. O_NONBLOCK only keeps a pipe from stalling the open; it is cleared below. O_NOFOLLOW:
    // a link in the last place is refused, never followed.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
    switch (mode) {
        case OpenMode::kReadWriteExisting:
            flags |= O_RDWR;
            break;
        case OpenMode::kCreateReadWrite:
            flags |= O_RDWR | O_CREAT;
            break;
        case OpenMode::kCreateWrite:
            flags |= O_WRONLY | O_CREAT;
            break;
        case OpenMode::kStatusOnly:
#ifdef O_PATH
            // Opens whatever the permissions say; with O_NOFOLLOW a link opens as itself and is
            // refused below.
            flags = O_PATH | O_CLOEXEC | O_NOFOLLOW;
#else
            flags |= O_RDONLY;
#endif
            break;
    }

    int fd = -1;
    // A cause with the errno behind it; a refusal of ours has none.
    auto failWith = [&](int c, int error) -> std::unique_ptr<FileHandle> {
        if (fd >= 0) ::close(fd);
        if (cause != nullptr) *cause = c;
        if (osError != nullptr) *osError = error;
        return nullptr;
    };
    auto fail = [&](int error) { return failWith(CauseFromErrno(error), error); };

    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail(errno);

    mode_t type = 0;
    FileIdentity identity;
    if (!TypeAndIdentity(fd, type, identity)) return fail(errno);
    if (type != S_IFREG) return failWith(kCauseAccessDenied, 0);
    // No data access, and no lock: another holder does not keep the status out.
    if (mode == OpenMode::kStatusOnly)
        return std::make_unique<PosixOpenFile>(fd, path, identity, true);
    // The flags are known: one call clears O_NONBLOCK (F_SETFL ignores the access mode).
    if (::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) return fail(errno);

    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return fail(errno);
    }
    if (mode != OpenMode::kReadWriteExisting) {
        while (::ftruncate(fd, 0) != 0) {
            if (errno != EINTR) return fail(errno);
        }
    }
    return std::make_unique<PosixOpenFile>(fd, path, identity, false);
}

void PosixFileLayer::Rename(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
    const unsigned kRenameNoReplace = 1;  // RENAME_NOREPLACE
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), kRenameNoReplace) ==
        0)
        return;
    // EINVAL and the like: the file system cannot do it; anything else is the answer.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP)
        ThrowErrno(errno, from);
#endif
    // A hard link never replaces an existing name either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) return;
        const int error = errno;
        ::unlink(to.c_str());
        ThrowErrno(error, from);
    }
    const int error = errno;
    if (error != EPERM && error != EXDEV && error != ENOTSUP && error != EOPNOTSUPP &&
        error != EMLINK && error != ENOSYS)
        ThrowErrno(error, from);

    // No hard links here (FAT, some network file systems, folders): check, then rename. Not
    // atomic, but the best such a file system allows.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) ThrowErrno(EEXIST, from);
    if (::rename(from.c_str(), to.c_str()) != 0) ThrowErrno(errno, from);
}

void PosixFileLayer::Remove(const std::string& path) {
    if (::unlink(path.c_str()) != 0) ThrowErrno(errno, path);
}

bool PosixFileLayer::FindFirst(const std::string& pattern, FindResult& found) {
    const size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
    const std::string name = pattern.substr(folder.size());
    if (name.empty()) return false;
    // "*" and "?" are name characters here too: an entry of exactly that name is the answer.
    if (DescribeEntry(pattern, name, found)) return true;
    if (name.find_first_of("*?") == std::string::npos) return false;

    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    bool matched = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName == "." || entryName == ".." || !MatchesWildcard(name, entryName)) continue;
        // Gone since the listing: look further.
        if (DescribeEntry(folder + entryName, entryName, found)) {
            matched = true;
            break;
        }
    }
    ::closedir(dir);
    return matched;
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
