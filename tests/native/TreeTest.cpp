// The walk through a folder given with -r, in-process on real folders: whatever an attacker
// swaps in at any step reaches nothing outside the tree, and no depth takes more descriptors.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/TreeWipe.h"
#include "platform/posix/PosixFileLayer.h"
#include "support/RealFiles.h"

namespace {

namespace fs = std::filesystem;

// Each file goes through the folder it was found in, by its checked identity, as a wipe's
// last step does; a run of small files goes the same way, one by one.
TreeWipe::Calls Removing(PosixFileLayer& files) {
    TreeWipe::Calls calls;
    calls.file = [&files](int dir, const std::string& name, const std::string&) {
        std::unique_ptr<FolderHandle> folder = files.FolderOf(dir, "");
        FileStatus st;
        if (!folder || !folder->GetStatus(name, st)) return false;
        try {
            folder->Remove(name, st.m_identity);
            return true;
        } catch (const FileException&) {
            return false;
        }
    };
    calls.files = [file = calls.file](int dir, const std::vector<std::string>& names,
                                      const std::vector<std::string>& shown) {
        std::vector<bool> gone;
        for (size_t i = 0; i < names.size(); ++i)
            gone.push_back(file(dir, names[i], shown[i]));
        return gone;
    };
    return calls;
}

// Every entry under `path` with its bytes ("/" for a folder, "@" for a link).
std::map<std::string, std::string> Snapshot(const fs::path& path) {
    std::map<std::string, std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(path))
        all[e.path().string()] = e.is_symlink()     ? "@"
                                 : e.is_directory() ? "/"
                                                    : realfiles::Read(e.path().string());
    return all;
}

// A chain of folders deeper than the walk keeps open, holding files, whose top the attacker
// swaps at the n-th step for a folder of the same shape, or a link to it: the walk either goes
// on in the folder it entered or stops, never touches the other (but as a whole, where it was
// there when the walk looked), and says whether it is gone.
TEST(TreeWipe, AnAttackerAtAnyStepReachesNothingOutside) {
    realfiles::ScratchFolder scratch;
    const fs::path root = scratch.Path(), tree = root / "tree", top = tree / "d";
    PosixFileLayer files;
    std::map<std::string, std::string> victim;
    for (size_t n = 1, link = 1;; ++n) {
        fs::remove_all(tree), fs::remove_all(root / "moved");
        fs::create_directories(root / "victim" / "d");
        realfiles::Write((root / "victim" / "f").string(), "victim");
        realfiles::Write((root / "victim" / "d" / "f").string(), "victim");
        victim = Snapshot(root / "victim");
        // Named as the folder outside, after the chain: a walk that came up into another
        // folder than it left would go on there.
        fs::create_directories(tree / "victim");
        realfiles::Write((tree / "victim" / "f").string(), "mine");
        fs::path deep = top;
        for (size_t depth = 0; depth <= TreeWipe::kOpenFolders + 2; ++depth, deep /= "d")
            fs::create_directories(deep), realfiles::Write((deep / "f").string(), "mine");
        TreeWipe::Calls calls = Removing(files);
        size_t steps = 0;
        bool moved = false;
        calls.step = [&](const std::string&) {
            std::error_code gone;
            if (++steps != n || (fs::rename(top, root / "moved", gone), gone)) return;
            moved = !link;
            if (link)
                fs::create_directory_symlink(root / "victim", top);
            else
                fs::rename(root / "victim", top);
        };
        bool above = false;
        const bool gone = TreeWipe(files, calls).Wipe(tree.string(), false, true, above);
        SCOPED_TRACE(std::to_string(n) + (link ? " link" : " folder"));
        // A folder moved in before the walk looked is part of the tree: all of it or nothing.
        if (moved && fs::exists(top)) fs::rename(top, root / "victim");
        if (!moved || fs::exists(root / "victim")) EXPECT_EQ(Snapshot(root / "victim"), victim);
        EXPECT_EQ(gone, !fs::exists(tree));
        if (steps < n) {  // this run met no attack: on to the other kind, or the end
            EXPECT_TRUE(gone && above);
            if (link-- == 0) break;
            n = 0;
        }
    }
}

// Ten thousand folders deep, far beyond what a path can name: the walk holds a bounded number
// of descriptors and takes the whole chain.
TEST(TreeWipe, AnyDepthWithFewDescriptors) {
    realfiles::ScratchFolder scratch;
    int dir = open(scratch.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int depth = 0; depth < 10000; ++depth) {
        const int next = mkdirat(dir, "d", 0700) == 0 ? openat(dir, "d", O_RDONLY | O_CLOEXEC) : -1;
        close(dir);
        ASSERT_GE(dir = next, 0);
    }
    close(openat(dir, "f", O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    close(dir);
    PosixFileLayer files;
    TreeWipe::Calls calls = Removing(files);
    const auto open = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const auto before = open();
    auto most = before;
    size_t steps = 0;
    calls.step = [&](const std::string&) {
        if (++steps % 256 == 0) most = std::max(most, open());
    };
    bool above = false;
    EXPECT_TRUE(TreeWipe(files, calls).Wipe(scratch.Path() + "d", false, true, above));
    EXPECT_GT(steps, 30000u);
    EXPECT_LE(most - before, static_cast<long>(TreeWipe::kOpenFolders) + 1);
    EXPECT_TRUE(fs::is_empty(scratch.Path()));
}

}  // namespace
