// Whole jobs on real files: what the log, the boxes and the folder show afterwards, for each
// option and each kind of target; then every failing call of the file layer in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "job/DeleteJob.h"
#include "job/JobUi.h"
#include "job/TextSource.h"
#include "support/RealFiles.h"
#include "support/TestLayer.h"
#include "wipe/Clock.h"

namespace {

namespace fs = std::filesystem;

// Records what a job shows and asks, and what its progress window is told: one line an event,
// in order.
class RecordingUi : public JobUi {
public:
    std::vector<std::string> events;
    bool answer = true;
    bool failProgress = false;

    void Add(const std::string& event) { events.push_back(event); }
    void ShowBox(const std::string& text, const std::string& title, unsigned flags) override {
        char hex[16];
        std::snprintf(hex, sizeof(hex), "%x", flags);
        Add(title + " " + hex + ": " + text);
    }
    void Beep(unsigned type) override { Add("Beep " + std::to_string(type)); }
    bool Confirm(const std::string& question) override {
        Add("Confirm: " + question);
        return answer;
    }
    void Sleep(unsigned ms) override { Add("Sleep " + std::to_string(ms)); }

    struct Window : ProgressWindow {
        explicit Window(RecordingUi& owner) : ui(owner) {}
        ~Window() override { ui.Add("Close"); }
        void SetItemText(int id, const std::string& text) override {
            ui.Add(std::to_string(id) + " " + text);
        }
        void SetBarPos(int pos) override { ui.Add("Pos " + std::to_string(pos)); }
        void Repaint() override { ui.Add("Repaint"); }
        RecordingUi& ui;
    };
    std::unique_ptr<ProgressWindow> CreateProgress() override {
        Add("Progress");
        return failProgress ? nullptr : std::make_unique<Window>(*this);
    }
};

// A clock that says what it is told.
class TestClock : public Clock {
public:
    int64_t now = 900000000;
    int64_t Now() override { return now; }
};

struct Scenario {
    const char* name;
    // Entries to make: "name=size" (bytes 'a' to 'z' over and over), "ro:" before it for a
    // read-only file, "name/" a folder. (Links, pipes and the like: the Linux program's tests.)
    const char* files;
    void (*setup)(class Job&);
    // The targets; % stands for the folder.
    const char* targets;
    // One line each, with the fixed texts shortened: the log below its header; the boxes and
    // the progress window's calls; what the folder holds, then the buffer size, overrun and
    // progress setting as the job keeps them where they are not the defaults; the sizes of the
    // writes, one group an open.
    const char* expect;
};

// So that ctest lists a row by what it tests.
void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.name;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); !from.empty() && at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Original(size_t size) {
    std::string s(size, 'a');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>('a' + i % 26);
    return s;
}

// A job on real files in a scratch folder of its own, through the test layer; no confirmation
// and no progress window unless a test asks for them.
class Job : public ::testing::Test {
public:
    Job() { job.m_pLog = &log, job.DispF = 0, job.NDispN = 1; }
    // Only the contents: no renaming, no date, no truncation, and the file stays.
    void Keep() { job.rRen = job.Date = job.rZLen = 0, job.bNotDel = 1; }
    // Two passes, the overrun, both renames, an empty scratch file and dummy files after each.
    void EveryStage() {
        job.nOvwr = job.nFiles = 2;
        job.m_nOverrun = job.Dummy = job.AddWipe = 1;
        job.rRen = 2;
        job.DummySkip = job.nAnticacheSize = 0;
    }

    // An entry of the scratch folder as the engine names it, and the folder.
    std::string At(const std::string& name) const {
        return (files.Pretending() ? Replace("C:" + dir.Path(), "/", "\\") : dir.Path()) + name;
    }
    std::unique_ptr<FolderHandle> Folder() { return files.OpenFolder(At("")); }
    // The folder's names, sorted.
    std::vector<std::string> Left() const { return realfiles::List(dir.Path()); }

    realfiles::ScratchFolder dir;
    TestLayer files;
    RecordingUi ui;
    EnglishTextSource texts;
    TestClock clock;
    DeleteJob job{files, ui, texts, clock};
    std::string log;

    // Empties the folder and makes the entries; nothing recorded yet.
    void MakeEntries(const std::string& entries) {
        for (const std::string& name : Left())
            std::remove((dir.Path() + name).c_str());
        std::istringstream in(entries);
        for (std::string entry; in >> entry;) {
            const bool ro = entry.rfind("ro:", 0) == 0;
            if (ro) entry.erase(0, 3);
            const size_t eq = entry.find('=');
            if (entry.back() == '/') {
                fs::create_directories(fs::u8path(dir.Path() + entry));
            } else {
                const std::string name = entry.substr(0, eq);
                realfiles::Write(dir.Path() + name, Original(std::stoul(entry.substr(eq + 1))));
                FileStatus status;
                status.m_attribute = kAttrReadOnly;
                if (ro) Folder()->Open(name, OpenMode::kStatusOnly)->SetStatus(status);
            }
        }
        files.calls.clear();
        ui.events.clear();
        log.clear();
    }

    // One entry of the folder: name, size, and what its bytes are: "=" as made, "X0" the
    // closing mark over zeros, "Xr" over random bytes; "old" when back-dated, "ro" read-only.
    std::string Describe(const std::string& name) {
        if (name.back() == '/') return name;
        const std::string bytes = realfiles::Read(dir.Path() + name);
        const size_t mark = !bytes.empty() && bytes[0] == 'X' ? 1 : 0;
        std::string out = name + ":" + std::to_string(bytes.size()) + (mark ? ":X" : ":");
        if (bytes.size() > mark && bytes.substr(mark) == Original(bytes.size()).substr(mark)) {
            out += "=";
        } else if (bytes.find_first_not_of('\0', mark) == std::string::npos) {
            out += bytes.size() > mark ? "0" : "";
        } else {
            // Which random bytes: they are fixed by the clock's seeds.
            uint32_t hash = 2166136261u;
            for (const char c : bytes)
                hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
            out += "r" + std::to_string(hash % 10000);
        }
        FileStatus status;
        if (Folder()->GetStatus(name, status)) {
            const std::time_t when = static_cast<std::time_t>(status.m_mtime);
            char date[32];
            std::strftime(date, sizeof(date), ":%Y-%m-%d %H:%M:%S", std::localtime(&when));
            if (status.m_mtime < 900000000) out += date;
            if (status.m_attribute & kAttrReadOnly) out += ":ro";
        }
        return out;
    }

    // The write sizes, one group an open that wrote, repeats counted: "2048x2 904, 1".
    std::string Writes() const {
        std::string out, group;
        size_t last = 0;
        int repeat = 0;
        auto end = [&]() {
            if (repeat > 0) group += " " + std::to_string(last);
            if (repeat > 1) group += "x" + std::to_string(repeat);
            repeat = 0;
        };
        for (const TestLayer::Call& c : files.calls) {
            if (c.op == TestLayer::kWrite && (repeat == 0 || c.size != last)) end();
            if (c.op == TestLayer::kWrite) last = c.size, ++repeat;
            if (c.op != TestLayer::kClose) continue;
            end();
            if (!group.empty()) out += (out.empty() ? "" : ",") + group;
            group.clear();
        }
        return out;
    }

    std::string Summary() {
        const size_t header = log.find("---\r\n\r\n");
        std::string events, left;
        for (const std::string& e : ui.events)
            events += e + "; ";
        for (const std::string& name : Left())
            left += Describe(name) + " ";
        // The values the job normalised, where they are not the defaults.
        if (job.m_nBufferSize != 2048) left += "buffer " + std::to_string(job.m_nBufferSize);
        if (job.m_nOverrun != 0) left += "overrun " + std::to_string(job.m_nOverrun);
        if (job.NDispN != 1) left += "progress " + std::to_string(job.NDispN);
        return Short(header == std::string::npos ? log : log.substr(header + 7)) + "\n" +
               Short(events) + "\n" + left + "\n" + Writes();
    }
    // The fixed texts, shortened.
    std::string Short(std::string text) const {
        const std::string shorter[][2] = {
            {At(""), ""},
            {"Error occures during process\r\ncurrent target ", ""},
            {"\r\nreason : ", " : "},
            {"\r\n\r\nDelete Process is not completed", ""},
            {"\nExclude this file\r\n\r\n(folder, temporary file, sparse file)", " excluded"},
            {"Tidewipe Processing Status 40: Processing ", "Step "},
            {"\r\nComplete (OK ", "="},
            {",  NG+Exclude ", "/"},
            {"Information 4", "I 4"},
            {"Error 4", "E 4"},
            {"OK : ", "OK "},
            {"Exclude : ", "Ex "},
            {"Make Dummy File (", "Dummy("},
            {"\r\n", "|"},
            {"\n", "|"}};
        for (const auto& pair : shorter)
            text = Replace(text, pair[0], pair[1]);
        return text;
    }

    // Another program takes the first `count` candidate names as they are probed, or with
    // `atRename` the last one probed between the probe and the rename; one at a time.
    void Take(int count, bool atRename) {
        files.hook = [this, count, atRename, probes = 0, probed = std::string(),
                      taken = std::string()](const TestLayer::Call& c) mutable {
            const bool probe = c.op == TestLayer::kFind && c.path != job.m_strPath &&
                               c.path.find('*') == std::string::npos;
            if (probe) probed = c.path;
            if (probe ? probes++ >= count : c.op != TestLayer::kMove || !atRename) return;
            std::remove(taken.c_str());
            realfiles::Write(taken = files.Native(probed), "taken");
        };
    }

    // Another program takes the first scratch name probed; the clock moves at the third probe.
    void TakeScratchName() {
        files.hook = [this, probes = 0](const TestLayer::Call& c) mutable {
            if (c.op != TestLayer::kStat || c.path.find("_c") == std::string::npos) return;
            if (++probes == 1) realfiles::Write(files.Native(c.path), "taken");
            if (probes == 3) ++clock.now;
        };
    }

    std::unique_ptr<FileHandle> held;
};

#define ROW(name, files, targets, expect, ...)                       \
    Scenario {                                                       \
#name, files, [](Job & c) { (void)c; __VA_ARGS__; }, targets, expect \
    }
const Scenario kScenarios[] = {
    ROW(mixed_targets, "a.txt=5000 b.txt=1 d/", " %a.txt  %missing %d %b.txt ",
        "Ex |OK a.txt|Ex |Ex missing|Ex d|OK b.txt|=2/4)|\nI 40040: '' excluded; I 40040: '' "
        "excluded; I 40040: 'missing' excluded; I 40040: 'd' excluded; \nd/ \n 2048x2 904, 2048x2 "
        "904, 2048x2 904, 1, 1, 1, 1, 1",
        {}),
    ROW(buffer_small, "a.txt=5000", "%a.txt",
        "OK a.txt|=1/0)|\n\na.txt:5000:Xr1286 buffer 512\n 512x9 392, 1", c.Keep(), c.job.nOvwr = 1,
        c.job.m_nBufferSize = 512),
    ROW(buffer_zero, "a.txt=5000", "%a.txt",
        "OK a.txt|=1/0)|\n\na.txt:5000:Xr1286 \n 2048x2 904, 1", c.Keep(), c.job.nOvwr = 1,
        c.job.m_nBufferSize = 0),
    ROW(buffer_and_overrun_too_big, "a.txt=5000", "%a.txt",
        "OK a.txt|=1/0)|\n\na.txt:5000:Xr1286 \n 2048x2 904, 1", c.Keep(), c.job.nOvwr = 1,
        c.job.m_nBufferSize = 2049, c.job.m_nOverrun = 65537),
    ROW(rename, "a.txt=10 abcdefg=10 abcdefgh.t.x=10 abcdef.txt=10",
        "%a.txt %abcdefg %abcdefgh.t.x %abcdef.txt",
        "OK a.txt|OK abcdefg|OK abcdefgh.t.x|OK abcdef.txt|=4/0)|\n\nSUJTVXRQ.TMP:10:Xr3051 "
        "TAUXPRC:10:Xr3051 TAUXPRCW.S.U:10:Xr3051 TAUXPRCW.TMP:10:Xr3051 \n 10, 10, 10, 1, 10, 10, "
        "10, 1, 10, 10, 10, 1, 10, 10, 10, 1",
        c.Keep(), c.job.rRen = 1),
    ROW(random_names_taken, "a.txt=10", "%a.txt",
        "OK a.txt|=1/0)|\n\nEXCEL8.X3:10:Xr3051 XSQMOOPT.TMP:5:r8008 \n 10, 10, 10, 1", c.Keep(),
        c.job.rRen = 2, c.Take(10, false)),
    ROW(all_names_taken, "a.txt=10", "%a.txt",
        "OK a.txt|=1/0)|\n\nXL8049.CAB:5:r8008 a.txt:10:Xr3051 \n 10, 10, 10, 1", c.Keep(),
        c.job.rRen = 2, c.Take(20, false)),
    ROW(name_taken_at_rename, "a.txt=10", "%a.txt",
        "NG (code=5) : a.txt|=0/1)|\nE 40010: 'a.txt' : Fail to Change Name; "
        "\nTAUXPRCW.TMP:5:r8008 a.txt:10:Xr3051 \n 10, 10, 10, 1",
        c.Keep(), c.job.rRen = 1, c.Take(0, true)),
    // Nothing logged, and no box for a target excluded.
    ROW(read_only_silent, "ro:a.txt=10 ro:b.txt=10", "%a.txt %missing %b.txt",
        "\n\nSUJTVXRQ.TMP:0::1998-01-01 00:00:02 TAUXPRCW.TMP:0::1998-01-01 00:00:02 \n 10, 1, 10, "
        "1",
        c.job.nOvwr = 1;
        c.job.Log = 0; c.job.NDispE = c.job.bNotDel = 1),
    // A held file; one a byte too large; the largest.
    ROW(held_and_sizes, "a.txt=10 b.txt=10 c.txt=10", "%a.txt %b.txt %c.txt",
        "NG (code=2) : a.txt|NG (code=10) : b.txt|OK c.txt|=1/2)|\nE 40010: 'a.txt' : Fail to "
        "Open; E "
        "40010: 'b.txt' : File Exceed 2Gbytes; \na.txt:10:= b.txt:10:= \n 1",
        c.job.nOvwr = 0;
        c.held = c.Folder()->Open("a.txt", OpenMode::kReadWriteExisting);
        c.files.inflated[c.At("b.txt")] = 2147000001; c.files.inflated[c.At("c.txt")] = 2147000000),
    ROW(no_target, "", "", "\n\n\n result 0", c.job.DispF = 1),
    // The scratch name comes from the seconds clock: a taken one is drawn again every 50 ms until
    // the clock moves. The overrun comes after the additional wipe.
    ROW(scratch_name_taken_then_overrun, "a.txt=10", "%a.txt",
        "OK a.txt|=1/0)|\nSleep 50; Sleep 50; Sleep 50; \n_c708866.tmp:5:r8008 a.txt:110:Xr1236 "
        "overrun 100\n 10, 10, 10, 2048x512, 2048x512, 1, 100",
        c.Keep(), c.job.AddWipe = c.job.nAnticacheSize = 1, c.job.m_nOverrun = 100,
        c.TakeScratchName()),
    ROW(dummy_each, "a.txt=10 b.txt=10", "%a.txt %b.txt",
        "OK a.txt|Dummy(2 files)|OK b.txt|Dummy(2 files)|Dummy(2 files)|=2/0)|\n\n\n 10, 10, 10, "
        "1, 60, 60, 10, 10, 10, 1, 60, 60, 60, 60",
        c.job.Dummy = 1, c.job.DummySkip = 0, c.job.nFiles = 2),
    ROW(
        dummy_end, "a.txt=10", "%a.txt %missing  ",
        "OK a.txt|Ex missing|Ex |Dummy(11 files)|=1/2)|\nI 40040: 'missing' excluded; I 40040: '' "
        "excluded; sujt00.tmp; sujt01.tmp; sujt02.tmp; sujt03.tmp; sujt04.tmp; sujt05.tmp; "
        "sujt06.tmp; sujt07.tmp; sujt08.tmp; sujt09.tmp; sujt10.tmp; \n\n 10, 10, 10, 1, 60, 60, "
        "60, 60, 60, 60, 60, 60, 60, 60, 60",
        c.job.Dummy = 1, c.job.nFiles = 11;
        TestLayer& f = c.files; RecordingUi& ui = c.ui;
        f.hook =
            [&ui](const TestLayer::Call& call) {
                if (call.op == TestLayer::kOpen && call.path.find(".tmp") != std::string::npos)
                    ui.Add(call.path.substr(call.path.size() - 10));
            }),
    ROW(dummy_no_path, "", "\"\"", "Ex |=0/1)|\nI 40040: '' excluded; \n\n", c.job.Dummy = 1),
    ROW(dummy_no_folder, "", "%nodir/a.txt",
        "Ex nodir/a.txt|=0/1)|\nI 40040: 'nodir/a.txt' excluded; E 40010: Dummy File I/O Error "
        "(Hardware Error); \n\n",
        c.job.Dummy = 1),
    ROW(
        dummy_prefix_taken, "a.txt=10", "%a.txt", "OK a.txt|=1/0)|\n\nsujtx:0: \n 10, 10, 10, 1",
        c.job.Dummy = 1;
        TestLayer& f = c.files;
        f.hook =
            [&f](const TestLayer::Call& call) {
                if (call.op == TestLayer::kFind && call.path.find("*.*") != std::string::npos)
                    realfiles::Write(f.Native(Replace(call.path, "*.*", "x")), "");
            }),
    ROW(additional_each_pass, "a.txt=10 t/", "%a.txt",
        "OK a.txt|=1/0)|\n\nt/ \n 10, 2048x512, 2048x512, 10, 2048x512, 2048x512, 10, 2048x512, "
        "2048x512, 1",
        c.job.AddWipe = 1, c.job.nAnticacheSize = 1, c.job.bAntiOneShot = 0, c.job.rAntiFolder = 1,
        c.files.tempPath = c.At("") + "t/"),
    ROW(step_boxes, "a.txt=10", "%a.txt",
        "OK a.txt|Dummy(1 files)|=1/0)|\nStep 'a.txt' |Delete Attributes; Step 'a.txt' |Overwrite "
        "Done ! (Pass 1/2); Step 'a.txt' |Overwrite Done ! (Pass 2/2); Step 'a.txt' |Make "
        "Additional Wipe temporary file; Step 'a.txt' |Overwrite; Step 'a.txt' |Overrun write "
        "complete; Step 'a.txt' |Truncate File Length; Step 'TAUXPRCW.TMP' |Change Name; Step "
        "'XL8049.CAB' |Change Name (Windows similar); Step 'XL8049.CAB' |Change Date; Step "
        "'XL8049.CAB' |All Delete Process; Step 'XL8049.CAB' |Make Dummy File; Step 'XL8049.CAB' "
        "|Delete Dummy File; \noverrun 1\n 10, 10, 1, 1, 60",
        c.job.Confirm = 1, c.job.nOvwr = 2, c.job.rRen = 2, c.job.m_nOverrun = 1, c.job.AddWipe = 1,
        c.job.nAnticacheSize = 0, c.job.Dummy = 1, c.job.nFiles = 1),
    ROW(cancelled, "a.txt=10", "%a.txt",
        "Delete task is cencelled by user|\nBeep 32; Confirm: Delete 1 Files, OK ?; \na.txt:10:= "
        "\n",
        c.job.DispF = 1, c.ui.answer = false),
    ROW(progress, "a.txt=10 c.txt=10", "%a.txt %b.txt %c.txt",
        "OK a.txt|Ex b.txt|OK c.txt|=2/1)|\nBeep 32; Confirm: Delete 3 Files, OK ?; Progress; 1014 "
        "a.txt; 1016 processing 1/3 (0 errors); 1058 ; Pos 33; Repaint; Sleep 333; I 40040: "
        "'b.txt' excluded; 1014 c.txt; 1016 processing 3/3 (1 errors); 1058 ; Pos 100; Repaint; "
        "Sleep 333; Close; \nprogress 0\n 10, 10, 10, 1, 10, 10, 10, 1",
        c.job.NDispN = 0, c.job.DispF = 1),
    ROW(progress_fails, "a.txt=10", "%a.txt",
        "OK a.txt|=1/0)|\nProgress; E 40030: Your Operating System is UnStable|Dialog Creation "
        "Error; \n\n 10, 10, 10, 1",
        c.job.NDispN = 0, c.job.NDispE = 1, c.ui.failProgress = true),
    ROW(
        megabytes, "a.txt=10", "%a.txt",
        "OK a.txt|=1/0)|\nProgress; 1014 a.txt; 1016 processing 1/1 (0 errors); 1058 ; Pos 100; "
        "Repaint; 1058 0/101MB; Repaint; 1/1 50/101; 1058 50/101MB; Repaint; 1/1 100/101; 1058 "
        "100/101MB; Repaint; 1/1 101/101; Sleep 1000; Close; \nprogress 0\n 2048x51712, 1",
        c.job.NDispN = 0, c.job.nOvwr = 1, c.files.inflated[c.At("") + "a.txt"] = 101 << 20;
        RecordingUi& ui = c.ui;
        c.job.m_onProgress =
            [&ui](int pass, int passes, int64_t done, int64_t total) {
                // At every megabyte and the end, and never between.
                if (done % (50 << 20) == 0 || done % (1 << 20) != 0 || done == total)
                    ui.Add(std::to_string(pass) + "/" + std::to_string(passes) + " " +
                           std::to_string(done >> 20) + "/" + std::to_string(total >> 20));
            }),
    ROW(windows_paths, "a.txt=10 b.txt=10", "%a.txt %*.txt",
        "OK a.txt|Ex *.txt|=1/1)|\nI 40040: '*.txt' excluded; \nb.txt:10:= \n 10, 10, 10, 1",
        c.files.pretendWindows = true),
};
#undef ROW

class JobScenario : public Job, public ::testing::WithParamInterface<Scenario> {};

TEST_P(JobScenario, LeavesWhatItShould) {
    const Scenario& s = GetParam();
    MakeEntries(s.files);
    s.setup(*this);
    const int result = job.RunJob(Replace(s.targets, "%", At("")));
    files.hook = nullptr;
    EXPECT_EQ(files.openPaths.size(), held ? 1u : 0u);
    held.reset();                                     // Windows would not let the test read it
    EXPECT_TRUE(job.Log != 0 || log.empty()) << log;  // not even the header
    EXPECT_EQ(Summary() + (result != 1 ? " result " + std::to_string(result) : ""), s.expect);
}

// Each row named by what it tests.
INSTANTIATE_TEST_SUITE_P(Rows, JobScenario, ::testing::ValuesIn(kScenarios),
                         [](const auto& row) { return std::string(row.param.name); });

// Fails each call of a whole job in turn, until a run meets no fault. Whatever fails, the
// target is intact until the first write and afterwards under the name the job reports,
// nothing else is left but a scratch file whose own removal failed, and nothing stays open.
// The outcome of every run, one token each: the result ('.' wiped, 'E' excluded, else the
// code), how many dummy stages went through, then 'h' for the hardware box, 'd' for the
// dummy-file box and 's' for the dummy-stage box.
TEST_F(Job, EveryFailingCallLeavesOnlyWhatItMust) {
    struct Run {
        bool windows;
        int cause;
        const char* outcomes;
    };
    const Run runs[] = {
        {false, kCauseGeneric,
         "E1 E1 E1 02 22 22 22 32 32 32 32 32 32 32 32 32 32 32 32 .2 .2 .2 .2 .2 .2 .2 .2 32 32 "
         "32 32 32 32 32 42 42 42 42 42 42 42 42 42 42 42 42 42 .2 52 .2 .2 52 .2 62 62 62 62 72 "
         "72 .2 .1d .1 .1 .1d .1 .1 .1s .1s .2 .1d .1 .1 .1d .1 .1 .1s .1s "},
        {false, kCauseHardIO,
         "E1 E1 E1 02 22 22 22h 32h 32h 32h 32h 32h 32 32h 32h 32h 32h 32h 32h .2 .2 .2 .2 .2 .2 "
         ".2 .2 32h 32 32h 32h 32h 32h 32h 42 42h 42h 42h 42h 42h 42h 42 42h 42h 42h 42h 42h .2 "
         "52h .2 .2 52h .2 62 62 62h 62h 72 72h .2 .1d .1d .1d .1d .1d .1d .1h .1h .2 .1d .1d .1d "
         ".1d .1d .1d .1h .1h "},
        {true, kCauseGeneric, nullptr},  // the same as the first
    };
    for (const Run& r : runs) {
        files.pretendWindows = r.windows;
        std::string outcomes;
        for (int n = 1;; ++n) {
            MakeEntries("a.txt=3000");
            EveryStage();
            files.FailCall(n, r.cause);
            job.RunJob(At("a.txt"));
            if (!files.Injected()) break;
            const TestLayer::Call failed = files.calls[static_cast<size_t>(n - 1)];
            SCOPED_TRACE(std::to_string(n) + ": " + std::to_string(failed.op) + " " + failed.path);

            const size_t ng = log.find("NG (code=");
            const char code = log.find("OK :") != std::string::npos ? '.'
                              : ng == std::string::npos
                                  ? 'E'
                                  : "0123456789A"[std::stoi(log.substr(ng + 9))];
            std::string token(1, code);
            token += std::to_string(std::count(log.begin(), log.end(), 'y'));
            for (const std::string& e : ui.events)
                token += e.find("Dummy File I/O") != std::string::npos ? "d"
                         : e.find("(Hardware") != std::string::npos    ? "h"
                         : e.find("Make Dummy") != std::string::npos   ? "s"
                                                                       : "";
            outcomes += token + " ";

            EXPECT_TRUE(files.openPaths.empty());
            std::vector<std::string> left = Left();
            const std::string where = files.Native(job.m_strPath);
            if (code != '.') {
                const auto it =
                    std::find(left.begin(), left.end(), where.substr(dir.Path().size()));
                ASSERT_NE(it, left.end()) << job.m_strPath;
                if (code == 'E' || code < '3') {
                    EXPECT_EQ(realfiles::Read(where), Original(3000));
                }
                left.erase(it);
            }
            if (failed.op == TestLayer::kDel && failed.path.find("_c") != std::string::npos)
                left.erase(std::remove(left.begin(), left.end(),
                                       failed.path.substr(failed.path.size() - 12)),
                           left.end());
            EXPECT_TRUE(left.empty()) << left[0];
        }
        EXPECT_EQ(outcomes, r.outcomes != nullptr ? r.outcomes : runs[0].outcomes);
    }
}

// An attacker who may write to the target's folder acts once, at the n-th call of a whole job
// with every stage on, for every n after the check: puts a hard link to another file under the
// scratch or dummy name that the call names (in place of the job's own file, where it made
// one), moves another file onto the target's current name, appends to the target, or swaps
// the target's folder for a link to another folder that holds a file of the same name. Every
// other file keeps its bytes, name and times; a run says "OK" only where the target is gone
// (or, kept, holds no byte that no pass reached) and nothing of the job's own is left; and
// every attack but the swap changes the outcome of some run.
TEST_F(Job, AnAttackerAtAnyCallReachesNoOtherFile) {
    enum Attack { kPlantLink, kMoveOnto, kAppend, kSwapFolder };
    const std::string sub = dir.Path() + "home/sub";
    auto at = [this](const std::string& path) { return fs::u8path(dir.Path() + path); };
    // The other files, by where they are (a path compares equal whatever its separators):
    // their bytes and their write time.
    std::map<fs::path, std::pair<std::string, fs::file_time_type>> others;
    bool late = false;  // the attack came once the pipeline was over: the dummy stage had begun
    auto run = [&](Attack attack, size_t n) {  // whether the attack came
        fs::remove_all(fs::u8path(dir.Path() + "home"));
        fs::create_directories(fs::u8path(sub));
        fs::create_directories(at("victim"));
        realfiles::Write(sub + "/a.txt", Original(3000));
        others.clear();
        for (const char* other : {"victim/a.txt", "decoy", "moved"}) {
            realfiles::Write(at(other).u8string(), other);
            others[at(other)] = {other, fs::last_write_time(at(other))};
        }
        log.clear(), ui.events.clear(), files.calls.clear();
        EveryStage();
        job.Date = 1;
        job.rZLen = attack != kAppend;
        job.bNotDel = attack == kAppend;  // kept, so that what it holds can be read
        bool attacked = false;
        size_t checked = 0;  // the call that took the target's identity
        bool dummies = false;
        files.hook = [&](const TestLayer::Call& c) {
            static const std::regex ours(".*[/\\\\](_c[0-9]{6}|[a-z]{4}[0-9]{2})\\.tmp");
            if (c.op == TestLayer::kStat && checked == 0) checked = files.calls.size();
            dummies = dummies || (c.op == TestLayer::kFind && c.path.back() == '*');
            if (files.calls.size() != n || checked == 0 || checked == n) return;
            attacked = true;
            late = dummies;
            std::error_code failed;
            const fs::path current = fs::u8path(files.Native(job.m_strPath));
            if (attack == kPlantLink && std::regex_match(c.path, ours)) {
                fs::remove(fs::u8path(files.Native(c.path)), failed);
                fs::create_hard_link(at("decoy"), fs::u8path(files.Native(c.path)), failed);
            } else if (attack == kMoveOnto) {
                fs::rename(at("moved"), current, failed);
                if (!failed) others[current] = others[at("moved")], others.erase(at("moved"));
            } else if (attack == kAppend && fs::exists(current)) {
                std::ofstream(current, std::ios::app) << "APPENDED";
            } else if (attack == kSwapFolder) {
                fs::rename(sub, sub + ".old");
                fs::create_directory_symlink(dir.Path() + "victim", sub);
            }
        };
        job.RunJob(At("home/sub/a.txt"));
        files.hook = nullptr;
        return attacked;
    };

    for (const Attack attack : {kPlantLink, kMoveOnto, kAppend, kSwapFolder}) {
        if (kOnWindows && attack == kSwapFolder) continue;  // no folder links to swap in
        run(attack, 0);
        const std::string clean = std::accumulate(ui.events.begin(), ui.events.end(), log);
        int changed = 0;
        for (size_t n = 1;; ++n) {
            if (!run(attack, n)) {
                if (n > files.calls.size()) break;
                continue;  // before the check
            }
            SCOPED_TRACE(std::to_string(attack) + " at " + std::to_string(n) + ": " +
                         std::to_string(files.calls[n - 1].op) + " " + files.calls[n - 1].path);
            changed += std::accumulate(ui.events.begin(), ui.events.end(), log) != clean;
            EXPECT_TRUE(files.openPaths.empty());
            for (const auto& [path, was] : others) {
                EXPECT_EQ(realfiles::Read(path.u8string()), was.first);
                EXPECT_EQ(fs::last_write_time(path), was.second) << path;
            }
            // Nothing else is left but the target, where the run says it stays (a file moved
            // onto its name ends it, though), holding no byte that the wipe left unreached.
            const bool ok = log.find("OK :") != std::string::npos;
            int left = 0;
            for (const auto& e : fs::recursive_directory_iterator(fs::u8path(dir.Path()))) {
                const std::string bytes = realfiles::Read(e.path().u8string());
                if (e.is_symlink() || !e.is_regular_file() || others.count(e.path()) != 0 ||
                    bytes == "decoy")
                    continue;
                EXPECT_TRUE(!ok || late || bytes.find("APPENDED") == std::string::npos);
                ++left;
            }
            const bool moved = others.count(at("moved")) == 0;
            EXPECT_EQ(left, (ok && attack != kAppend) || moved ? 0 : 1);
            EXPECT_TRUE(ok || job.m_failure.replaced || job.m_failure.written) << log;
        }
        // Through the folder that the check opened, a swapped folder changes nothing at all.
        EXPECT_EQ(changed > 0, attack != kSwapFolder) << attack;
    }
}

// Names in a script of several bytes a character: letters for the name's bytes where the path
// still fits as Windows counts it, else the short shape, else one letter a character. Dummy
// and scratch paths that would not fit are never made.
TEST_F(Job, LongNamesInAnyScript) {
    files.pretendWindows = true;
    job.Dummy = job.AddWipe = job.Confirm = 1;
    job.nAnticacheSize = 0;
    job.rRen = 2;
    // The folder's length in UTF-16 units, with the separator; the random name, the system-like
    // one.
    const std::pair<size_t, const char*> rows[] = {
        {200, "TAUXPRCWSUJTVXRQCKMSN CMCT232.OCX "},
        {240, "FCXPILWA.TMP CP_1252.TMP "},
        {250, "UVVFRQQ UVVFRQQ Dummy File I/O Error (Hardware Error) "}};
    for (const auto& [folder, expected] : rows) {
        const std::string pad(folder - At("").size() - 1, 'f');
        const std::string name =
            pad +
            "/\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5";
        MakeEntries(pad + "/ " + name + "=3");
        job.RunJob(Replace(At(name), "/", "\\"));
        std::string names;  // as the step boxes after the renames show them, and the errors
        static const std::regex shown(".*Processing '([^']*)' \nChange Name.*|Error .*: (.*)");
        for (const std::string& e : ui.events) {
            std::smatch m;
            if (std::regex_match(e, m, shown)) names += m.str(1) + m.str(2) + " ";
        }
        EXPECT_EQ(names, expected);
        EXPECT_NE(log.find("OK :"), std::string::npos);
        EXPECT_EQ(realfiles::List(dir.Path() + pad), std::vector<std::string>{});
    }
}

}  // namespace
