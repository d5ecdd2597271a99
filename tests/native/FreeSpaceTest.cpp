// The free-space wipe on small images of its own (root, loop devices): stopped at any point,
// and when it runs to the end, it leaves the free blocks, the free inodes, the folder and the
// blocks kept back for the file system exactly as they were; where it can, no byte of a file
// removed before, nor its name, stays anywhere in the image.
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/FreeSpace.h"
#include "support/RealFiles.h"

namespace {

namespace fs = std::filesystem;

// The size of an image, what makes its file system, and whether no trace of the removed file
// may stay. (XFS keeps some blocks for its own indexes that no file can reach; mkfs.xfs makes
// images this small only for a file system's own test suites.)
struct Image {
    std::string size, mkfs;
    bool clean;
} const kImages[] = {
    {"16M", "mkfs.ext4 -q", true},
    {"24M", "TEST_DIR=1 TEST_DEV=1 QA_CHECK_FS=1 mkfs.xfs -q", false},
};

// How often `needle` occurs in the file at `path`.
size_t Occurrences(const std::string& path, const std::string& needle) {
    const std::string all = realfiles::Read(path);
    size_t count = 0;
    for (size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1))
        ++count;
    return count;
}

TEST(FreeSpace, LeavesTheFileSystemAsItWasWhereverItStops) {
    for (const Image& kind : kImages) {
        SCOPED_TRACE(kind.mkfs);
        realfiles::ScratchFolder scratch;
        const std::string image = scratch.Path() + "image", mnt = scratch.Path() + "mnt";
        fs::create_directory(mnt);
        if (std::system(("truncate -s " + kind.size + " " + image + " && " + kind.mkfs + " " +
                         image + " && mount -o loop " + image + " " + mnt + " 2>/dev/null")
                            .c_str()) != 0) {
            std::printf("[  SKIPPED ] %s: needs root and loop devices\n", kind.mkfs.c_str());
            continue;
        }
        // A file removed before the wipe, long enough to be found in the image.
        const std::string secret(40, 'Q'), line = "a line removed before the wipe\n";
        std::string lines;
        for (int i = 0; i < 4000; ++i)
            lines += line;
        realfiles::Write(mnt + "/" + secret, lines);
        realfiles::Write(mnt + "/kept", "kept");
        sync();
        fs::remove(mnt + "/" + secret);
        sync();
        EXPECT_GT(Occurrences(image, line), 0u);
        EXPECT_GT(Occurrences(image, secret), 0u);
        struct statvfs vfs = {};
        auto state = [&]() {
            statvfs(mnt.c_str(), &vfs);
            struct stat st = {};
            stat(mnt.c_str(), &st);
            char link[256] = {};
            readlink(SysBlockPath(st.st_dev).c_str(), link, sizeof(link) - 1);
            std::ifstream reserve("/sys/fs/ext4/" + fs::path(link).filename().string() +
                                  "/reserved_clusters");
            std::string all = std::to_string(vfs.f_bfree) + " " + std::to_string(vfs.f_ffree) +
                              " " + std::string(std::istreambuf_iterator<char>(reserve), {});
            for (const std::string& name : realfiles::List(mnt + "/"))
                all += " " + name;
            return all;
        };
        const std::string before = state();
        // XFS frees a removed file's blocks in the background, a moment later.
        auto settled = [&]() {
            for (int i = 0; i < 100 && state() != before; ++i)
                usleep(50000);
            return state();
        };
        const uint64_t freeBytes = uint64_t{vfs.f_bfree} * vfs.f_frsize;
        // A whole run first, counting how often it looks whether to stop; then runs that stop
        // at points spread over all of them.
        size_t polls = 0, stopAt = 0;
        FreeSpaceWipe::Calls calls;
        calls.stop = [&]() { return ++polls == stopAt || (stopAt != 0 && polls > stopAt); };
        size_t told = 0;  // of the inodes, which come without a megabyte to tell
        calls.progress = [&told](FreeSpaceWipe::Stage stage, uint64_t, uint64_t) {
            told += stage == FreeSpaceWipe::kInodes;
        };
        const auto fds = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
        const auto open = fds();
        FreeSpaceWipe whole(2, false, calls);
        EXPECT_EQ(whole.Run(mnt), "");
        EXPECT_EQ(settled(), before);
        EXPECT_EQ(fds(), open);
        EXPECT_GE(told, whole.Of(FreeSpaceWipe::kInodes).amount / 256);
        for (int stage = 0; stage < FreeSpaceWipe::kStages; ++stage)
            EXPECT_GT(whole.Of(static_cast<FreeSpaceWipe::Stage>(stage)).amount, 0u) << stage;
        // What it wrote is what was free: every free inode of ext4, the free blocks (those
        // kept back for the file system too), and each pass as much again.
        const uint64_t data =
            whole.Of(FreeSpaceWipe::kFill).amount + whole.Of(FreeSpaceWipe::kLeftovers).amount;
        EXPECT_GT(data, kind.clean ? freeBytes * 9 / 10 : freeBytes);  // XFS: its reserve too
        EXPECT_LE(data, freeBytes * 11 / 10);
        EXPECT_GE(whole.Of(FreeSpaceWipe::kPasses).amount, data * 9 / 10);
        EXPECT_LE(whole.Of(FreeSpaceWipe::kPasses).amount, data);
        EXPECT_LT(whole.Of(FreeSpaceWipe::kEntries).amount, 100000u);
        if (kind.clean) {
            EXPECT_NEAR(whole.Of(FreeSpaceWipe::kInodes).amount, vfs.f_ffree, 4.0);
            EXPECT_EQ(Occurrences(image, line), 0u);
            EXPECT_EQ(Occurrences(image, secret), 0u);
        }
        const size_t all = polls;
        for (size_t k = 1; k <= 8; ++k) {
            polls = 0, stopAt = all * k / 9;
            FreeSpaceWipe(1, true, calls).Run(mnt);
            EXPECT_EQ(settled(), before) << stopAt << " of " << all;
        }
        umount2(mnt.c_str(), MNT_DETACH);
    }
}

}  // namespace
