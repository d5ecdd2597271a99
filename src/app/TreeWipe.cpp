#include "app/TreeWipe.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "platform/posix/PosixFileLayer.h"

namespace {

constexpr int kRenameAttempts = 10;

// One folder on the way down: its descriptor (-1 while closed to bound the count), the
// identity that every later look must find, its names, and whether anything in it stays.
struct Frame {
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;  // in its parent
    std::string shown;
    std::vector<std::string> names;
    size_t next = 0;
    bool stays = false;  // an entry stays, so the folder cannot go
    bool wiped = false;  // files went here or below, and the dummy stage has not run for them
};

bool IsMountRoot(int fd) {
#if defined(STATX_ATTR_MOUNT_ROOT)
    struct statx sx;
    return ::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &sx) == 0 &&
           (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#else
    (void)fd;
    return false;
#endif
}

// The folder's names but "." and "..", sorted, so that a run goes the same way each time.
bool ListNames(int fd, std::vector<std::string>& names) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (dir == nullptr) {
        if (copy >= 0) ::close(copy);
        return false;
    }
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const int error = errno;
    ::closedir(dir);
    errno = error;
    std::sort(names.begin(), names.end());
    return error == 0;
}

// A random name of the same length in letters, its dots kept, one letter for a character of
// several bytes.
std::string RandomLike(const std::string& name, std::mt19937& random) {
    std::uniform_int_distribution<int> letter('A', 'Z');
    std::string out;
    for (const char c : name) {
        if (c == '.')
            out += c;
        else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            out += static_cast<char>(letter(random));
    }
    return out;
}

}  // namespace

TreeWipe::Totals TreeWipe::Count(const std::string& path) {
    m_totals = Totals();
    bool ignored = false;
    Walk(path, true, true, false, ignored);
    return m_totals;
}

bool TreeWipe::Wipe(const std::string& path, bool keep, bool rename, bool& wipedAbove) {
    wipedAbove = false;
    m_held = false;
    return Walk(path, false, keep, rename, wipedAbove);
}

bool TreeWipe::Walk(const std::string& path, bool counting, bool keep, bool rename,
                    bool& wipedAbove) {
    const Calls& c = m_calls;
    auto step = [&c](const std::string& name) {
        if (c.step) c.step(name);
    };
    auto fail = [&c, counting](const std::string& shown, const std::string& what) {
        if (!counting && c.fail) c.fail(shown, what);
    };
    std::vector<Frame> frames;
    int top = -1;  // the tree's own parent, as the user named it
    auto closeAll = [&]() {
        for (Frame& f : frames)
            if (f.fd >= 0) ::close(f.fd);
        if (top >= 0) ::close(top);
        return false;
    };
    // Opens `name` in `dir` as a frame, when it is still the folder that `st` describes and no
    // mount point.
    dev_t device = 0;
    auto enter = [&](int dir, const std::string& name, const struct stat& st,
                     const std::string& shown) {
        Frame f;
        f.name = name;
        f.shown = shown;
        f.device = st.st_dev;
        f.inode = st.st_ino;
        if (!frames.empty() && st.st_dev != device) {
            fail(shown, "left in place: a mount point");
            return false;
        }
        step(name);
        f.fd = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (f.fd < 0) {
            fail(shown, errno == ELOOP || errno == ENOTDIR ? "replaced during the wipe"
                                                           : std::strerror(errno));
            return false;
        }
        struct stat now;
        const bool same =
            ::fstat(f.fd, &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino;
        if (!same || IsMountRoot(f.fd)) {
            fail(shown, same ? "left in place: a mount point" : "replaced during the wipe");
            ::close(f.fd);
            return false;
        }
        if (!ListNames(f.fd, f.names)) {
            fail(shown, std::string("cannot read: ") + std::strerror(errno));
            ::close(f.fd);
            return false;
        }
        // The oldest open folder above is closed; it is found again from below when needed.
        if (frames.size() >= kOpenFolders) {
            Frame& old = frames[frames.size() - kOpenFolders];
            ::close(old.fd);
            old.fd = -1;
        }
        frames.push_back(std::move(f));
        return true;
    };

    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    const std::string parentPath = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : trimmed.substr(0, slash);
    const std::string base = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    top = ::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (top < 0 || ::fstatat(top, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        fail(path, std::strerror(errno));
        return closeAll();
    }
    device = st.st_dev;
    if (!S_ISDIR(st.st_mode) || !enter(top, base, st, trimmed)) return closeAll();

    bool removed = false;
    while (!frames.empty()) {
        if (c.stop && c.stop()) return closeAll();
        Frame& f = frames.back();
        if (f.next < f.names.size()) {
            const std::string name = f.names[f.next++];
            const std::string shown = f.shown + "/" + name;
            step(name);
            if (::fstatat(f.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT) continue;  // gone meanwhile: nothing to do
                fail(shown, std::strerror(errno));
                f.stays = true;
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                if (!enter(f.fd, name, st, shown)) frames.back().stays = true;
                continue;
            }
            if (counting) {
                if (S_ISREG(st.st_mode)) {
                    ++m_totals.files;
                    m_totals.bytes += static_cast<uint64_t>(st.st_size);
                }
                continue;
            }
            if (S_ISREG(st.st_mode)) {
                std::vector<bool> gone;
                // Small files go together with the small ones that follow; a file of several
                // names goes alone, so that two of them never reach it at once.
                auto small = [](const struct stat& s) {
                    return s.st_size < kSmallFile && s.st_nlink == 1;
                };
                if (c.files && small(st)) {
                    std::vector<std::string> names{name}, shownAs{shown};
                    while (names.size() < kRun && f.next < f.names.size()) {
                        const std::string& more = f.names[f.next];
                        step(more);
                        if (::fstatat(f.fd, more.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                            !S_ISREG(st.st_mode) || !small(st))
                            break;
                        names.push_back(more);
                        shownAs.push_back(f.shown + "/" + more);
                        ++f.next;
                    }
                    gone = c.files(f.fd, names, shownAs);
                } else {
                    gone.push_back(c.file && c.file(f.fd, name, shown));
                }
                for (const bool wiped : gone) {
                    f.stays = f.stays || !wiped;
                    f.wiped = f.wiped || wiped;
                }
                continue;
            }
            // A link, pipe, socket or device: only its name goes; nothing it leads to is
            // touched, and it holds no data of its own.
            try {
                const FileIdentity id{static_cast<uint64_t>(st.st_dev),
                                      static_cast<uint64_t>(st.st_ino)};
                std::unique_ptr<FolderHandle> folder = m_files.FolderOf(f.fd, f.shown + "/");
                if (!folder) throw FileException(kCauseTooManyOpenFiles, EMFILE, shown);
                step(name);
                if (keep) {
                    f.stays = true;
                    continue;
                }
                folder->Remove(name, id);
                if (c.tell) c.tell(shown, "removed");
            } catch (const FileException& e) {
                fail(shown, e.m_lOsError > 0 ? std::string("cannot remove: ") +
                                                   std::strerror(static_cast<int>(e.m_lOsError))
                                             : "cannot remove: replaced during the wipe");
                f.stays = true;
            }
            continue;
        }

        // Every entry is done: up to the parent, found again from here where it was closed.
        Frame done = std::move(frames.back());
        frames.pop_back();
        int parent = top;
        if (!frames.empty()) {
            Frame& up = frames.back();
            if (up.fd < 0) {
                step("..");
                up.fd = ::openat(done.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                struct stat now;
                if (up.fd < 0 || ::fstat(up.fd, &now) != 0 || now.st_dev != up.device ||
                    now.st_ino != up.inode) {
                    fail(up.shown, "moved during the wipe; stopped");
                    ::close(done.fd);
                    return closeAll();
                }
            }
            parent = up.fd;
        }
        // Where wiped files' folders are all gone, the dummy stage belongs to the first
        // folder above that stays.
        if (done.wiped && (done.stays || keep)) {
            if (c.dummy && !counting) c.dummy(done.fd, done.shown);
        } else if (done.wiped) {
            if (frames.empty())
                wipedAbove = true;
            else
                frames.back().wiped = true;
        }
        ::close(done.fd);
        if (counting || keep) continue;
        bool gone = !done.stays;
        if (gone && !RemoveFolder(parent, done.name, done.device, done.inode, done.shown, rename))
            gone = false;
        if (!gone && !frames.empty()) frames.back().stays = true;
        if (frames.empty()) {
            removed = gone;
            m_held = done.stays;
        }
    }
    closeAll();
    return removed;
}

bool TreeWipe::RemoveFolder(int parent, const std::string& name, dev_t device, ino_t inode,
                            const std::string& shown, bool rename) {
    const FileIdentity id{static_cast<uint64_t>(device), static_cast<uint64_t>(inode)};
    std::unique_ptr<FolderHandle> folder = m_files.FolderOf(parent, "");
    std::string now = name;
    try {
        if (!folder) throw FileException(kCauseTooManyOpenFiles, EMFILE, shown);
        static std::mt19937 random{std::random_device{}()};
        for (int attempt = 0; rename && now == name && attempt < kRenameAttempts; ++attempt) {
            const std::string candidate = RandomLike(name, random);
            try {
                if (m_calls.step) m_calls.step(name);
                folder->Rename(name, candidate, id);
                now = candidate;
            } catch (const FileException& e) {
                // A name taken: draw another. Anything else is the answer.
                if (e.m_lOsError != EEXIST) throw;
            }
        }
        if (m_calls.step) m_calls.step(now);
        RemoveEmptyFolder(parent, now, id, shown);
        if (m_calls.tell) m_calls.tell(shown, "removed");
        return true;
    } catch (const FileException& e) {
        // Something put into it meanwhile: it keeps its own name, to be found again.
        if (now != name) {
            try {
                folder->Rename(now, name, id);
                now = name;
            } catch (const FileException&) {
            }
        }
        const bool replaced = dynamic_cast<const FileReplaced*>(&e) != nullptr;
        if (m_calls.fail)
            m_calls.fail(shown, std::string("cannot remove: ") +
                                    (replaced ? "replaced during the wipe"
                                              : std::strerror(static_cast<int>(e.m_lOsError))) +
                                    (now != name ? "; left as " + now : ""));
        return false;
    }
}
