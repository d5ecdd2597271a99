// The free-space wipe on a small ext4 image of its own (root, loop devices): stopped at any
// point, and when it runs to the end, it leaves the free blocks, the free inodes, the folder
// and the blocks kept back for the file system exactly as they were.
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
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

TEST(FreeSpace, LeavesTheFileSystemAsItWasWhereverItStops) {
    realfiles::ScratchFolder scratch;
    const std::string image = scratch.Path() + "image", mnt = scratch.Path() + "mnt";
    fs::create_directory(mnt);
    if (std::system(("truncate -s 16M " + image + " && mkfs.ext4 -q " + image +
                     " && mount -o loop " + image + " " + mnt + " 2>/dev/null")
                        .c_str()) != 0)
        GTEST_SKIP() << "needs root, loop devices and mkfs.ext4";
    realfiles::Write(mnt + "/kept", "kept");
    auto state = [&mnt]() {
        struct statvfs vfs = {};
        statvfs(mnt.c_str(), &vfs);
        struct stat st = {};
        stat(mnt.c_str(), &st);
        char link[256] = {};
        readlink(("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                  std::to_string(minor(st.st_dev)))
                     .c_str(),
                 link, sizeof(link) - 1);
        std::ifstream reserve("/sys/fs/ext4/" + fs::path(link).filename().string() +
                              "/reserved_clusters");
        std::string all = std::to_string(vfs.f_bfree) + " " + std::to_string(vfs.f_ffree) + " " +
                          std::string(std::istreambuf_iterator<char>(reserve), {});
        for (const std::string& name : realfiles::List(mnt + "/"))
            all += " " + name;
        return all;
    };
    const std::string before = state();
    // A whole run first, counting how often it looks whether to stop; then runs that stop at
    // points spread over all of them.
    size_t polls = 0, stopAt = 0;
    FreeSpaceWipe::Calls calls;
    calls.stop = [&]() { return ++polls == stopAt || (stopAt != 0 && polls > stopAt); };
    FreeSpaceWipe whole(2, false, calls);
    EXPECT_EQ(whole.Run(mnt), "");
    EXPECT_EQ(state(), before);
    for (int stage = 0; stage < FreeSpaceWipe::kStages; ++stage)
        EXPECT_GT(whole.Of(static_cast<FreeSpaceWipe::Stage>(stage)).amount, 0u) << stage;
    const size_t all = polls;
    for (size_t k = 1; k <= 16; ++k) {
        polls = 0, stopAt = all * k / 17;
        FreeSpaceWipe(1, true, calls).Run(mnt);
        EXPECT_EQ(state(), before) << stopAt << " of " << all;
    }
    umount2(mnt.c_str(), MNT_DETACH);
}

}  // namespace
