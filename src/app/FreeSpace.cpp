#include "app/FreeSpace.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fstream>
#include <random>

#include "wipe/Random.h"

namespace {

constexpr size_t kBlock = 1 << 20;
constexpr size_t kPerFolder = 4096;     // empty files in one folder of the scratch folder
constexpr size_t kInodeName = 48;       // long enough that each entry covers old ones
constexpr unsigned long kExt = 0xEF53;  // ext2, ext3 and ext4: a fixed table of inodes
constexpr unsigned long kXfs = 0x58465342;
constexpr size_t kXfsInodes = 1024;  // files made first on XFS, whose changes go round its log
constexpr size_t kMostEntries = 100000;

// XFS's pool of blocks kept back from every file, as its ioctls take it.
struct XfsResblks {
    uint64_t resblks;
    uint64_t resblks_avail;
};
constexpr unsigned long kXfsSetResblks = _IOWR('X', 114, XfsResblks);
constexpr unsigned long kXfsGetResblks = _IOR('X', 115, XfsResblks);

// The kernel's name of the device that holds the open folder `fd` ("loop0", "sda1").
std::string DeviceName(int fd) {
    struct stat st;
    char link[PATH_MAX] = {};
    if (::fstat(fd, &st) != 0) return std::string();
    if (::readlink(SysBlockPath(st.st_dev).c_str(), link, sizeof(link) - 1) <= 0)
        return std::string();
    const std::string name = link;
    return name.substr(name.rfind('/') + 1);
}

// XFS's log head: its cycle and its block, or false.
bool XfsLogHead(const std::string& device, uint64_t& cycle, uint64_t& block) {
    std::ifstream in("/sys/fs/xfs/" + device + "/log/log_head_lsn");
    char colon = 0;
    return static_cast<bool>(in >> cycle >> colon >> block) && colon == ':';
}
// Consecutive refusals of a name in the folder before its entries count as full: an indexed
// folder refuses a name only where the name's own block is full.
constexpr int kEntryTries = 64;

bool IsFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

}  // namespace

std::string SysBlockPath(uint64_t device) {
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

std::string FreeSpaceWipe::RandomName(size_t length) {
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> letter('A', 'Z');
    std::string name;
    for (size_t i = 0; i < length; ++i)
        name += static_cast<char>(letter(random));
    return name;
}

std::string FreeSpaceWipe::Run(const std::string& folder) {
    m_folder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct statvfs vfs;
    struct statfs fs;
    if (m_folder < 0 || ::fstatvfs(m_folder, &vfs) != 0 || ::fstatfs(m_folder, &fs) != 0) {
        const int error = errno;
        if (m_folder >= 0) ::close(m_folder);
        return std::strerror(error);
    }
    // Root may fill what is kept for it too.
    m_free = static_cast<uint64_t>(::geteuid() == 0 ? vfs.f_bfree : vfs.f_bavail) * vfs.f_frsize;
    if (::geteuid() != 0)
        m_reserved = static_cast<uint64_t>(vfs.f_bfree - vfs.f_bavail) * vfs.f_frsize;
    m_random.Seed(std::random_device{}());
    m_block.assign(kBlock, 0);

    // The scratch folder: a fresh name, made here and by this process alone.
    std::string why;
    for (int attempt = 0; attempt < 10 && m_scratch < 0 && why.empty(); ++attempt) {
        const std::string name = RandomName(16);
        if (::mkdirat(m_folder, name.c_str(), 0700) != 0) {
            if (errno != EEXIST)
                why = std::string("cannot make a scratch folder: ") + std::strerror(errno);
            continue;
        }
        m_scratchName = name;
        m_scratch =
            ::openat(m_folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (m_scratch < 0)
            why = std::string("cannot open its scratch folder: ") + std::strerror(errno);
    }

    using Clock = std::chrono::steady_clock;
    auto timed = [this, &why](Stage stage, const std::function<std::string()>& run) {
        if (!why.empty() || Stopped()) return;
        const Clock::time_point start = Clock::now();
        why = run();
        m_done[stage].seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (m_calls.progress) m_calls.progress(stage, m_done[stage].amount, m_free);
    };
    // Where the table of inodes is fixed, its free slots hold what old files left: every one
    // of them is taken. Elsewhere inodes are made as needed, and files only as the data needs.
    m_type = static_cast<unsigned long>(fs.f_type);
    if (m_type == kExt) timed(kInodes, [this] { return FillStage(kInodes, 0); });
    // XFS makes inodes as it needs them; these are there for its log's turn below.
    for (bool full = false; m_type == kXfs && m_files.size() < kXfsInodes && !full && why.empty();)
        if (!MakeFile(0, kInodes, full)) why = m_error;
    timed(kFill, [this] { return FillStage(kFill, kFileBytes); });
    // ext4 and XFS hold back a reserve of blocks even from root, for their own needs when the
    // file system is full: as root, the leftovers reach it too, and it is given back at once.
    if (::geteuid() == 0) Reserve(true);
    timed(kLeftovers, [this, &vfs] {
        std::string stopped = FillStage(kLeftovers, vfs.f_bsize);
        // A file system that finds no room for some of them at the flush (XFS) has written the
        // others: that is as full as it gets.
        if (stopped.empty() && ::syncfs(m_scratch) != 0 && !IsFull(errno))
            stopped = std::string("cannot flush the scratch files: ") + std::strerror(errno);
        return stopped;
    });
    Reserve(false);
    timed(kEntries, [this] {
        Entries();
        return std::string();
    });
    timed(kPasses, [this] { return Passes(); });
    if (m_type == kExt || m_type == kXfs) timed(kJournal, [this] { return CycleJournal(); });
    RemoveAll();
    ::close(m_folder);
    return why;
}

// kInodes makes empty files until no inode is left; kFill and kLeftovers fill files of `size`
// until no block is left, taking the empty files first.
std::string FreeSpaceWipe::FillStage(Stage stage, uint64_t size) {
    for (bool full = false; !full && !Stopped();) {
        if (!MakeFile(size, stage, full)) return m_error;
        if (stage == kFill && m_written > 0 && m_written % (64 * kBlock) < kBlock) {
            // Room taken by others as fast as this fills it: stop, and give it back.
            struct statvfs vfs;
            const uint64_t margin = (16 * kBlock) + m_written / 50;
            if (::fstatvfs(m_folder, &vfs) != 0) continue;
            const fsblkcnt_t left = ::geteuid() == 0 ? vfs.f_bfree : vfs.f_bavail;
            if (static_cast<uint64_t>(left) * vfs.f_frsize + m_written + margin < m_free)
                return "stopped: another program is taking the space";
        }
    }
    return std::string();
}

bool FreeSpaceWipe::MakeFile(uint64_t size, Stage stage, bool& full) {
    std::string path;
    int fd = -1;
    if (size > 0 && !m_pool.empty()) {
        path = m_pool.back();
        m_pool.pop_back();
        fd = ::openat(m_scratch, path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    } else {
        // Empty files go into folders of their own, so that no folder grows too large to index.
        if (stage == kInodes && (m_dirs.empty() || m_inFolder == kPerFolder)) {
            const std::string dir = RandomName(16);
            if (::mkdirat(m_scratch, dir.c_str(), 0700) != 0) {
                full = IsFull(errno);
                if (full || errno == EEXIST) return true;
                m_error = std::string("cannot make a scratch folder: ") + std::strerror(errno);
                return false;
            }
            m_dirs.push_back(dir);
            m_inFolder = 0;
        }
        path = stage == kInodes ? m_dirs.back() + "/" + RandomName(kInodeName) : RandomName(16);
        fd = ::openat(m_scratch, path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC,
                      0600);
        if (fd < 0 && errno == EEXIST) return true;  // draw another name
        if (fd >= 0) {
            m_files.push_back(path);
            m_inFolder += stage == kInodes ? 1 : 0;
        }
    }
    if (fd < 0) {
        full = IsFull(errno);
        if (!full) m_error = std::string("cannot make a scratch file: ") + std::strerror(errno);
        return full;
    }
    uint64_t written = 0;
    bool ok = size == 0 || WriteData(fd, size, stage, full, written);
    // Flushed, so that the data is on the disk, not only in memory, before it is removed.
    // (The leftovers, one block each and many, are flushed together at their stage's end.)
    if (ok && written > 0 && stage != kLeftovers && ::fdatasync(fd) != 0) {
        full = IsFull(errno);
        ok = full;
        if (!full) m_error = std::string("cannot flush a scratch file: ") + std::strerror(errno);
    }
    ::close(fd);
    if (written > 0)
        m_data.emplace_back(path, written);
    else
        m_pool.push_back(path);
    if (size == 0) {
        ++m_done[stage].amount;
        if (m_calls.progress && m_done[stage].amount % 256 == 0)
            m_calls.progress(stage, m_done[stage].amount, m_free);
    }
    return ok;
}

bool FreeSpaceWipe::WriteData(int fd, uint64_t size, Stage stage, bool& full, uint64_t& written) {
    if (m_zeros) std::fill(m_block.begin(), m_block.end(), 0);
    while (written < size && !Stopped()) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, size - written));
        if (!m_zeros) m_random.Fill(m_block.data(), n);
        const ssize_t w = ::write(fd, m_block.data(), n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            full = w == 0 || IsFull(errno);
            if (!full)
                m_error = std::string("cannot write a scratch file: ") + std::strerror(errno);
            return full;
        }
        written += static_cast<uint64_t>(w);
        m_done[stage].amount += static_cast<uint64_t>(w);
        if (stage != kPasses) m_written += static_cast<uint64_t>(w);
        if (m_calls.progress) m_calls.progress(stage, m_done[stage].amount, m_free);
    }
    return true;
}

// Each name in the folder's own entries is a link to a scratch file, so it takes no inode and
// no block; with the file system full, the folder cannot grow to take it, so only the room
// that its entries already have is used.
void FreeSpaceWipe::Entries() {
    if (m_files.empty()) return;
    struct stat folder, target;
    if (::fstat(m_folder, &folder) != 0) return;
    size_t which = 0;
    int refused = 0;
    for (size_t length = 255; length > 0 && !Stopped();) {
        if (::fstatat(m_scratch, m_files[which].c_str(), &target, AT_SYMLINK_NOFOLLOW) != 0) return;
        const std::string name = RandomName(length);
        if (::linkat(m_scratch, m_files[which].c_str(), m_folder, name.c_str(), 0) == 0) {
            m_entries.emplace_back(name, static_cast<uint64_t>(target.st_ino));
            ++m_done[kEntries].amount;
            refused = 0;
            struct stat now;
            // A folder that takes another block anyway (where the system keeps room apart for
            // folders) is not written this way: the names end here.
            if (m_entries.size() >= kMostEntries ||
                (::fstat(m_folder, &now) == 0 && now.st_blocks > folder.st_blocks))
                return;
            continue;
        }
        if (errno == EEXIST) continue;
        if (errno == EMLINK && ++which < m_files.size()) continue;
        if (!IsFull(errno)) return;  // no links here: nothing to do this way
        // Smaller names for the smaller gaps.
        if (++refused >= kEntryTries) refused = 0, length /= 2;
    }
}

std::string FreeSpaceWipe::Passes() {
    for (int pass = 2; pass <= m_passes && !Stopped(); ++pass) {
        for (const auto& [path, size] : m_data) {
            const int fd = ::openat(m_scratch, path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) return std::string("cannot open a scratch file: ") + std::strerror(errno);
            // A file that found no room at the flush (XFS) holds fewer blocks than were
            // written to it: the pass goes as far as they go.
            bool full = false;
            uint64_t written = 0;
            bool ok = WriteData(fd, size, kPasses, full, written);
            if (ok && ::fdatasync(fd) != 0 && !IsFull(errno)) {
                m_error = std::string("cannot flush a scratch file: ") + std::strerror(errno);
                ok = false;
            }
            ::close(fd);
            if (!ok) return m_error;
        }
    }
    return std::string();
}

// A journal or log is a ring: once it has gone round from this point, every block of it
// holds this run's records. Each round changes the inodes of scratch files and commits.
// How far it went: XFS tells its log's head; for ext3 and ext4, the kernel tells the largest
// transaction it allows, a third or a quarter of the journal (by kernel version), so four
// times that is enough on any, and a round logs at least one block for each file whose inode
// lies in another block of the inode table.
std::string FreeSpaceWipe::CycleJournal() {
    const std::string device = DeviceName(m_folder);
    uint64_t journal = 0, cycle = 0, head = 0;
    if (m_type == kXfs) {
        if (!XfsLogHead(device, cycle, head)) return std::string();
    } else {
        std::ifstream info("/proc/fs/jbd2/" + device + "-8/info");
        std::string line;
        if (!std::getline(info, line) || line.find("each up to ") == std::string::npos)
            return std::string();  // no journal
        journal = 4 * std::strtoull(line.c_str() + line.find("each up to ") + 11, nullptr, 10);
    }
    std::vector<std::string> files;
    std::vector<uint64_t> seen;
    for (const std::string& path : m_files) {
        if (files.size() >= std::max<uint64_t>(kXfsInodes, journal / 8)) break;
        struct stat file;
        if (::fstatat(m_scratch, path.c_str(), &file, AT_SYMLINK_NOFOLLOW) != 0) continue;
        // 32 inodes of the smallest size to a block of 4 KiB.
        const uint64_t block = (static_cast<uint64_t>(file.st_ino) - 1) / 32;
        if (m_type == kExt && std::find(seen.begin(), seen.end(), block) != seen.end()) continue;
        seen.push_back(block);
        files.push_back(path);
    }
    if (files.empty()) return std::string();
    uint64_t logged = 0, last = head, moved = 0;
    for (uint64_t round = 0; !Stopped(); ++round) {
        if (m_type == kXfs) {
            uint64_t c = 0, b = 0;
            if (!XfsLogHead(device, c, b)) break;
            moved += b >= last ? b - last : b;  // 512-byte blocks, also across the wrap
            last = b;
            if (c > cycle + 1 || (c == cycle + 1 && b >= head)) break;
            // A log that does not move any more is not gone round by this: say so.
            if (round > 100000) return "the log did not go round";
        } else if (logged >= journal) {
            break;
        }
        for (const std::string& path : files) {
            const struct timespec times[2] = {{static_cast<time_t>(round), 0},
                                              {static_cast<time_t>(round), 0}};
            if (::utimensat(m_scratch, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
                return std::string("cannot change a scratch file: ") + std::strerror(errno);
        }
        const int fd = ::openat(m_scratch, files.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool committed = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0) ::close(fd);
        if (!committed) return std::string("cannot commit the journal: ") + std::strerror(errno);
        logged += files.size();
        m_done[kJournal].amount = m_type == kXfs ? moved * 512 : logged * 1024;
        if (m_calls.progress) m_calls.progress(kJournal, m_done[kJournal].amount, m_free);
    }
    return std::string();
}

void FreeSpaceWipe::Reserve(bool release) {
    if (!release) {
        if (!m_reservePath.empty()) std::ofstream(m_reservePath) << m_reserveSaved;
        XfsResblks pool = {m_reserveSaved, 0};
        if (m_xfsReserve) ::ioctl(m_folder, kXfsSetResblks, &pool);
        m_reservePath.clear();
        m_xfsReserve = false;
        return;
    }
    if (m_type == kXfs) {
        XfsResblks pool = {};
        if (::ioctl(m_folder, kXfsGetResblks, &pool) != 0) return;
        m_reserveSaved = pool.resblks;
        pool.resblks = 0;
        m_xfsReserve = ::ioctl(m_folder, kXfsSetResblks, &pool) == 0;
        return;
    }
    if (m_type != kExt) return;
    m_reservePath = "/sys/fs/ext4/" + DeviceName(m_folder) + "/reserved_clusters";
    std::ifstream in(m_reservePath);
    if (!(in >> m_reserveSaved) || !(std::ofstream(m_reservePath) << 0)) m_reservePath.clear();
}

// Runs whatever happened before, and never stops half-way: nothing made may stay.
void FreeSpaceWipe::RemoveAll() {
    Reserve(false);
    for (const auto& [name, inode] : m_entries) {
        struct stat st;
        // Only while the name still holds the scratch file: another may have taken it.
        if (::fstatat(m_folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            static_cast<uint64_t>(st.st_ino) == inode)
            ::unlinkat(m_folder, name.c_str(), 0);
    }
    for (const std::string& path : m_files) {
        ::unlinkat(m_scratch, path.c_str(), 0);
    }
    for (const std::string& dir : m_dirs) {
        ::unlinkat(m_scratch, dir.c_str(), AT_REMOVEDIR);
    }
    if (m_scratch < 0) return;
    struct stat scratch;
    const bool known = ::fstat(m_scratch, &scratch) == 0;
    ::close(m_scratch);
    m_scratch = -1;
    // The scratch folder's own name goes too: it leaves a random one of the same length.
    auto holds = [this, &scratch](const std::string& name) {
        struct stat st;
        return ::fstatat(m_folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
               st.st_dev == scratch.st_dev && st.st_ino == scratch.st_ino;
    };
    std::string name = m_scratchName;
    const std::string other = RandomName(name.size());
    if (known && holds(name) &&
        ::syscall(SYS_renameat2, m_folder, name.c_str(), m_folder, other.c_str(), 1u) == 0) {
        if (holds(other))
            name = other;
        else
            ::syscall(SYS_renameat2, m_folder, other.c_str(), m_folder, name.c_str(), 1u);
    }
    if (known && holds(name)) ::unlinkat(m_folder, name.c_str(), AT_REMOVEDIR);
}
