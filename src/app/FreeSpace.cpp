#include "app/FreeSpace.h"

#include <fcntl.h>
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
// Consecutive refusals of a name in the folder before its entries count as full: an indexed
// folder refuses a name only where the name's own block is full.
constexpr int kEntryTries = 64;

bool IsFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

}  // namespace

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
        Step();
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
    if (static_cast<unsigned long>(fs.f_type) == kExt)
        timed(kInodes, [this] { return FillStage(kInodes, 0); });
    timed(kFill, [this] { return FillStage(kFill, kFileBytes); });
    // ext4 holds back a reserve of blocks even from root, for its own needs when a file
    // system is full: as root, the leftovers reach it too, and it is given back at once.
    if (::geteuid() == 0 && static_cast<unsigned long>(fs.f_type) == kExt) Reserve(true);
    timed(kLeftovers, [this, &vfs] { return FillStage(kLeftovers, vfs.f_bsize); });
    Reserve(false);
    timed(kEntries, [this] {
        Entries();
        return std::string();
    });
    timed(kPasses, [this] { return Passes(); });
    if (static_cast<unsigned long>(fs.f_type) == kExt)
        timed(kJournal, [this] { return CycleJournal(); });
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
        Step();
        fd = ::openat(m_scratch, path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    } else {
        // Empty files go into folders of their own, so that no folder grows too large to index.
        if (stage == kInodes && (m_dirs.empty() || m_inFolder == kPerFolder)) {
            const std::string dir = RandomName(16);
            Step();
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
        Step();
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
    if (ok && written > 0 && ::fdatasync(fd) != 0) {
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
        Step();
        if (::linkat(m_scratch, m_files[which].c_str(), m_folder, name.c_str(), 0) == 0) {
            m_entries.emplace_back(name, static_cast<uint64_t>(target.st_ino));
            ++m_done[kEntries].amount;
            refused = 0;
            struct stat now;
            // A folder that grows anyway (where the system keeps room apart for folders) is
            // not written this way: the last name goes, and so does this stage.
            if (::fstat(m_folder, &now) == 0 && now.st_size > folder.st_size) return;
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
            Step();
            const int fd = ::openat(m_scratch, path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
            bool full = false;
            uint64_t written = 0;
            if (fd < 0) return std::string("cannot open a scratch file: ") + std::strerror(errno);
            const bool ok = WriteData(fd, size, kPasses, full, written) && ::fdatasync(fd) == 0;
            ::close(fd);
            if (!ok || full) return m_error.empty() ? "cannot overwrite a scratch file" : m_error;
        }
    }
    return std::string();
}

// The journal is a ring: once as many blocks as it holds have been logged after this point,
// every block of it holds this run's records. How many it holds: the kernel tells the largest
// transaction it allows, a third or a quarter of the journal (by kernel version), so four
// times that is enough on any. Each round changes the inodes of scratch files that lie in
// different blocks of the inode table, and commits: it logs at least that many blocks.
std::string FreeSpaceWipe::CycleJournal() {
    struct stat st;
    char link[PATH_MAX] = {};
    if (::fstat(m_folder, &st) != 0) return std::string();
    const std::string device = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                               std::to_string(minor(st.st_dev));
    if (::readlink(device.c_str(), link, sizeof(link) - 1) <= 0) return std::string();
    const std::string name = std::string(link).substr(std::string(link).rfind('/') + 1);
    std::ifstream info("/proc/fs/jbd2/" + name + "-8/info");
    std::string line;
    uint64_t most = 0;
    if (!std::getline(info, line) || line.find("each up to ") == std::string::npos) {
        return std::string();  // no journal
    }
    most = std::strtoull(line.c_str() + line.find("each up to ") + 11, nullptr, 10);
    const uint64_t journal = 4 * most + 64;

    // Scratch files whose inodes lie in different blocks of the table (32 inodes of the
    // smallest size to a block of 4 KiB).
    std::vector<std::string> files;
    std::vector<uint64_t> seen;
    for (const std::string& path : m_files) {
        if (files.size() >= std::max<uint64_t>(1, most / 2)) break;
        struct stat file;
        if (::fstatat(m_scratch, path.c_str(), &file, AT_SYMLINK_NOFOLLOW) != 0) continue;
        const uint64_t block = (static_cast<uint64_t>(file.st_ino) - 1) / 32;
        if (std::find(seen.begin(), seen.end(), block) != seen.end()) continue;
        seen.push_back(block);
        files.push_back(path);
    }
    if (files.empty()) return std::string();
    for (uint64_t logged = 0, round = 0; logged < journal && !Stopped(); ++round) {
        int last = -1;
        for (const std::string& path : files) {
            const struct timespec times[2] = {{static_cast<time_t>(round), 0},
                                              {static_cast<time_t>(round), 0}};
            Step();
            if (::utimensat(m_scratch, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
                return std::string("cannot change a scratch file: ") + std::strerror(errno);
        }
        last = ::openat(m_scratch, files.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool committed = last >= 0 && ::fsync(last) == 0;
        if (last >= 0) ::close(last);
        if (!committed) return std::string("cannot commit the journal: ") + std::strerror(errno);
        logged += files.size();
        m_done[kJournal].amount += files.size() * static_cast<uint64_t>(st.st_blksize);
        if (m_calls.progress) m_calls.progress(kJournal, m_done[kJournal].amount, m_free);
    }
    return std::string();
}

void FreeSpaceWipe::Reserve(bool release) {
    if (release) {
        struct stat st;
        char link[PATH_MAX] = {};
        if (::fstat(m_folder, &st) != 0) return;
        const std::string device = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                                   std::to_string(minor(st.st_dev));
        if (::readlink(device.c_str(), link, sizeof(link) - 1) <= 0) return;
        const std::string name = link;
        m_reservePath = "/sys/fs/ext4/" + name.substr(name.rfind('/') + 1) + "/reserved_clusters";
        std::ifstream in(m_reservePath);
        if (!(in >> m_reserveSaved)) return m_reservePath.clear();
        if (!(std::ofstream(m_reservePath) << 0)) m_reservePath.clear();
        return;
    }
    if (!m_reservePath.empty()) std::ofstream(m_reservePath) << m_reserveSaved;
    m_reservePath.clear();
}

// Runs whatever happened before, and never stops half-way: nothing made may stay.
void FreeSpaceWipe::RemoveAll() {
    Reserve(false);
    for (const auto& [name, inode] : m_entries) {
        struct stat st;
        Step();
        // Only while the name still holds the scratch file: another may have taken it.
        if (::fstatat(m_folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            static_cast<uint64_t>(st.st_ino) == inode)
            ::unlinkat(m_folder, name.c_str(), 0);
    }
    for (const std::string& path : m_files) {
        Step();
        ::unlinkat(m_scratch, path.c_str(), 0);
    }
    for (const std::string& dir : m_dirs) {
        Step();
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
    Step();
    if (known && holds(name) &&
        ::syscall(SYS_renameat2, m_folder, name.c_str(), m_folder, other.c_str(), 1u) == 0) {
        if (holds(other))
            name = other;
        else
            ::syscall(SYS_renameat2, m_folder, other.c_str(), m_folder, name.c_str(), 1u);
    }
    Step();
    if (known && holds(name)) ::unlinkat(m_folder, name.c_str(), AT_REMOVEDIR);
}
