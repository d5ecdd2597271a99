// tidewipe, the Linux program: wipes and removes the files named on its command line with the
// same engine and passes as the Windows program, taking every argument exactly as given.
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/FileSystemWarning.h"
#include "app/FreeSpace.h"
#include "app/TreeWipe.h"
#include "app/WipeOptions.h"
#include "job/DeleteJob.h"
#include "job/JobUi.h"
#include "job/TextSource.h"
#include "platform/posix/PosixFileLayer.h"
#include "wipe/Clock.h"

namespace {

const char kProgram[] = "tidewipe";
const char kVersion[] = "1.0.0";

// Set by the signal handler, and read by the jobs that run side by side.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a handler may only store a lock-free one");

void OnSignal(int signo) {
    g_signal = signo;
}

void ClearProgressLine();

// Stated on standard error, as every message of the program.
void Say(const std::string& text) {
    ClearProgressLine();
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
}

// A name as the user typed it, made printable: the control characters (C0, DEL, and the C1
// ones, which a terminal obeys as it obeys ESC) and bytes that are no UTF-8 are shown as
// octal escapes, byte by byte.
std::string Shown(const std::string& name) {
    if (name.empty()) return "''";
    std::string out;
    for (size_t i = 0; i < name.size();) {
        const auto byte = [&name](size_t at) { return static_cast<unsigned char>(name[at]); };
        const unsigned char b = byte(i);
        // The sequence's length, its smallest code point and the code point itself.
        const size_t n = b < 0x80                ? 1
                         : b >= 0xC2 && b < 0xE0 ? 2
                         : b >= 0xE0 && b < 0xF0 ? 3
                         : b >= 0xF0 && b < 0xF5 ? 4
                                                 : 0;
        uint32_t code = n == 1 ? b : b & (0x7F >> n);
        bool valid = n != 0 && i + n <= name.size();
        for (size_t k = 1; valid && k < n; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= least[n] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        const size_t take = valid ? n : 1;
        if (valid && code >= 0x20 && code != 0x7F && (code < 0x80 || code > 0x9F)) {
            out.append(name, i, take);
        } else {
            for (size_t k = 0; k < take; ++k) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\%03o", byte(i + k));
                out += escaped;
            }
        }
        i += take;
    }
    return out;
}

// An option's value in quotes: an empty one reads as the empty quotes alone.
std::string Quoted(const std::string& value) {
    return value.empty() ? "''" : "'" + Shown(value) + "'";
}

// The engine's boxes: the pipeline's failures are reported from the job's failure record, so
// only the dummy stage's boxes are passed on, as messages.
class ConsoleUi : public JobUi {
public:
    bool inDummyStage = false;
    bool dummyFailed = false;
    const WipeFailure* failure = nullptr;  // the system's reason, where the stage met one

    void ShowBox(const std::string& text, const std::string&, unsigned) override {
        if (!inDummyStage) return;
        dummyFailed = true;
        const long error = failure != nullptr ? failure->osError : 0;
        Say("dummy files: " +
            (error > 0 ? std::strerror(static_cast<int>(error)) : text.substr(0, text.find('\r'))));
    }
    void Beep(unsigned) override {}
    bool Confirm(const std::string&) override { return true; }
    std::unique_ptr<ProgressWindow> CreateProgress() override { return nullptr; }
    void Sleep(unsigned milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

struct Settings {
    WipeOptions options;
    bool verbose = false;
    bool interactive = false;
    bool recursive = false;
    std::string freeSpace;  // the folder whose file system's free space is wiped
    int freePasses = 1;
    std::vector<std::string> files;
};

enum LongOnly {
    kOverrun = 256,
    kBuffer,
    kNoTruncate,
    kRename,
    kNoDate,
    kDummy,
    kDummyEach,
    kExtraWipe,
    kExtraWipeInTemp,
    kExtraWipeEachPass,
    kFreeSpace,
};

const option kOptions[] = {
    {"passes", required_argument, nullptr, 'n'},
    {"zeros", no_argument, nullptr, 'z'},
    {"overrun", required_argument, nullptr, kOverrun},
    {"buffer", required_argument, nullptr, kBuffer},
    {"no-truncate", no_argument, nullptr, kNoTruncate},
    {"rename", required_argument, nullptr, kRename},
    {"no-date", no_argument, nullptr, kNoDate},
    {"keep", no_argument, nullptr, 'k'},
    {"dummy", required_argument, nullptr, kDummy},
    {"dummy-each", no_argument, nullptr, kDummyEach},
    {"extra-wipe", required_argument, nullptr, kExtraWipe},
    {"extra-wipe-in-temp", no_argument, nullptr, kExtraWipeInTemp},
    {"extra-wipe-each-pass", no_argument, nullptr, kExtraWipeEachPass},
    {"recursive", no_argument, nullptr, 'r'},
    {"free-space", required_argument, nullptr, kFreeSpace},
    {"interactive", no_argument, nullptr, 'i'},
    {"verbose", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

const char kHelp[] =
    "Usage: tidewipe [OPTION]... FILE...\n"
    "  or:  tidewipe [OPTION]... --free-space=DIR [FILE]...\n"
    "Overwrite each FILE several times, truncate it, rename it, back-date it and remove it,\n"
    "so that neither its contents nor its name stay readable on the disk.\n"
    "\n"
    "  -n, --passes=N            overwrite passes, 1 to 50 (3)\n"
    "  -z, --zeros               overwrite with zero bytes instead of random ones\n"
    "      --overrun=BYTES       bytes appended past the end first, 0 to 65536 (0)\n"
    "      --buffer=BYTES        write size, 1 to 2048 (2048)\n"
    "      --no-truncate         do not cut the file to zero length\n"
    "      --rename=MODE         off, random (default), or system: a random name,\n"
    "                            then one like a system file's\n"
    "      --no-date             do not back-date the file\n"
    "  -k, --keep                leave the wiped file in place\n"
    "      --dummy=N             make and remove N dummy files (1 to 100) in each\n"
    "                            folder where a file was wiped, so that old name\n"
    "                            entries are reused\n"
    "      --dummy-each          with --dummy: after every wiped file instead of once\n"
    "      --extra-wipe=MB       overwrite free space beside the file with a scratch\n"
    "                            file of MB megabytes (1 to 100), then remove it\n"
    "      --extra-wipe-in-temp  with --extra-wipe: in $TMPDIR (or /tmp) instead\n"
    "      --extra-wipe-each-pass  with --extra-wipe: after every pass, not once\n"
    "  -r, -R, --recursive       wipe each folder named and everything in it: its\n"
    "                            files as above, then each folder, renamed, removed\n"
    "      --free-space=DIR      then wipe the free space of the file system that\n"
    "                            holds DIR, touching no file: its free inodes,\n"
    "                            blocks and DIR's own free name entries, with one\n"
    "                            random pass unless -n or -z says otherwise\n"
    "  -i, --interactive         ask before starting\n"
    "  -v, --verbose             tell each file's result and a summary\n"
    "  -h, --help                show this help and exit\n"
    "  -V, --version             show the version and exit\n"
    "\n"
    "Links, devices, pipes, sockets, mount points and, without -r, folders are refused;\n"
    "inside a folder wiped with -r, links, pipes, sockets and devices lose their names\n"
    "only, and another file system mounted there is left as it is. Overwriting in\n"
    "place cannot reach copies that the file system or the device keeps elsewhere\n"
    "(copy-on-write and log-structured file systems, journals, SSDs, snapshots, backups):\n"
    "see tidewipe(1).\n"
    "\n"
    "Exit status: 0 when every FILE was wiped, 1 when any failed or was refused, 2 for a\n"
    "usage error, 128 plus the signal's number after an interrupt.\n";

int UsageError(const std::string& why) {
    Say(why);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
    return 2;
}

// The option whose value getopt_long just found missing, as the user typed it: a long one by
// its name, a short one alone (it may stand in a cluster).
std::string Offending(char** argv) {
    const std::string typed = argv[optind - 1];
    if (typed.rfind("--", 0) == 0) return typed.substr(0, typed.find('='));
    return std::string("-") + static_cast<char>(optopt);
}

// An unknown long option, or one that names the start of several: the candidates then.
std::string Unknown(const std::string& typed) {
    const std::string name = typed.substr(2, typed.find('=') - 2);
    std::string candidates;
    int count = 0;
    for (const option* o = kOptions; typed.rfind("--", 0) == 0 && o->name != nullptr; ++o) {
        if (std::string(o->name).rfind(name, 0) != 0) continue;
        candidates += std::string(" '--") + o->name + "'";
        ++count;
    }
    if (count < 2) return "unknown option '" + Shown(typed) + "'";
    return "option '" + Shown(typed) + "' is ambiguous; possibilities:" + candidates;
}

// What GNU tools do when standard output cannot take what they wrote: say so, and fail.
int Written() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    Say(std::string("write error: ") + std::strerror(errno));
    return 1;
}

// A whole decimal number within the range; the option's name and range when not.
bool ParseNumber(const char* option, const char* text, int32_t low, int32_t high, int32_t& out,
                 std::string& error) {
    const std::string value = text;
    bool digits = !value.empty() && value.size() <= 9;
    for (const char c : value)
        digits = digits && c >= '0' && c <= '9';
    const long number = digits ? std::strtol(value.c_str(), nullptr, 10) : -1;
    if (!digits || number < low || number > high) {
        error = std::string("--") + option + ": " + Quoted(value) + " is not a number from " +
                std::to_string(low) + " to " + std::to_string(high);
        return false;
    }
    out = static_cast<int32_t>(number);
    return true;
}

// 0 to go on; otherwise the exit status (help and version exit with 0, errors with 2).
int ParseArguments(int argc, char** argv, Settings& s, bool& exitNow) {
    WipeOptions& o = s.options;
    std::string error;
    // The order matters for the options that only refine others.
    bool dummyEach = false, extraInTemp = false, extraEachPass = false, passes = false;
    opterr = 0;
    for (;;) {
        int index = -1;
        // Options may follow the names, as with every GNU tool ("--" or POSIXLY_CORRECT ends
        // them); ":": a missing value is told apart from an unknown option.
        const int c = getopt_long(argc, argv, ":n:zkirRvhV", kOptions, &index);
        if (c == -1) break;
        bool ok = true;
        switch (c) {
            case 'n':
                ok = ParseNumber("passes", optarg, 1, 50, o.nOvwr, error);
                passes = true;
                break;
            case 'z':
                o.rNull = 0;
                break;
            case kOverrun:
                ok = ParseNumber("overrun", optarg, 0, 65536, o.m_nOverrun, error);
                break;
            case kBuffer:
                ok = ParseNumber("buffer", optarg, 1, 2048, o.m_nBufferSize, error);
                break;
            case kNoTruncate:
                o.rZLen = 0;
                break;
            case kRename: {
                const std::string mode = optarg;
                if (mode == "off") {
                    o.rRen = 0;
                } else if (mode == "random") {
                    o.rRen = 1;
                } else if (mode == "system") {
                    o.rRen = 2;
                } else {
                    ok = false;
                    error = "--rename: " + Quoted(mode) + " is not off, random or system";
                }
                break;
            }
            case kNoDate:
                o.Date = 0;
                break;
            case 'k':
                o.bNotDel = 1;
                break;
            case kDummy:
                ok = ParseNumber("dummy", optarg, 1, 100, o.nFiles, error);
                o.Dummy = 1;
                break;
            case kDummyEach:
                dummyEach = true;
                break;
            case kExtraWipe:
                ok = ParseNumber("extra-wipe", optarg, 1, 100, o.nAnticacheSize, error);
                o.AddWipe = 1;
                break;
            case kExtraWipeInTemp:
                extraInTemp = true;
                break;
            case kExtraWipeEachPass:
                extraEachPass = true;
                break;
            case kFreeSpace:
                s.freeSpace = optarg;
                if (s.freeSpace.empty()) {
                    ok = false;
                    error = "--free-space: '' names no folder";
                }
                break;
            case 'i':
                s.interactive = true;
                break;
            case 'r':
            case 'R':
                s.recursive = true;
                break;
            case 'v':
                s.verbose = true;
                break;
            case 'h':
                std::fputs(kHelp, stdout);
                exitNow = true;
                return Written();
            case 'V':
                std::printf("%s %s\n", kProgram, kVersion);
                exitNow = true;
                return Written();
            case ':':
                return UsageError("option '" + Shown(Offending(argv)) + "' needs a value");
            default:
                // A short option that does not exist; a long one given a value it takes none
                // of (its element is behind); else a long one unknown or ambiguous.
                if (optopt > 0 && optopt < 256 && std::strchr("nzkirRvhV", optopt) == nullptr)
                    return UsageError(std::string("unknown option '-") + static_cast<char>(optopt) +
                                      "'");
                if (optopt != 0)
                    return UsageError("option '" + Shown(Offending(argv)) + "' takes no value");
                return UsageError(Unknown(argv[optind - 1]));
        }
        if (!ok) return UsageError(error);
    }
    if (dummyEach && o.Dummy == 0) return UsageError("--dummy-each: needs --dummy");
    if ((extraInTemp || extraEachPass) && o.AddWipe == 0)
        return UsageError(
            std::string(extraInTemp ? "--extra-wipe-in-temp" : "--extra-wipe-each-pass") +
            ": needs --extra-wipe");
    if (dummyEach) o.DummySkip = 0;
    if (extraInTemp) o.rAntiFolder = 1;
    if (extraEachPass) o.bAntiOneShot = 0;
    for (int i = optind; i < argc; ++i)
        s.files.emplace_back(argv[i]);
    if (s.files.empty() && s.freeSpace.empty()) return UsageError("no file named");
    // One random pass is what free space usually gets: its old data is not the user's secret
    // of the day, and there may be a great deal of it.
    s.freePasses = passes ? o.nOvwr : 1;
    return 0;
}

// Why a target that the engine would not take is refused, in the user's terms; `attributes`
// are what the engine saw.
std::string Refusal(int dir, const std::string& name, int attributes) {
    struct stat st;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::strerror(errno);
    if (S_ISLNK(st.st_mode)) return "refused: a symbolic link (not followed)";
    if (S_ISDIR(st.st_mode)) return "refused: a folder";
    if (!S_ISREG(st.st_mode)) return "refused: not a regular file";
    if ((attributes & kAttrReparsePoint) != 0) return "refused: a mount point";
    return "refused: a sparse file";
}

// What a failed WipeFile stopped at.
std::string FailureText(int code, const DeleteJob::Failure& f) {
    const char* what = "cannot wipe";
    switch (code) {
        case ErrGetAttributes:
            what = "cannot read its status";
            break;
        case ErrChangeAttributes:
            what = "cannot change its permissions";
            break;
        case ErrOpen:
            what = "cannot open";
            break;
        case ErrWrite:
            what = "cannot overwrite";
            break;
        case ErrTruncate:
            what = "cannot truncate";
            break;
        case ErrRename:
            what = "cannot rename";
            break;
        case ErrChangeDate:
            what = "cannot change its times";
            break;
        case ErrDelete:
            what = "cannot remove";
            break;
        case ErrFileTooLarge:
            return "refused: larger than 2147000000 bytes";
        default:
            break;
    }
    if (f.replaced) return std::string(what) + ": replaced by another file during the wipe";
    if (f.written) return std::string(what) + ": was written to during the wipe";
    // A name that no longer opens because a link took its place: the cause, not the symptom.
    if (f.osError == ELOOP) return std::string(what) + ": replaced by a link during the wipe";
    if (f.osError > 0) return std::string(what) + ": " + std::strerror(static_cast<int>(f.osError));
    return what;
}

class ProgressLine {
public:
    explicit ProgressLine(bool on) : m_on(on) {}

    // With -r the line also tells the whole job's bytes, which a first walk counted.
    void SetJobBytes(uint64_t found) { m_jobFound = found; }
    // `seconds`: how long the file has taken already.
    void Start(size_t index, size_t count, const std::string& name, uint64_t size,
               double seconds = 0) {
        m_index = index;
        m_count = count;
        m_name = Shown(name);
        m_size = size;
        m_start = std::chrono::steady_clock::now() -
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      std::chrono::duration<double>(seconds));
        m_last = {};
    }
    void Done() { m_jobDone += m_size; }
    void Update(int pass, int passes, int64_t done, int64_t total) {
        if (!m_on) return;
        const auto now = std::chrono::steady_clock::now();
        if (done < total && now - m_last < std::chrono::milliseconds(200)) return;
        m_last = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const double mib = 1048576.0;
        const double rate =
            seconds > 0 ? (static_cast<double>(total) * (pass - 1) + static_cast<double>(done)) /
                              mib / seconds
                        : 0.0;
        std::string job;
        if (m_jobFound > 0) {
            // This file's part of the job so far: its passes count as one reading of its bytes.
            const double part =
                total > 0 ? (static_cast<double>(total) * (pass - 1) + static_cast<double>(done)) /
                                (static_cast<double>(total) * passes)
                          : 1.0;
            char text[64];
            std::snprintf(
                text, sizeof(text), ", %.0f/%.0f MB in all",
                (static_cast<double>(m_jobDone) + part * static_cast<double>(m_size)) / mib,
                static_cast<double>(m_jobFound) / mib);
            job = text;
        }
        std::fprintf(stderr, "\r\033[K%s: [%zu/%zu] %s: %.0f/%.0f MB, pass %d/%d%s, %.0f MB/s",
                     kProgram, m_index, m_count, m_name.c_str(), static_cast<double>(done) / mib,
                     static_cast<double>(total) / mib, pass, passes, job.c_str(), rate);
        m_shown = true;
    }
    void Clear() {
        if (m_shown) std::fputs("\r\033[K", stderr);
        m_shown = false;
    }

private:
    bool m_on;
    bool m_shown = false;
    size_t m_index = 0;
    size_t m_count = 0;
    std::string m_name;
    uint64_t m_size = 0;
    uint64_t m_jobFound = 0;
    uint64_t m_jobDone = 0;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last;
};

// The line on show, which a message clears first.
ProgressLine* g_progressLine = nullptr;

void ClearProgressLine() {
    if (g_progressLine != nullptr) g_progressLine->Clear();
}

// Small files wiped side by side, each by a job of its own: a small file's time goes mostly
// to waiting for the disk to take its flushes, and a disk takes several at once in little
// more time than one.
class Crew {
public:
    // A thousand files of 4 KiB took 0.8 s one by one, 0.42 s four at once and 0.30 s eight at
    // once (on two cores, where the kernel's own work is then what is left).
    static constexpr size_t kSize = 8;

    struct Task {
        std::string name;
        bool started = false;
        bool checked = false;
        int attributes = 0;
        int code = 0;
        DeleteJob::Failure failure;
        std::string now;  // the name it was left under
        double seconds = 0;
    };

    Crew(const WipeOptions& options, size_t size) {
        for (size_t k = 0; k < size; ++k) {
            m_members.push_back(std::make_unique<Member>(k));
            static_cast<WipeOptions&>(m_members.back()->job) = options;
            m_members.back()->job.m_pStop = &g_signal;
        }
    }

    // Wipes the tasks' files of the folder `dir` (shown as `prefix`); an interrupt leaves the
    // rest unstarted.
    void Run(int dir, const std::string& prefix, std::vector<Task>& tasks) {
        std::atomic<size_t> next{0};
        auto work = [&](Member& m) {
            for (size_t i = next++; i < tasks.size() && g_signal == 0; i = next++) {
                Task& t = tasks[i];
                const auto start = std::chrono::steady_clock::now();
                t.started = true;
                t.checked = m.job.CheckTargetIn(m.files.FolderOf(dir, prefix), t.name);
                t.attributes = m.job.m_nAttributes;
                if (t.checked) t.code = m.job.WipeFile(nullptr);
                t.failure = m.job.m_failure;
                t.now = m.job.m_strPath;
                t.seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            }
        };
        std::vector<std::thread> others;
        for (size_t k = 1; k < m_members.size() && k < tasks.size(); ++k)
            others.emplace_back(work, std::ref(*m_members[k]));
        work(*m_members[0]);
        for (std::thread& other : others)
            other.join();
    }

private:
    // Seeds apart: jobs seeded in the same second would draw the same scratch names.
    class SpreadClock : public Clock {
    public:
        explicit SpreadClock(size_t k) : m_offset(static_cast<int64_t>(k) * 1000003) {}
        int64_t Now() override { return static_cast<int64_t>(std::time(nullptr)) + m_offset; }

    private:
        int64_t m_offset;
    };
    struct Member {
        explicit Member(size_t k) : clock(k) {}
        PosixFileLayer files;
        ConsoleUi ui;
        EnglishTextSource texts;
        SpreadClock clock;
        DeleteJob job{files, ui, texts, clock};
    };
    std::vector<std::unique_ptr<Member>> m_members;
};

// The options of the mount that holds the file (those of the mount and of its file system, as
// /proc/self/mountinfo gives them), or empty where they cannot be read.
std::string MountOptions(const struct stat& st) {
    std::ifstream info("/proc/self/mountinfo");
    const std::string device =
        std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    for (std::string line; std::getline(info, line);) {
        // id parent major:minor root point options [fields] - type source super-options
        std::istringstream in(line);
        std::string id, parent, numbers, root, point, options, field;
        in >> id >> parent >> numbers >> root >> point >> options;
        if (numbers != device) continue;
        while (in >> field && field != "-") {
        }
        std::string type, source, super;
        in >> type >> source >> super;
        return options + "," + super;
    }
    return std::string();
}

// The warnings for the file `name` in the folder `dir`, shown as `path`, before it is wiped:
// its other names, and once per file system, one that overwriting in place may not reach
// through.
std::vector<std::string> FileSystemWarnings(int dir, const std::string& name,
                                            const std::string& path, bool truncated,
                                            std::set<dev_t>& warned) {
    struct stat st;
    struct statfs fs;
    std::vector<std::string> said;
    if (::fstatat(dir, name.c_str(), &st, 0) != 0 ||
        (dir == AT_FDCWD ? ::statfs(name.c_str(), &fs) : ::fstatfs(dir, &fs)) != 0)
        return said;
    if (st.st_nlink > 1)
        said.push_back(Shown(path) + ": warning: " + std::to_string(st.st_nlink - 1) +
                       " other hard link(s) will keep naming this file, " +
                       (truncated ? "emptied" : "overwritten"));
    // Each file system is looked at once: a folder of many files reads the mounts once.
    if (!warned.insert(st.st_dev).second) return said;
    const std::string why = FileSystemWarning(static_cast<uint64_t>(fs.f_type), MountOptions(st));
    if (!why.empty()) said.push_back(Shown(path) + ": warning: " + why);
    return said;
}

// A warning where the device under the file system may keep old blocks elsewhere.
std::string DeviceWarning(const struct stat& st) {
    const std::string device = SysBlockPath(st.st_dev);
    for (const char* queue : {"/queue/rotational", "/../queue/rotational"}) {
        std::ifstream in(device + queue);
        char rotational = 0;
        if (in >> rotational)
            return rotational == '0' ? "on a solid-state device, which may keep old blocks where "
                                       "no write reaches them"
                                     : "";
    }
    return std::string();
}

// The free space of the file system that holds the folder; true when it was all wiped.
bool WipeFreeSpace(const Settings& settings, bool terminal) {
    const std::string& dir = settings.freeSpace;
    const std::string where = Shown(dir) + ": free space: ";
    struct stat st;
    struct statfs fs;
    if (::stat(dir.c_str(), &st) != 0 || ::statfs(dir.c_str(), &fs) != 0) {
        Say(where + std::strerror(errno));
        return false;
    }
    // (A journal that keeps the data is gone round, so that warning does not hold here.)
    for (const std::string& why :
         {FileSystemWarning(static_cast<uint64_t>(fs.f_type)), DeviceWarning(st)})
        if (!why.empty()) Say(where + "warning: " + why);

    static const char* const kStages[] = {"inodes",  "fill",   "leftovers",
                                          "entries", "passes", "journal"};
    const double mib = 1048576.0;
    const auto start = std::chrono::steady_clock::now();
    auto last = start;
    FreeSpaceWipe::Calls calls;
    calls.stop = []() { return g_signal != 0; };
    calls.progress = [&](FreeSpaceWipe::Stage stage, uint64_t done, uint64_t free) {
        const auto now = std::chrono::steady_clock::now();
        if (!terminal || now - last < std::chrono::milliseconds(200)) return;
        last = now;
        const double seconds = std::chrono::duration<double>(now - start).count();
        if (stage == FreeSpaceWipe::kInodes || stage == FreeSpaceWipe::kEntries)
            std::fprintf(stderr, "\r\033[K%s: free space: %s %llu", kProgram, kStages[stage],
                         static_cast<unsigned long long>(done));
        else
            std::fprintf(stderr, "\r\033[K%s: free space: %s %.0f/%.0f MB, %.0f MB/s", kProgram,
                         kStages[stage], static_cast<double>(done) / mib,
                         static_cast<double>(free) / mib,
                         seconds > 0 ? static_cast<double>(done) / mib / seconds : 0.0);
    };
    FreeSpaceWipe wipe(settings.freePasses, settings.options.rNull == 0, calls);
    const std::string why = wipe.Run(dir);
    if (terminal) std::fputs("\r\033[K", stderr);
    if (g_signal != 0) {
        Say(where + "interrupted; all it made is removed");
        return false;
    }
    if (!why.empty()) {
        Say(where + why + "; all it made is removed");
        return false;
    }
    if (wipe.ReservedUnreached() > 0)
        Say(where + "warning: the " +
            std::to_string((wipe.ReservedUnreached() + (1 << 20) - 1) >> 20) +
            " MB kept for root were not reached (root reaches them)");
    if (settings.verbose || terminal) {
        std::string summary;
        for (int stage = 0; stage < FreeSpaceWipe::kStages; ++stage) {
            const FreeSpaceWipe::Done& done = wipe.Of(static_cast<FreeSpaceWipe::Stage>(stage));
            char text[96];
            const bool count = stage == FreeSpaceWipe::kInodes || stage == FreeSpaceWipe::kEntries;
            std::snprintf(
                text, sizeof(text), count ? "%s%s %.0f (%.1f s)" : "%s%s %.0f MB (%.1f s)",
                summary.empty() ? "" : ", ", kStages[stage],
                count ? static_cast<double>(done.amount) : static_cast<double>(done.amount) / mib,
                done.seconds);
            summary += text;
        }
        Say(where + "wiped: " + summary);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    Settings settings;
    bool exitNow = false;
    const int status = ParseArguments(argc, argv, settings, exitNow);
    if (status != 0 || exitNow) return status;

    struct sigaction action = {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signo : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signo, &action, nullptr);
    // Standard error on a pipe that nobody reads must not end the program before it has
    // removed its scratch files: the write fails instead, and the exit status says so.
    std::signal(SIGPIPE, SIG_IGN);

    const size_t count = settings.files.size();
    if (settings.interactive) {
        std::string what = std::to_string(count) + (count == 1 ? " file" : " files");
        if (!settings.freeSpace.empty())
            what = (count == 0 ? "" : what + " and ") + "the free space of " +
                   Shown(settings.freeSpace);
        std::fprintf(stderr, "%s: wipe %s? [y/N] ", kProgram, what.c_str());
        char answer[16] = {};
        const bool read = std::fgets(answer, sizeof(answer), stdin) != nullptr;
        if (g_signal != 0) return 128 + g_signal;
        if (!read) std::fputc('\n', stderr);  // the prompt's line ends, as the answer's would
        // The answers that rm -i takes, in the user's language.
        answer[std::strcspn(answer, "\r\n")] = '\0';
        if (!read || ::rpmatch(answer) != 1) return 1;
    }

    PosixFileLayer files;
    ConsoleUi ui;
    EnglishTextSource texts;
    SystemClock clock;
    DeleteJob job(files, ui, texts, clock);
    static_cast<WipeOptions&>(job) = settings.options;
    job.m_pStop = &g_signal;
    ui.failure = &job.m_dummyFailure;
    ProgressLine progress(::isatty(STDERR_FILENO) != 0);
    g_progressLine = &progress;
    job.m_onProgress = [&](int pass, int passes, int64_t done, int64_t total) {
        progress.Update(pass, passes, done, total);
    };

    auto dummyStage = [&]() {
        ui.inDummyStage = true;
        job.MakeDummyFileEntries();
        ui.inDummyStage = false;
    };

    std::set<dev_t> warned;
    size_t wiped = 0;
    size_t failed = 0;
    // The dummy stage goes only where a file was wiped: once in each such folder, or with
    // --dummy-each once after each wiped file; never in a folder that was only refused.
    std::vector<std::string> wipedIn;

    // With -r a first walk counts what the folders hold, for the progress line and for what an
    // interrupt leaves unreached.
    auto isTree = [&settings](const std::string& path) {
        struct stat st;
        return settings.recursive && !path.empty() && ::lstat(path.c_str(), &st) == 0 &&
               S_ISDIR(st.st_mode);
    };
    size_t found = 0;
    uint64_t bytes = 0;
    TreeWipe::Calls calls;
    calls.stop = []() { return g_signal != 0; };
    for (const std::string& path : settings.files) {
        if (!isTree(path)) {
            struct stat st;
            ++found;
            bytes += ::lstat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
            continue;
        }
        const TreeWipe::Totals totals = TreeWipe(files, calls).Count(path);
        found += totals.files;
        bytes += totals.bytes;
    }
    if (settings.recursive) progress.SetJobBytes(bytes);

    size_t reached = 0;
    auto sizeOf = [](int dir, const std::string& name) {
        struct stat st;
        return ::fstatat(dir, name.c_str(), &st, 0) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    };
    // Says how the wipe of `shown` (`name` in the folder of the path `prefix`, "" where the
    // engine holds its path) went, which ended with `code` and `f` and left it as `now`; true
    // when it was wiped.
    auto report = [&](int code, const WipeFailure& f, const std::string& now,
                      const std::string& name, const std::string& shown,
                      const std::string& prefix) {
        if (f.stopped) {
            Say(Shown(shown) + ": interrupted; left " +
                (!f.overwritten ? "partly overwritten"
                 : f.truncated  ? "overwritten and cut to 0 bytes"
                                : "overwritten") +
                " as " + Shown(prefix + now));
            ++failed;
            return false;
        }
        if (code == Success && f.notDated)
            Say(Shown(shown) + ": warning: not back-dated: only its owner may change its times");
        if (code == Success) {
            ++wiped;
            if (settings.verbose)
                Say(Shown(shown) + ": wiped" +
                    (job.bNotDel != 0 ? ", kept as " + Shown(prefix + now) : ""));
        } else {
            ++failed;
            Say(Shown(shown) + ": " + FailureText(code, f) +
                (now != name ? "; left as " + Shown(prefix + now) : ""));
        }
        // The extra wipe was asked for: one that could not be made or finished fails the run.
        if (f.extraFailed) {
            std::string what = "not made";
            if (f.extraWritten > 0)
                what = "only " + std::to_string(f.extraWritten / (1 << 20)) + " MB written";
            if (f.extraError > 0)
                what += std::string(": ") + std::strerror(static_cast<int>(f.extraError));
            Say(Shown(shown) + ": extra wipe: " + what);
            ++failed;
        }
        if (job.Dummy != 0 && job.DummySkip == 0 && code == Success) dummyStage();
        return code == Success;
    };
    // Wipes the target that a check passed, as `report` names it.
    auto wipeChecked = [&](int dir, const std::string& name, const std::string& shown,
                           const std::string& prefix) {
        for (const std::string& warning :
             FileSystemWarnings(dir, name, shown, job.rZLen != 0, warned))
            Say(warning);
        progress.Start(++reached, std::max(found, reached), shown, sizeOf(dir, name));
        const int code = job.WipeFile(nullptr);
        progress.Clear();
        progress.Done();
        return report(code, job.m_failure, job.m_strPath, name, shown, prefix);
    };

    calls.fail = [&failed](const std::string& shown, const std::string& what) {
        Say(Shown(shown) + ": " + what);
        ++failed;
    };
    calls.tell = [&settings](const std::string& shown, const std::string& what) {
        if (settings.verbose) Say(Shown(shown) + ": " + what);
    };
    calls.file = [&](int dir, const std::string& name, const std::string& shown) {
        if (!job.CheckTargetIn(files.FolderOf(dir, shown.substr(0, shown.size() - name.size())),
                               name)) {
            Say(Shown(shown) + ": " + Refusal(dir, name, job.m_nAttributes));
            ++failed;
            ++reached;
            return false;
        }
        return wipeChecked(dir, name, shown, shown.substr(0, shown.size() - name.size()));
    };
    // Small files of a tree go side by side, unless each wants a stage of its own afterwards
    // (the dummy stage, the extra wipe) that would then run side by side too. What is said
    // comes in the order of the files, as one by one.
    Crew crew(job, Crew::kSize);
    if (job.AddWipe == 0 && (job.Dummy == 0 || job.DummySkip != 0))
        calls.files = [&](int dir, const std::vector<std::string>& names,
                          const std::vector<std::string>& shown) {
            const std::string prefix = shown[0].substr(0, shown[0].size() - names[0].size());
            std::vector<Crew::Task> tasks(names.size());
            std::vector<std::vector<std::string>> warnings;
            std::vector<uint64_t> sizes;
            for (size_t i = 0; i < names.size(); ++i) {
                tasks[i].name = names[i];
                warnings.push_back(
                    FileSystemWarnings(dir, names[i], shown[i], job.rZLen != 0, warned));
                sizes.push_back(sizeOf(dir, names[i]));
            }
            crew.Run(dir, prefix, tasks);
            std::vector<bool> gone(names.size(), false);
            // An interrupt may leave a file unstarted between two that were.
            size_t last = tasks.size();
            for (size_t i = 0; i < tasks.size(); ++i) {
                const Crew::Task& t = tasks[i];
                if (!t.started) continue;
                last = i;
                for (const std::string& warning : warnings[i])
                    Say(warning);
                progress.Start(++reached, std::max(found, reached), shown[i], sizes[i], t.seconds);
                progress.Done();
                if (!t.checked) {
                    Say(Shown(shown[i]) + ": " + Refusal(dir, names[i], t.attributes));
                    ++failed;
                    continue;
                }
                gone[i] = report(t.code, t.failure, t.now, names[i], shown[i], prefix);
            }
            // The line tells the last file done, until something else is said.
            if (last < tasks.size() && job.nOvwr > 0)
                progress.Update(job.nOvwr, job.nOvwr, static_cast<int64_t>(sizes[last]),
                                static_cast<int64_t>(sizes[last]));
            return gone;
        };
    calls.dummy = [&](int dir, const std::string& shown) {
        if (job.Dummy == 0 || job.DummySkip == 0) return;
        job.UseFolder(files.FolderOf(dir, shown + "/"));
        dummyStage();
    };

    for (size_t i = 0; i < count && g_signal == 0; ++i) {
        const std::string& path = settings.files[i];
        if (isTree(path)) {
            // As rm does: the folder named, never what "." or ".." stand for, nor the root.
            std::string base = path.substr(0, path.find_last_not_of('/') + 1);
            base = base.substr(base.rfind('/') + 1);
            if (base.empty() || base == "." || base == "..") {
                Say(Shown(path) + ": refused: " +
                    (base.empty() ? "the root folder is not wiped" : "'.' and '..' are not wiped"));
                ++failed;
                continue;
            }
            TreeWipe tree(files, calls);
            bool wipedAbove = false;
            const bool gone = tree.Wipe(path, job.bNotDel != 0, job.rRen != 0, wipedAbove);
            // Once for the named folder, not once for each folder above what stayed.
            if (!gone && tree.Held() && job.bNotDel == 0 && g_signal == 0)
                Say(Shown(path) + ": not removed: it still holds what could not be wiped");
            const std::string trimmed = path.substr(0, path.find_last_not_of('/') + 1);
            const std::string parent = trimmed.substr(0, trimmed.rfind('/') + 1);
            if (wipedAbove && std::find(wipedIn.begin(), wipedIn.end(), parent) == wipedIn.end())
                wipedIn.push_back(parent);
            continue;
        }
        job.m_strPath = path;
        const bool eligible = !path.empty() && job.CheckTarget();
        if (!eligible) {
            Say(Shown(path) + ": " +
                (path.empty() ? std::strerror(ENOENT)
                              : Refusal(AT_FDCWD, path, job.m_nAttributes)));
            ++failed;
            ++reached;
            continue;
        }
        const std::string folder = job.m_strFolder;
        if (wipeChecked(AT_FDCWD, path, path, "") &&
            std::find(wipedIn.begin(), wipedIn.end(), folder) == wipedIn.end())
            wipedIn.push_back(folder);
    }
    if (g_signal != 0 && found > reached)
        Say(std::to_string(found - reached) + " file" + (found - reached == 1 ? "" : "s") +
            " not reached");
    // The folders that the walks held are gone: each stage opens its folder by its path.
    job.UseFolder(nullptr);
    for (size_t i = 0; g_signal == 0 && job.Dummy != 0 && job.DummySkip != 0 && i < wipedIn.size();
         ++i) {
        job.m_strFolder = wipedIn[i];
        dummyStage();
    }
    if (ui.dummyFailed) ++failed;
    if (!settings.freeSpace.empty() && g_signal == 0)
        failed += WipeFreeSpace(settings, ::isatty(STDERR_FILENO) != 0) ? 0 : 1;

    progress.Clear();
    if (settings.verbose)
        Say(std::to_string(wiped) + " wiped, " + std::to_string(failed) + " failed");
    if (g_signal != 0) {
        Say(std::string("stopped by ") + strsignal(g_signal));
        return 128 + g_signal;
    }
    return failed == 0 && !std::ferror(stderr) ? 0 : 1;
}
