// The Linux program as a user runs it: command lines against real entries in a folder of the
// test's own, with the exit status, standard error as it is and what is left in the folder.
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kMade(3000, 's');

// The mounts that the tests of this program make die with its process, also when it is killed
// before it could undo them: a mount namespace of its own, whose mounts reach no other.
const bool kOwnMounts = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;

// Split at blanks as a shell would: a 'quoted word' may hold blanks, and '' is an empty one.
std::vector<std::string> Words(const std::string& text) {
    static const std::regex word("'([^']*)'|([^ ]+)");
    std::vector<std::string> words;
    for (std::sregex_iterator m(text.begin(), text.end(), word), end; m != end; ++m)
        words.push_back((*m)[1].matched ? (*m)[1].str() : (*m)[2].str());
    return words;
}

// Entries are made by name (see MakeEntry); kInterrupt sends SIGINT once the extra wipe's
// scratch file is in TMPDIR, and kToLink then puts a link in the place of the file "a"; kTerminal
// puts standard error on a terminal; kNobody runs the program as the user nobody, without its
// descriptors in /proc (as where no /proc is mounted); kFullOutput puts standard output on a full
// device; kClosedPipe standard error on a pipe that nobody reads.
enum Mode { kFiles, kInterrupt, kTerminal, kNobody, kFullOutput, kClosedPipe, kToLink };
const char kFull[] = "tidewipe: write error: No space left on device\n";
const std::string kOnTmpfs =
    "warning: on tmpfs, which lives in memory, and swap may hold copies of its pages; overwriting "
    "in place may not reach the old data\n";
const std::string kFree = "tidewipe: .: free space: ";
constexpr int kCannot = 125;  // the child could not set the run up: skip the row
struct Row {
    std::string make, args;
    int status;
    std::string err, left;  // exactly (rates and times aside); Listing, a regular expression
    std::string input = "", out = "";  // standard input; the start of standard output
    Mode mode = kFiles;
    std::string fault = "";  // a system call made to fail, as strace's inject= takes it
};

// Every test works in `root`: the program runs in `work` with `tmp` as its TMPDIR, and nothing
// else in the root may change.
class Cli : public ::testing::Test {
protected:
    static std::string Read(const fs::path& p) {
        return {std::istreambuf_iterator<char>(std::ifstream(p, std::ios::binary).rdbuf()), {}};
    }
    static void Write(const fs::path& p, const std::string& data) { std::ofstream(p) << data; }

    // What a folder holds, one word an entry, sorted. A file no longer as it was made adds "=",
    // its size, its first byte (the closing 'X') and "0" when the rest is zeros, else "r" (so an
    // empty file shows "=00"); a back-dated one adds "@1998"; one whose status changed since it
    // was made (its change time moved: its mode or times, even to the nanosecond) adds "*".
    std::string Listing(const fs::path& folder) {
        std::set<std::string> words;
        for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
            struct stat st = {};
            lstat(e.path().c_str(), &st);
            const std::string data = S_ISREG(st.st_mode) ? Read(e.path()) : kMade;
            std::string word = e.path().filename();
            if (data != kMade)
                word += "=" + std::to_string(data.size()) + data.substr(0, 1) +
                        (data.find_first_not_of('\0', 1) == std::string::npos ? "0" : "r");
            const auto was = made.find(word);
            if (was != made.end() && (was->second.tv_sec != st.st_ctim.tv_sec ||
                                      was->second.tv_nsec != st.st_ctim.tv_nsec))
                word += "*";
            words.insert(word + (S_ISREG(st.st_mode) && st.st_mtime < 900000000 ? "@1998" : ""));
        }
        std::string all;
        for (const std::string& w : words)
            all += (all.empty() ? "" : " ") + w;
        return all;
    }

    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "tw-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        fs::create_directories((root = templ) / "tmp");
        fs::create_directories(work = root / "work");
        Write(root / "outside", "not to be touched");
    }
    // A shell command in the work folder: 0 when it succeeded, else -2 (not on this machine).
    int Sh(const std::string& command) {
        const std::string line = "cd " + work.string() + " && " + command + " 2>/dev/null";
        return std::system(line.c_str()) == 0 ? 0 : -2;
    }
    void TearDown() override {
        EXPECT_EQ(Read(root / "outside"), "not to be touched");
        EXPECT_TRUE(!fs::exists(root / "tmp") || fs::is_empty(root / "tmp"));
        EXPECT_LE(std::distance(fs::directory_iterator(root), {}), 6);  // and in, out, err
        fs::remove_all(root);
    }

    // The exit status; standard output and error in `out` and `err`.
    int Run(const std::string& args, const std::string& input, Mode mode,
            const std::string& fault) {
        Write(root / "in", input);
        // Under strace, only the call made to fail stops the program (a signal is sent only
        // where every call stops it).
        const bool traced = !fault.empty();
        const bool every = fault.find("signal=") != std::string::npos;
        std::vector<std::string> words =
            Words((traced ? "strace -fqqo /dev/null " + std::string(every ? "" : "--seccomp-bpf ") +
                                "-e trace=" + fault.substr(0, fault.find(':')) +
                                " -e inject=" + fault + " "
                          : "") +
                  TIDEWIPE_CLI + " " + args);
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        const int master = mode == kTerminal ? posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK) : -1;
        EXPECT_TRUE(master < 0 || (grantpt(master) == 0 && unlockpt(master) == 0));
        const std::string errPath = master < 0 ? (root / "err").string() : ptsname(master);
        // The terminal's other end stays open here too, so that what it got can still be read.
        const int slave = master < 0 ? -1 : open(errPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(open((root / "in").c_str(), O_RDONLY), 0);
            dup2(mode == kFullOutput
                     ? open("/dev/full", O_WRONLY)
                     : open((root / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
                 1);
            dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY, 0600), 2);
            int unread[2];
            if (mode == kClosedPipe && pipe(unread) == 0 && close(unread[0]) == 0)
                dup2(unread[1], 2);
            // A program that hangs ends here (the alarm outlives exec), rather than outlive the
            // test and go on writing.
            alarm(30);
            // The program's own descriptors in /proc are what a system without /proc lacks;
            // the rest stays for the sanitizers, which need it.
            const std::string fds = "/proc/" + std::to_string(getpid()) + "/fd";
            if (mode == kNobody &&
                (unshare(CLONE_NEWNS) != 0 ||
                 mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                 mount("tw", fds.c_str(), "tmpfs", 0, nullptr) != 0 || setgroups(0, nullptr) != 0 ||
                 setgid(kNobodyId) != 0 || setuid(kNobodyId) != 0))
                _exit(kCannot);
            // (The leak check cannot run where strace traces the program.)
            if (chdir(work.c_str()) == 0 && setenv("TMPDIR", (root / "tmp").c_str(), 1) == 0 &&
                setenv("LC_ALL", "C", 1) == 0 &&
                (!traced || setenv("ASAN_OPTIONS", "detect_leaks=0", 1) == 0))
                execvp(argv[0], argv.data());
            _exit(traced ? kCannot : 127);
        }
        for (int i = 0;
             (mode == kInterrupt || mode == kToLink) && i < 4000 && fs::is_empty(root / "tmp"); ++i)
            usleep(5000);
        if (mode == kInterrupt) kill(pid, SIGINT);
        if (mode == kToLink)
            fs::rename(work / "a", work / "b"), fs::create_symlink("b", work / "a");
        int status = 0;
        waitpid(pid, &status, 0);
        out = Read(root / "out");
        char shown[8192] = {};  // what the terminal got, which holds no zero byte
        EXPECT_TRUE(master < 0 || read(master, shown, sizeof(shown) - 1) > 0);
        err = master < 0 ? Read(errPath) : shown;
        close(slave), close(master);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
    // Ordinary files of kMade, but for these names; a positive result is a descriptor to close,
    // -2 says that this machine cannot make the entry.
    int MakeEntry(const std::string& name) {
        const fs::path path = work / name;
        if (name == "t/mnt/") return Sh("mkdir t/mnt && mount -t tmpfs tw t/mnt");  // another fs
        if (name.back() == '/') return mkdir(path.c_str(), 0755);
        if (path.filename() == "mnt") {  // a file bound over another: it shows "src"'s bytes
            Write(work / "src", kMade);
            Write(path, "");
            return Sh("mount --bind src " + name);
        }
        if (path.filename() == "link") return symlink((root / "outside").c_str(), path.c_str());
        if (name == "sub") return mkdir(path.c_str(), 0755);
        if (path.filename() == "pipe") return mkfifo(path.c_str(), 0644);
        if (name == "hard") return link((work / "a").c_str(), path.c_str());
        if (name == "tmpfs") return Sh("mount -t tmpfs -o nr_inodes=4 tw .");  // four entries
        if (name == "small") return Sh("mount -t tmpfs -o size=3m tw .");      // three megabytes
        if (name == "smalltmp") return Sh("mount -t tmpfs -o size=3m tw ../tmp");
        if (name == "notmp") return fs::remove(root / "tmp") ? 0 : -1;
        // ext4 on an image that goes at once, whose root is nobody's: one that journals data.
        if (name == "journal" || name == "ext4") {
            const int rc =
                Sh("truncate -s 16M ../image && mkfs.ext4 -q -E root_owner=65534:65534 ../image && "
                   "mount -o loop" +
                   std::string(name == "journal" ? ",data=journal" : "") + " ../image .");
            return fs::remove(root / "image") && chmod(root.c_str(), 0755) == 0 ? rc : -2;
        }
        // A folder that not even root may change, which goes with the mount.
        if (name == "frozen")
            return Sh("mkdir frozen && mount -t tmpfs tw frozen && chattr +i frozen");
        if (name == "tiny") {  // a folder with room for one file, which holds it: "tiny/x"
            Write(work / "x", kMade);
            return Sh("mkdir tiny && mount -t tmpfs -o nr_inodes=2 tw tiny && mv x tiny/");
        }
        Write(path, path.filename() == "mib" ? std::string(1 << 20, 'm') : kMade);
        if (name == "hole") return truncate(path.c_str(), 1 << 20);
        // Another user's files in a folder that everyone may write: one that all may write, one
        // that all but its owner may write; and one of nobody's own.
        static const std::map<std::string, mode_t> modes = {
            {"ro", 0444}, {"ro-held", 0444}, {"other", 0666}, {"other-ro", 0646}, {"nobody", 0444}};
        if (modes.count(name) != 0) chmod(path.c_str(), modes.at(name));
        if ((name.rfind("other", 0) == 0 || name == "nobody") &&
            (chmod(root.c_str(), 0755) | chmod(work.c_str(), 0777) |
             (name == "nobody" ? chown(path.c_str(), kNobodyId, kNobodyId) : 0)) != 0)
            return -2;
        if (name.find("held") == std::string::npos) return 0;
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);  // held while the program runs
        return flock(fd, LOCK_EX) == 0 ? fd : -1;
    }

    static constexpr uid_t kNobodyId = 65534;
    fs::path root, work;
    std::string out, err;
    std::map<std::string, timespec> made;  // the entries' change times once made
};

Row Usage(const char* args, const std::string& message) {
    return {"a", args, 2,
            "tidewipe: " + message + "\nTry 'tidewipe --help' for more information.\n", "a"};
}

const std::string kSurrogates = "t\xFF\xED\x9F\xBF\xED\xA0\x80\xED\xBF\xBF\xEE\x80\x80";
const Row kRows[] = {
    // Control characters (C1 too) and bytes that are no UTF-8 are shown escaped; a name with a
    // '*' is only itself. (U+009F, U+0800 and U+10FFFF at the edges of their sequences; the
    // surrogates U+D800 to U+DFFF between U+D7FF and U+E000.)
    {"a hard ro -dash q\"uote* c\n\x7f 'x y' "
     "s\xC2\x9F\xE0\xA0\x80\xF4\x8F\xBF\xBF\xC2\xA0\xF0\x9F\x98\x80 " +
         kSurrogates + " b",
     "-v -- a ro -dash q\"uote* c\n\x7f 'x y' "
     "s\xC2\x9F\xE0\xA0\x80\xF4\x8F\xBF\xBF\xC2\xA0\xF0\x9F\x98\x80 " +
         kSurrogates,
     0,
     "tidewipe: a: warning: 1 other hard link(s) will keep naming this file, emptied\n"
     "tidewipe: a: wiped\ntidewipe: ro: wiped\ntidewipe: -dash: wiped\ntidewipe: q\"uote*: wiped\n"
     "tidewipe: c\\012\\177: wiped\ntidewipe: x y: wiped\ntidewipe: "
     "s\\302\\237\xE0\xA0\x80\xF4\x8F\xBF\xBF\xC2\xA0\xF0\x9F\x98\x80: wiped\n"
     "tidewipe: t\\377\xED\x9F\xBF\\355\\240\\200\\355\\277\\277\xEE\x80\x80: wiped\n"
     "tidewipe: 8 wiped, 0 failed\n",
     "b hard=00@1998"},
    // Refused entries are left as they are, those that another locker holds with their status
    // as it was; options may follow the names.
    {"a link sub pipe hole held ro-held", "link sub pipe hole '' held ro-held a a --verbose", 1,
     "tidewipe: link: refused: a symbolic link (not followed)\ntidewipe: sub: refused: a folder\n"
     "tidewipe: pipe: refused: not a regular file\ntidewipe: hole: refused: a sparse file\n"
     "tidewipe: '': No such file or directory\n"
     "tidewipe: held: cannot open: Resource temporarily unavailable\ntidewipe: ro-held: cannot "
     "change its permissions: Resource temporarily unavailable\ntidewipe: a: wiped\n"
     "tidewipe: a: No such file or directory\ntidewipe: 1 wiped, 8 failed\n",
     "held hole=1048576sr link pipe ro-held sub"},
    {"a", "-vn 50 --buffer=1 --overrun=000003000 --keep --rename=off --no-truncate --no-date a", 0,
     "tidewipe: a: wiped, kept as a\ntidewipe: 1 wiped, 0 failed\n", "a=6000Xr"},
    {"a", "-z -k --rename=off --no-truncate --passes=1 --buffer=2048 --overrun=65536 a", 0, "",
     "a=68536X0@1998"},
    {"notes-2023.txt", "-k --rename=random notes-2023.txt", 0, "", "[A-Z]{10}\\.[A-Z]{3}=00@1998"},
    {"notes-2023.txt", "-k --rename=system notes-2023.txt", 0, "",
     "[A-Z0-9_]{6,8}\\.[A-Z0-9]{2,3}=00@1998"},
    {"a b", "--dummy=100 --dummy-each a b", 0, "", ""},
    {"a", "--extra-wipe=1 --extra-wipe-in-temp --extra-wipe-each-pass a", 0, "", ""},
    {"a b", "-i a b", 0, "tidewipe: wipe 2 files? [y/N] ", "", "YES\n"},
    {"a", "--interactive a", 1, "tidewipe: wipe 1 file? [y/N] ", "a", "n\n"},
    {"a", "-i a", 1, "tidewipe: wipe 1 file? [y/N] \n", "a"},  // no answer at all
    {"a hard", "--no-truncate a", 0,
     "tidewipe: a: warning: 1 other hard link(s) will keep naming this file, overwritten\n",
     "hard=3000Xr@1998"},
    {"abc", "'a*'", 1, "tidewipe: a*: No such file or directory\n", "abc"},
    {"a", "--help a", 0, "", "a", "", "Usage: tidewipe [OPTION]... FILE...\n"},
    {"a", "-v -V a", 0, "", "a", "", "tidewipe "},
    {"a", "--help a", 1, kFull, "a", "", "", kFullOutput},
    {"a", "--version a", 1, kFull, "a", "", "", kFullOutput},
    // The scratch file goes, and the target is named as it was left: all its passes done.
    {"a", "--extra-wipe=100 --extra-wipe-in-temp -n 9 a", 130,
     "tidewipe: a: interrupted; left overwritten as a\ntidewipe: stopped by Interrupt\n",
     "a=3000[\\s\\S]r", "", "", kInterrupt},
    {"a", "--extra-wipe=100 --extra-wipe-in-temp --extra-wipe-each-pass -n 9 a", 130,
     "tidewipe: a: interrupted; left partly overwritten as a\ntidewipe: stopped by Interrupt\n",
     "a=3000[\\s\\S]r", "", "", kInterrupt},
    // A link put in the file's place between two steps: the next one fails and says why.
    {"a", "--extra-wipe=100 --extra-wipe-in-temp -n 1 a", 1,
     "tidewipe: a: cannot overwrite: replaced by a link during the wipe\n", "a\\* b=3000[\\s\\S]r",
     "", "", kToLink},
    // One megabyte: one line a pass, whose rate is not 0.
    {"mib", "-v -n 2 mib gone", 1,
     "\r\033[Ktidewipe: [1/2] mib: 1/1 MB, pass 1/2, N MB/s\r\033[Ktidewipe: [1/2] mib: 1/1 MB, "
     "pass 2/2, N MB/s\r\033[Ktidewipe: mib: wiped\r\ntidewipe: gone: No such file or directory\r\n"
     "tidewipe: 1 wiped, 1 failed\r\n",
     "", "", "", kTerminal},
    // A folder goes with everything in it; a link, pipe or the like inside loses its name only.
    // Without -r it is refused; "." and ".." never go; with -k all stays.
    {"t/ t/s/ t/a t/s/b t/s/link t/s/pipe", "-r -v t", 0,
     "tidewipe: t/a: wiped\ntidewipe: t/s/b: wiped\ntidewipe: t/s/link: removed\n"
     "tidewipe: t/s/pipe: removed\ntidewipe: t/s: removed\ntidewipe: t: removed\n"
     "tidewipe: 2 wiped, 0 failed\n",
     ""},
    {"a t/ t/a", "-R . .. a -k --rename=off t", 1,
     "tidewipe: .: refused: '.' and '..' are not wiped\n"
     "tidewipe: ..: refused: '.' and '..' are not wiped\n",
     "a=00@1998 t"},
    // The dummy stage goes where the folder was, as named.
    {"t/ t/a", "-r --dummy=2 t/", 0, "", ""},
    {"t/ t/a", "-r --dummy=2 t/", 1, "tidewipe: dummy files: Input/output error\n", "", "", "",
     kFiles, "unlinkat:error=EIO:when=3"},
    // Another file system inside is left, and so is every folder above it: said once. The
    // dummy stage runs in a folder that stays.
    {"t/ t/a t/mnt/", "--recursive --dummy=2 t", 1,
     "tidewipe: t/mnt: left in place: a mount point\ntidewipe: dummy files: Input/output error\n"
     "tidewipe: t: not removed: it still holds what could not be wiped\n",
     "t", "", "", kFiles, "unlinkat:error=EIO:when=2"},
    {"t/ t/a t/b t/c", "-r --extra-wipe=100 --extra-wipe-in-temp -n 9 gone t", 130,
     "tidewipe: gone: No such file or directory\ntidewipe: t/a: interrupted; left overwritten as "
     "t/a\ntidewipe: 2 files not reached\n"
     "tidewipe: stopped by Interrupt\n",
     "t", "", "", kInterrupt},
    {"t/ t/mib", "-r -n 2 t", 0,
     "\r\033[Ktidewipe: [1/1] t/mib: 1/1 MB, pass 1/2, 0/1 MB in all, N MB/s\r\033[Ktidewipe: "
     "[1/1] t/mib: 1/1 MB, pass 2/2, 1/1 MB in all, N MB/s\r\033[K",
     "", "", "", kTerminal},
    // Small files go side by side, and are told of in order; an interrupt during one leaves
    // the rest unreached.
    {"t/ t/a t/held t/mnt t/z", "-r -v t", 1,
     "tidewipe: t/a: wiped\ntidewipe: t/held: cannot open: Resource temporarily unavailable\n"
     "tidewipe: t/mnt: refused: a mount point\ntidewipe: t/z: wiped\n"
     "tidewipe: t: not removed: it still holds what could not be wiped\n"
     "tidewipe: 2 wiped, 2 failed\n",
     "src t"},
    {"t/ t/1 t/2 t/3 t/4 t/5 t/6 t/7 t/8 t/9 t/10", "-r -v t", 0,
     "tidewipe: t/1: wiped\ntidewipe: t/10: wiped\ntidewipe: t/2: wiped\ntidewipe: t/3: wiped\n"
     "tidewipe: t/4: wiped\ntidewipe: t/5: wiped\ntidewipe: t/6: wiped\ntidewipe: t/7: wiped\n"
     "tidewipe: t/8: wiped\ntidewipe: t/9: wiped\ntidewipe: t: removed\n"
     "tidewipe: 10 wiped, 0 failed\n",
     ""},
    {"t/ t/a t/s/ t/s/b", "-r t", 130,
     "tidewipe: t/a: interrupted; left partly overwritten as t/a\ntidewipe: 1 file not reached\n"
     "tidewipe: stopped by Interrupt\n",
     "t", "", "", kFiles, "fdatasync:signal=SIGINT:when=1"},
    // A folder that cannot be read stays, and so does its parent; one that cannot be removed
    // gets its own name back.
    {"t/ t/a t/s/ t/s/b", "-r t", 1,
     "tidewipe: t/s: cannot read: Input/output error\n"
     "tidewipe: t: not removed: it still holds what could not be wiped\n",
     "t", "", "", kFiles, "getdents64:error=EIO:when=7"},
    {"s/", "-r s", 1, "tidewipe: s: cannot remove: Device or resource busy\n", "s", "", "", kFiles,
     "unlinkat:error=EBUSY"},
    // A mount point is refused before anything is written: the file bound there stays as it is.
    {"mnt", "mnt", 1, "tidewipe: mnt: refused: a mount point\n", "mnt src"},
    // Another user may write two of these files but not set their times, and /proc does not
    // show the program's descriptors: each is wiped, and said to keep its times.
    {"other other-ro nobody", "-v other other-ro nobody", 0,
     "tidewipe: other: warning: not back-dated: only its owner may change its times\n"
     "tidewipe: other: wiped\n"
     "tidewipe: other-ro: warning: not back-dated: only its owner may change its times\n"
     "tidewipe: other-ro: wiped\ntidewipe: nobody: wiped\ntidewipe: 3 wiped, 0 failed\n",
     "", "", "", kNobody},
    // A file system with four entries, of which its root and the targets take three: dummy files
    // that cannot be made fail the run, and none stays.
    {"tmpfs a b", "-v --dummy=5 a b", 1,
     "tidewipe: a: " + kOnTmpfs +
         "tidewipe: a: wiped\ntidewipe: b: wiped\ntidewipe: dummy files: No space left on device\n"
         "tidewipe: 2 wiped, 1 failed\n",
     ""},
    // Where the journal keeps the data too: said once for the file system.
    {"journal a b", "a b", 0,
     "tidewipe: a: warning: on ext4 with data=journal, whose journal keeps a copy of the data "
     "written; overwriting in place may not reach the old data\n",
     "lost\\+found"},
    // The dummy stage goes only where a file was wiped, never in a folder only refused.
    {"a frozen tiny", "--dummy=2 -k --rename=off a frozen/ tiny/x", 1,
     "tidewipe: frozen/: refused: a folder\ntidewipe: tiny/x: " + kOnTmpfs +
         "tidewipe: dummy files: No space left on device\n",
     "a=00@1998 frozen tiny"},
    // An extra wipe asked for and not made, or cut short, fails the run.
    {"a notmp", "--extra-wipe=1 --extra-wipe-in-temp -v a", 1,
     "tidewipe: a: wiped\ntidewipe: a: extra wipe: not made: No such file or directory\n"
     "tidewipe: 1 wiped, 1 failed\n",
     ""},
    {"small a", "--extra-wipe=10 a", 1,
     "tidewipe: a: " + kOnTmpfs +
         "tidewipe: a: extra wipe: only 2 MB written: No space left on device\n",
     ""},
    // The free space of a small file system, with nothing named: all it made goes again.
    {"small a", "--free-space=. -n 2 -v", 0,
     kFree + kOnTmpfs + kFree +
         "wiped: inodes 0 (T), fill 3 MB (T), leftovers 0 MB (T), entries 100000 (T), passes "
         "3 MB (T), journal 0 MB (T)\ntidewipe: 0 wiped, 0 failed\n",
     "a"},
    // A flush that fails, in the fill or in a later pass, fails the run; all it made goes.
    {"small a", "--free-space=. -n 2", 1,
     kFree + kOnTmpfs + kFree +
         "cannot flush a scratch file: Input/output error; all it made is removed\n",
     "a", "", "", kFiles, "fdatasync:error=EIO:when=1"},
    {"small a", "--free-space=. -n 2", 1,
     kFree + kOnTmpfs + kFree +
         "cannot flush a scratch file: Input/output error; all it made is removed\n",
     "a", "", "", kFiles, "fdatasync:error=EIO:when=2"},
    {"small a", "--free-space=. -v", 1,
     kFree + kOnTmpfs + kFree +
         "cannot make a scratch folder: Permission denied; all it made is removed\n"
         "tidewipe: 0 wiped, 1 failed\n",
     "a", "", "", kFiles, "mkdirat:error=EACCES"},
    {"journal", "--free-space=.", 1,
     kFree + "cannot change a scratch file: Input/output error; all it made is "
             "removed\n",
     "lost\\+found", "", "", kFiles, "utimensat:error=EIO"},
    {"journal", "--free-space=.", 1,
     kFree + "cannot commit the journal: Input/output error; all it made is "
             "removed\n",
     "lost\\+found", "", "", kFiles, "fsync:error=EIO"},
    {"ext4", "--free-space=.", 0,
     kFree + "warning: the 2 MB kept for root were not reached (root reaches "
             "them)\n",
     "lost\\+found", "", "", kNobody},
    {"small a", "-i --free-space=. a", 1, "tidewipe: wipe 1 file and the free space of .? [y/N] ",
     "a", "n\n"},
    {"a", "--free-space=nope", 1, "tidewipe: nope: free space: No such file or directory\n", "a"},
    {"smalltmp", "--free-space=../tmp", 130,
     "tidewipe: ../tmp: free space: " + kOnTmpfs +
         "tidewipe: ../tmp: free space: interrupted; all it made is removed\ntidewipe: stopped by "
         "Interrupt\n",
     "", "", "", kInterrupt},
    // The same where nobody reads standard error: the run ends all the same, and says so.
    {"tmpfs a b", "--dummy=5 a b", 1, "", "", "", "", kClosedPipe},
    Usage("-n 0 a", "--passes: '0' is not a number from 1 to 50"),
    Usage("--passes=51 a", "--passes: '51' is not a number from 1 to 50"),
    Usage("--overrun= a", "--overrun: '' is not a number from 0 to 65536"),
    Usage("--buffer=2049 a", "--buffer: '2049' is not a number from 1 to 2048"),
    Usage("--overrun=1k a", "--overrun: '1k' is not a number from 0 to 65536"),
    Usage("--dummy=101 a", "--dummy: '101' is not a number from 1 to 100"),
    Usage("--extra-wipe=101 a", "--extra-wipe: '101' is not a number from 1 to 100"),
    Usage("--rename=yes a", "--rename: 'yes' is not off, random or system"),
    Usage("--free-space= a", "--free-space: '' names no folder"),
    Usage("--dx a", "unknown option '--dx'"),
    Usage("--novwr=3 a", "unknown option '--novwr=3'"),
    Usage("a -v -dash", "unknown option '-d'"),
    Usage("--no a", "option '--no' is ambiguous; possibilities: '--no-truncate' '--no-date'"),
    Usage("a -vn", "option '-n' needs a value"),
    Usage("--keep=1 a", "option '--keep' takes no value"),
    Usage("-v", "no file named"),
    Usage("--dummy-each a", "--dummy-each: needs --dummy"),
    Usage("--extra-wipe-in-temp a", "--extra-wipe-in-temp: needs --extra-wipe"),
    Usage("--extra-wipe-each-pass a", "--extra-wipe-each-pass: needs --extra-wipe"),
};

TEST_F(Cli, CommandLines) {
    for (const Row& r : kRows) {
        TearDown();  // a fresh root for every row
        SetUp();
        SCOPED_TRACE(r.args);
        std::vector<int> made;
        for (const std::string& name : Words(r.make))
            made.push_back(MakeEntry(name));
        this->made.clear();
        for (const std::string& name : Words(r.make)) {
            struct stat st = {};
            if (lstat((work / name).c_str(), &st) == 0) this->made[name] = st.st_ctim;
        }
        const bool cannot =
            std::count(made.begin(), made.end(), -2) != 0 || (r.mode == kNobody && geteuid() != 0);
        const int status = cannot ? kCannot : Run(r.args, r.input, r.mode, r.fault);
        for (const int fd : made)
            EXPECT_TRUE(fd <= 0 || close(fd) == 0);
        if (status == kCannot) {
            std::printf("[  SKIPPED ] %s: needs root, mounts or strace\n", r.args.c_str());
        } else {
            EXPECT_EQ(status, r.status);
            EXPECT_EQ(std::regex_replace(
                          std::regex_replace(err, std::regex(", [1-9][0-9]* MB/s"), ", N MB/s"),
                          std::regex("\\([0-9]+\\.[0-9] s\\)"), "(T)"),
                      r.err);
            EXPECT_EQ(r.out.empty() ? out : out.substr(0, r.out.size()), r.out);
            EXPECT_TRUE(std::regex_match(Listing(work), std::regex(r.left))) << Listing(work);
        }
        for (const char* m : {"mnt", "tiny", "frozen", "t/mnt", "", "../tmp"})
            umount2((work / m).c_str(), MNT_DETACH);
    }
}

}  // namespace
