// The Linux program as a user runs it: command lines against real files in a folder of the
// test's own, with the exit status, the first line of standard error and what is left.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/FileSystemWarning.h"
#include "support/RealFiles.h"

extern char** environ;

namespace {

struct Outcome {
    int status = -1;
    std::string errors;
};

// Runs the program in `folder` with `input` on standard input; `started` runs once it is
// running, for tests that act on it meanwhile.
Outcome RunCli(const std::string& folder, const std::vector<std::string>& args,
               const std::string& input = "", const std::function<void(pid_t)>& started = nullptr) {
    const std::string errPath = folder + "../stderr";
    const std::string inPath = folder + "../stdin";
    realfiles::Write(inPath, input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> argv = {const_cast<char*>(TIDEWIPE_CLI)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    Outcome out;
    if (posix_spawn(&pid, TIDEWIPE_CLI, &actions, nullptr, argv.data(), environ) == 0) {
        if (started) started(pid);
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        out.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 1000 + WTERMSIG(wstatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    out.errors = realfiles::Read(errPath);
    return out;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        realfiles::CreateFolder(dir);
        for (const char* name : {"a.txt", "q\"uote", "new\nline", "-dash", "beside"})
            realfiles::Write(dir + name, std::string(3000, name[0]));
        ASSERT_EQ(symlink("beside", (dir + "link").c_str()), 0);
    }
    void TearDown() override { EXPECT_EQ(realfiles::Read(dir + "beside"), std::string(3000, 'b')); }

    realfiles::ScratchFolder scratch;
    const std::string dir = scratch.Folder() + "work/";
};

TEST_F(Cli, CommandLines) {
    const std::vector<std::string> all = {"-dash", "a.txt",     "beside",
                                          "link",  "new\nline", "q\"uote"};
    auto without = [&](std::initializer_list<const char*> gone) {
        std::vector<std::string> left;
        for (const std::string& n : all) {
            bool keep = true;
            for (const char* g : gone)
                keep = keep && n != g;
            if (keep) left.push_back(n);
        }
        return left;
    };
    const std::string usage = "Try 'tidewipe --help' for more information.\n";
    struct Row {
        const char* what;
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string firstError;
        std::vector<std::string> left;
        std::string lastError = "";  // the last line of standard error, where it matters
    };
    const Row rows[] = {
        {"plain", {"a.txt"}, "", 0, "", without({"a.txt"})},
        {"a quote is part of the name", {"q\"uote"}, "", 0, "", without({"q\"uote"})},
        {"a newline is part of the name", {"new\nline"}, "", 0, "", without({"new\nline"})},
        {"a dash after --", {"--", "-dash"}, "", 0, "", without({"-dash"})},
        {"the same file twice",
         {"a.txt", "a.txt"},
         "",
         1,
         "tidewipe: a.txt: No such file or directory",
         without({"a.txt"})},
        {"a link is refused, its target kept",
         {"link", "a.txt"},
         "",
         1,
         "tidewipe: link: refused: a symbolic link (not followed)",
         without({"a.txt"})},
        {"a missing file and an empty name",
         {"gone", ""},
         "",
         1,
         "tidewipe: gone: No such file or directory",
         all},
        {"verbose", {"-v", "a.txt"}, "", 0, "tidewipe: a.txt: wiped", without({"a.txt"})},
        {"one pass", {"-n", "1", "a.txt"}, "", 0, "", without({"a.txt"})},
        {"fifty passes", {"--passes=50", "a.txt"}, "", 0, "", without({"a.txt"})},
        {"no passes",
         {"-n", "0", "a.txt"},
         "",
         2,
         "tidewipe: --passes: '0' is not a number from 1 to 50",
         all},
        {"fifty-one passes",
         {"--passes=51", "a.txt"},
         "",
         2,
         "tidewipe: --passes: '51' is not a number from 1 to 50",
         all},
        {"not a number",
         {"--overrun=1k", "a.txt"},
         "",
         2,
         "tidewipe: --overrun: '1k' is not a number from 0 to 65536",
         all},
        {"a sign",
         {"--dummy=-1", "a.txt"},
         "",
         2,
         "tidewipe: --dummy: '-1' is not a number from 1 to 100",
         all},
        {"too large for any int",
         {"--extra-wipe=99999999999", "a.txt"},
         "",
         2,
         "tidewipe: --extra-wipe: '99999999999' is not a number from 1 to 100",
         all},
        {"an unknown option",
         {"--novwr=3", "a.txt"},
         "",
         2,
         "tidewipe: unknown option '--novwr=3'",
         all},
        {"a bad rename mode",
         {"--rename=yes", "a.txt"},
         "",
         2,
         "tidewipe: --rename: 'yes' is not off, random or system",
         all},
        {"no file", {"-v"}, "", 2, "tidewipe: no file named", all},
        {"kept, not renamed", {"-k", "--rename=off", "a.txt"}, "", 0, "", all},
        {"asked, and no", {"-i", "a.txt"}, "n\n", 1, "tidewipe: wipe 1 file? [y/N] ", all},
        {"asked, and yes",
         {"-i", "a.txt"},
         "y\n",
         0,
         "tidewipe: wipe 1 file? [y/N] ",
         without({"a.txt"})},
        {"a control byte is shown escaped",
         {"-v", "new\nline"},
         "",
         0,
         "tidewipe: new\\012line: wiped",
         without({"new\nline"})},
        {"the summary counts the failures",
         {"-v", "gone", "link", "a.txt"},
         "",
         1,
         "tidewipe: gone: No such file or directory",
         without({"a.txt"}),
         "tidewipe: 1 wiped, 2 failed"},
        {"help", {"--help", "a.txt"}, "", 0, "", all},
        {"version", {"-V"}, "", 0, "", all},
        {"a refinement without its option",
         {"--extra-wipe-in-temp", "a.txt"},
         "",
         2,
         "tidewipe: --extra-wipe-in-temp: needs --extra-wipe",
         all},
        {"another",
         {"--extra-wipe-each-pass", "a.txt"},
         "",
         2,
         "tidewipe: --extra-wipe-each-pass: needs --extra-wipe",
         all},
        {"the extra wipe in the temporary folder",
         {"--extra-wipe=1", "--extra-wipe-in-temp", "a.txt"},
         "",
         0,
         "",
         without({"a.txt"})},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TearDown();
        realfiles::RemoveTree(dir);
        SetUp();
        const Outcome out = RunCli(dir, r.args, r.input);
        EXPECT_EQ(out.status, r.status) << out.errors;
        EXPECT_EQ(FirstLine(out.errors), r.firstError);
        if (r.status == 2) {
            EXPECT_NE(out.errors.find(usage), std::string::npos);
        }
        EXPECT_EQ(realfiles::List(dir), r.left);
        if (!r.lastError.empty()) {
            const std::string text = out.errors.substr(0, out.errors.size() - 1);
            EXPECT_EQ(text.substr(text.rfind('\n') + 1), r.lastError);
        }
    }
}

// An interrupt during the extra wipe: the scratch file goes, the exit status says which signal,
// and the target is named as it was left.
TEST_F(Cli, AnInterruptRemovesTheScratchFiles) {
    realfiles::Write(dir + "big.bin", std::string(8 << 20, 'g'));
    const Outcome out = RunCli(dir, {"--extra-wipe=100", "-n", "5", "big.bin"}, "", [&](pid_t pid) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            for (const std::string& name : realfiles::List(dir)) {
                if (name.rfind("_c", 0) == 0) {
                    kill(pid, SIGINT);
                    return;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_EQ(out.status, 130) << out.errors;
    EXPECT_EQ(FirstLine(out.errors),
              "tidewipe: big.bin: interrupted; left partly overwritten as big.bin");
    for (const std::string& name : realfiles::List(dir))
        EXPECT_NE(name.rfind("_c", 0), 0u) << name;
}

// Another name of the same file keeps naming it, emptied: the user is told so.
TEST_F(Cli, OtherHardLinksAreNamed) {
    ASSERT_EQ(link((dir + "a.txt").c_str(), (dir + "second").c_str()), 0);
    const Outcome out = RunCli(dir, {"a.txt"});
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(FirstLine(out.errors),
              "tidewipe: a.txt: warning: 1 other hard link(s) will keep naming this file, emptied");
    EXPECT_EQ(realfiles::Read(dir + "second"), "");
    unlink((dir + "second").c_str());
}

// Dummy files that cannot be made fail the run, and none of them stays: here a file system that
// holds four entries in all, of which the folder and the target take two.
TEST_F(Cli, DummyFilesThatCannotBeMadeFailTheRun) {
    const std::string disk = dir + "disk/";
    realfiles::CreateFolder(disk);
    if (mount("tidewipe-test", disk.c_str(), "tmpfs", 0, "size=1m,nr_inodes=4") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    realfiles::Write(disk + "a.txt", "secret");
    const Outcome out = RunCli(disk, {"--dummy=5", "a.txt"});
    EXPECT_EQ(out.status, 1);
    EXPECT_NE(out.errors.find("\ntidewipe: dummy files: Dummy File I/O Error (Hardware Error)\n"),
              std::string::npos)
        << out.errors;
    EXPECT_TRUE(realfiles::List(disk).empty());
    umount2(disk.c_str(), MNT_DETACH);
}

// File systems where overwriting in place may miss the old data are named, once each.
TEST(CliWarnings, FileSystemsThatKeepOldData) {
    EXPECT_NE(FileSystemWarning(0x9123683E).find("btrfs"), std::string::npos);
    EXPECT_NE(FileSystemWarning(0x6969).find("NFS"), std::string::npos);
    EXPECT_EQ(FileSystemWarning(0xEF53), "");  // ext4
    struct stat st;
    if (stat("/dev/shm", &st) != 0) GTEST_SKIP() << "no /dev/shm here";
    char folder[] = "/dev/shm/tw-cli-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dir = std::string(folder) + "/";
    realfiles::Write(dir + "a", "x");
    realfiles::Write(dir + "b", "y");
    const Outcome out = RunCli(dir, {"a", "b"});
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.errors, "tidewipe: a: warning: " + FileSystemWarning(0x01021994) + "\n");
    realfiles::RemoveTree(dir);
}

}  // namespace
