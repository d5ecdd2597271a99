// The per-file pipeline against the file-layer double: write sizes, normalisations, progress,
// step boxes, and what every kind of failure returns and leaves behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "support/JobFixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

using WipeFile = JobFixture;

const char kFile[] = "C:\\W\\a.txt";

int64_t January1998() {
    std::tm when = {};
    when.tm_year = 98;
    when.tm_mday = 1;
    when.tm_sec = 2;
    when.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&when));
}

TEST_F(WipeFile, EachPassWritesTheWholeFileInBufferSizedChunks) {
    files.AddFile(kFile, std::string(5000, 'd'));
    KeepFile();
    ASSERT_EQ(Wipe(kFile), Success);
    const std::vector<std::string> pass = {"Open C:\\W\\a.txt rw", "Write 2048 x2", "Write 904",
                                           "Flush", "Close"};
    // The attributes go through a status-only open of their own.
    std::vector<std::string> expected = {"Open C:\\W\\a.txt status", "Close"};
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), pass.begin(), pass.end());
    // The closing mark.
    for (const char* s : {"Open C:\\W\\a.txt rw", "Write 1", "Flush", "Close"}) {
        expected.push_back(s);
    }
    EXPECT_EQ(TraceOf({"Open", "Write", "Flush", "Close", "SeekToEnd"}), expected);
    EXPECT_EQ(files.Size(kFile), 5000);
    EXPECT_EQ(files.OpenCount(), 0);
}

TEST_F(WipeFile, BufferSizeIsNormalisedAndKeptByTheJob) {
    struct Row {
        int32_t stored;
        int32_t kept;
        std::vector<std::string> writes;
    };
    const Row rows[] = {
        {1, 1, {"Write 1 x10"}},  {0, 2048, {"Write 10"}},           {5000, 2048, {"Write 10"}},
        {-1, 2048, {"Write 10"}}, {4, 4, {"Write 4 x2", "Write 2"}}, {2048, 2048, {"Write 10"}},
    };
    for (const Row& r : rows) {
        files.AddFile(kFile, "0123456789");
        files.ClearCalls();
        KeepFile();
        job.nOvwr = 1;
        job.m_nBufferSize = r.stored;
        ASSERT_EQ(Wipe(kFile), Success) << r.stored;
        std::vector<std::string> writes = TraceOf({"Write"});
        writes.pop_back();  // the closing mark
        EXPECT_EQ(writes, r.writes) << r.stored;
        EXPECT_EQ(job.m_nBufferSize, r.kept) << r.stored;
    }
}

TEST_F(WipeFile, ZeroAndRandomFill) {
    const std::string original(6000, 'o');
    files.AddFile(kFile, original);
    KeepFile();
    job.rNull = 0;
    ASSERT_EQ(Wipe(kFile), Success);
    EXPECT_EQ(files.Content(kFile), "X" + std::string(5999, '\0'));

    // Any non-zero value means random, and every write draws fresh bytes.
    files.AddFile(kFile, original);
    job.rNull = 7;
    job.nOvwr = 1;
    ASSERT_EQ(Wipe(kFile), Success);
    const std::string wiped = files.Content(kFile);
    ASSERT_EQ(wiped.size(), 6000u);
    EXPECT_EQ(wiped[0], 'X');
    EXPECT_NE(wiped.substr(1, 2047), original.substr(1, 2047));
    EXPECT_NE(wiped.substr(0, 2048).substr(1), wiped.substr(2048, 2048).substr(1));
    EXPECT_NE(wiped.substr(2048, 2048), wiped.substr(4096, 1904) + wiped.substr(0, 144));
    EXPECT_NE(wiped.find_first_not_of('\0', 1), std::string::npos);
}

TEST_F(WipeFile, NoPassesStillWritesTheClosingMark) {
    files.AddFile(kFile, "");
    KeepFile();
    job.nOvwr = 0;
    job.AddWipe = 1;
    job.Confirm = 1;
    ASSERT_EQ(Wipe(kFile), Success);
    EXPECT_EQ(files.Content(kFile), "X");
    // No pass box and no additional wipe.
    EXPECT_TRUE(
        ui.Filter("Box Tidewipe Processing Status 0x40: Processing 'a.txt' \\nOverwrite Done")
            .empty());
    EXPECT_THAT(files.List("C:\\W"), ElementsAre("a.txt"));
}

TEST_F(WipeFile, OverrunAppendsPastTheEnd) {
    struct Row {
        int32_t stored;
        int32_t kept;
        int64_t finalSize;
        std::vector<std::string> writes;
    };
    const Row rows[] = {
        {0, 0, 1, {}},
        {1024, 1024, 1025, {"Write 1024"}},
        {5000, 5000, 5001, {"Write 2048 x2", "Write 904"}},
        {65536, 65536, 65537, {"Write 2048 x32"}},
        {65537, 0, 1, {}},
        {70000, 0, 1, {}},
        {-1, 0, 1, {}},
    };
    for (const Row& r : rows) {
        files.AddFile(kFile, "");  // an empty file: the mark makes it one byte long
        KeepFile();
        job.rNull = 0;
        job.m_nOverrun = r.stored;
        files.ClearCalls();
        ASSERT_EQ(Wipe(kFile), Success) << r.stored;
        EXPECT_EQ(job.m_nOverrun, r.kept) << r.stored;
        EXPECT_EQ(files.Size(kFile), r.finalSize) << r.stored;
        std::vector<std::string> writes = TraceOf({"Write", "SeekToEnd"});
        writes.erase(writes.begin());  // the closing mark
        if (!r.writes.empty()) {
            ASSERT_FALSE(writes.empty()) << r.stored;
            EXPECT_EQ(writes.front().rfind("SeekToEnd", 0), 0u) << r.stored;
            writes.erase(writes.begin());
        }
        EXPECT_EQ(writes, r.writes) << r.stored;
        EXPECT_EQ(files.Content(kFile), "X" + std::string(static_cast<size_t>(r.kept), '\0'));
    }
}

TEST_F(WipeFile, RandomOverrunRepeatsEvery2048Bytes) {
    files.AddFile(kFile, "");
    KeepFile();
    job.m_nOverrun = 5000;
    ASSERT_EQ(Wipe(kFile), Success);
    const std::string c = files.Content(kFile);
    ASSERT_EQ(c.size(), 5001u);
    EXPECT_EQ(c.substr(1, 2048), c.substr(2049, 2048));
    EXPECT_EQ(c.substr(1, 904), c.substr(4097, 904));
    EXPECT_NE(c.find_first_not_of('\0', 1), std::string::npos);
}

TEST_F(WipeFile, LargeFilesReportMegabytes) {
    struct Row {
        int64_t size;
        std::vector<std::string> reports;
    };
    std::vector<std::string> big = {"Text 1058: 0/2002MB"};
    for (int mb = 50; mb <= 2000; mb += 50)
        big.push_back("Text 1058: " + std::to_string(mb) + "/2002MB");
    const Row rows[] = {
        {52428800, {}},
        {52428801, {"Text 1058: 0/50MB"}},
        {125829120, {"Text 1058: 0/120MB", "Text 1058: 50/120MB", "Text 1058: 100/120MB"}},
        {2100000000, big},
    };
    for (const Row& r : rows) {
        files.AddSizedFile(kFile, r.size);
        KeepFile();
        job.rNull = 0;
        job.nOvwr = 1;
        ui.events.clear();
        auto progress = ui.CreateProgress();
        ASSERT_EQ(Wipe(kFile, progress.get()), Success) << r.size;
        EXPECT_EQ(ui.Filter("Text 1058"), r.reports) << r.size;
        // Every report is repainted at once.
        EXPECT_EQ(ui.Filter("Repaint").size(), r.reports.size()) << r.size;
    }
}

TEST_F(WipeFile, EveryPassStartsItsReportsAgain) {
    files.AddSizedFile(kFile, 125829120);
    KeepFile();
    job.rNull = 0;
    job.nOvwr = 2;
    auto progress = ui.CreateProgress();
    ASSERT_EQ(Wipe(kFile, progress.get()), Success);
    EXPECT_THAT(ui.Filter("Text 1058"),
                ElementsAre("Text 1058: 0/120MB", "Text 1058: 50/120MB", "Text 1058: 100/120MB",
                            "Text 1058: 0/120MB", "Text 1058: 50/120MB", "Text 1058: 100/120MB"));
}

// The finer progress that the Linux program shows: each pass by number, to its end.
TEST_F(WipeFile, ProgressIsToldForEachPass) {
    files.AddFile(kFile, std::string(3 << 20, 'p'));
    KeepFile();
    std::vector<std::string> told;
    job.m_onProgress = [&](int pass, int passes, int64_t done, int64_t total) {
        told.push_back(std::to_string(pass) + "/" + std::to_string(passes) + " " +
                       std::to_string(done >> 20) + "/" + std::to_string(total >> 20));
    };
    ASSERT_EQ(Wipe(kFile), Success);
    EXPECT_THAT(told, ElementsAre("1/3 1/3", "1/3 2/3", "1/3 3/3", "2/3 1/3", "2/3 2/3", "2/3 3/3",
                                  "3/3 1/3", "3/3 2/3", "3/3 3/3"));
}

TEST_F(WipeFile, NoProgressWindowNoReports) {
    files.AddSizedFile(kFile, 125829120);
    KeepFile();
    job.rNull = 0;
    job.nOvwr = 1;
    ASSERT_EQ(Wipe(kFile, nullptr), Success);
    EXPECT_TRUE(ui.events.empty());
}

TEST_F(WipeFile, SizeLimit) {
    files.AddSizedFile(kFile, 2147000000);
    KeepFile();
    job.rNull = 0;
    job.nOvwr = 1;
    EXPECT_EQ(Wipe(kFile), Success);

    files.AddSizedFile(kFile, 2147000001, kAttrReadOnly | kAttrArchive);
    files.SetTimes(kFile, 1, 2, 3);
    files.ClearCalls();
    job.rRen = 1;
    job.Date = 1;
    job.bNotDel = 0;
    EXPECT_EQ(Wipe(kFile), ErrFileTooLarge);
    EXPECT_EQ(TraceOf({"SetStatus", "Open", "Rename", "Remove"}), std::vector<std::string>{});
    EXPECT_EQ(files.Attributes(kFile), kAttrReadOnly | kAttrArchive);
    EXPECT_EQ(files.StatusOf(kFile).m_mtime, 2);
}

TEST_F(WipeFile, ProtectionAttributesAreClearedAndOthersKept) {
    struct Row {
        uint32_t before;
        uint32_t after;
    };
    const Row rows[] = {
        {kAttrReadOnly | kAttrArchive, kAttrArchive},
        {kAttrHidden | kAttrSystem, kAttrNormal},
        {kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive, kAttrArchive},
        {kAttrNormal, kAttrNormal},
    };
    for (const Row& r : rows) {
        files.AddFile(kFile, "abc", r.before);
        files.SetTimes(kFile, 11, 22, 33);
        KeepFile();
        job.nOvwr = 1;
        ASSERT_EQ(Wipe(kFile), Success) << r.before;
        EXPECT_EQ(files.Attributes(kFile), r.after) << r.before;
        // The times read are written back with the attributes.
        EXPECT_EQ(files.StatusOf(kFile).m_mtime, 22);
    }
}

TEST_F(WipeFile, DefaultsLeaveNothingBehind) {
    files.AddFile(kFile, std::string(10000, 's'), kAttrReadOnly);
    files.AddFile("C:\\W\\other.txt", "keep");
    ASSERT_EQ(Wipe(kFile), Success);
    EXPECT_THAT(files.List("C:\\W"), ElementsAre("other.txt"));
    EXPECT_EQ(files.Content("C:\\W\\other.txt"), "keep");
    // Truncated, renamed, dated, then removed under the new name.
    const std::vector<std::string> tail = TraceOf({"Truncate", "Rename", "SetStatus", "Remove"});
    ASSERT_EQ(tail.size(), 5u);
    EXPECT_EQ(tail[1], "Truncate");
    EXPECT_EQ(tail[2].rfind("Rename C:\\W\\a.txt -> C:\\W\\", 0), 0u);
    EXPECT_NE(tail[3].find("m=" + std::to_string(January1998())), std::string::npos) << tail[3];
    EXPECT_EQ(tail[4], "Remove " + job.m_strPath);
    EXPECT_EQ(files.OpenCount(), 0);
}

TEST_F(WipeFile, StepBoxesInOrder) {
    files.AddFile(kFile, "abc");
    job.Confirm = 1;
    job.rRen = 2;
    job.m_nOverrun = 10;
    job.nOvwr = 3;
    ASSERT_EQ(Wipe(kFile), Success);
    std::vector<std::string> steps;
    for (const std::string& e : ui.Filter("Box Tidewipe Processing Status 0x40: Processing '")) {
        steps.push_back(e.substr(e.find("\\n") + 2));
    }
    EXPECT_THAT(steps, ElementsAre("Delete Attributes", "Overwrite Done ! (Pass 1/3)",
                                   "Overwrite Done ! (Pass 2/3)", "Overwrite Done ! (Pass 3/3)",
                                   "Overwrite", "Overrun write complete", "Truncate File Length",
                                   "Change Name", "Change Name (Windows similar)", "Change Date",
                                   "All Delete Process"));
    // Boxes after a rename name the file as it is now called.
    const std::vector<std::string> boxes = ui.Filter("Box");
    EXPECT_NE(boxes[6].find("Processing 'a.txt'"), std::string::npos);
    EXPECT_EQ(boxes[7].find("Processing 'a.txt'"), std::string::npos);

    ui.events.clear();
    files.AddFile(kFile, "abc");
    job.Confirm = 0;
    ASSERT_EQ(Wipe(kFile), Success);
    EXPECT_TRUE(ui.events.empty());
}

TEST_F(WipeFile, AdditionalWipeCallPoints) {
    struct Row {
        int32_t oneShot;
        std::vector<std::string> sequence;
    };
    const std::string pass = "pass";
    const Row rows[] = {
        {0, {"pass 1/3", "extra", "pass 2/3", "extra", "pass 3/3", "extra"}},
        {1, {"pass 1/3", "pass 2/3", "pass 3/3", "extra"}},
    };
    for (const Row& r : rows) {
        files.AddFile(kFile, "abc");
        KeepFile();
        job.Confirm = 1;
        job.AddWipe = 1;
        job.nAnticacheSize = 1;
        job.bAntiOneShot = r.oneShot;
        ui.events.clear();
        ASSERT_EQ(Wipe(kFile), Success);
        std::vector<std::string> seen;
        for (const std::string& e : ui.Filter("Box")) {
            const size_t p = e.find("Overwrite Done ! (Pass ");
            if (p != std::string::npos) seen.push_back("pass " + e.substr(p + 23, 3));
            if (e.find("Make Additional Wipe temporary file") != std::string::npos)
                seen.push_back("extra");
        }
        EXPECT_EQ(seen, r.sequence) << r.oneShot;
        EXPECT_THAT(files.List("C:\\W"), ElementsAre("a.txt"));
    }
}

// Every call of a whole job (with dummy files and the additional wipe), failed in turn for
// n = 1, 2, ... until a run injects nothing. After each run: the log says OK or the code, and
// the codes of a kind never go back as the fault moves later; an OK target is gone, a failed
// one stays under the name the log gives; the folder holds nothing else but a scratch file
// whose own removal failed; and nothing is left open.
TEST_F(WipeFile, EveryFailingCallIsReportedAndLeavesOnlyWhatItMust) {
    struct Kind {
        CallKind kind;
        int cause;
        int first;  // the code when the kind's first call fails
    };
    // Causes that nothing fails with on its own here, so that an injected fault is told apart.
    const Kind kinds[] = {
        {CallKind::GetStatus, kCauseLockViolation, ErrGetAttributes},
        {CallKind::SetStatus, kCauseLockViolation, ErrChangeAttributes},
        {CallKind::Open, kCauseLockViolation, ErrChangeAttributes},
        {CallKind::Write, kCauseLockViolation, ErrWrite},
        {CallKind::SeekToEnd, kCauseLockViolation, ErrTruncate},
        {CallKind::Truncate, kCauseLockViolation, ErrTruncate},
        {CallKind::Flush, kCauseHardIO, ErrWrite},
        {CallKind::Close, kCauseLockViolation, ErrChangeAttributes},
        {CallKind::Rename, kCauseLockViolation, ErrRename},
        {CallKind::Remove, kCauseLockViolation, ErrWrite},  // the scratch file's removal
    };
    int run = 0;
    for (const Kind& k : kinds) {
        int last = ErrGetAttributes;
        bool anyCode = false;
        for (int n = 1; n < 500; ++n) {
            ASSERT_LT(n, 400) << "a run that never stops injecting";
            Call what;
            what.kind = k.kind;
            SCOPED_TRACE(Describe(what) + " #" + std::to_string(n));
            const std::string dir = "C:\\F" + std::to_string(++run) + "\\";
            files.AddFolder(dir);
            files.AddFile(dir + "t.txt", std::string(3000, 't'), kAttrReadOnly);
            job.nOvwr = 2;
            job.m_nOverrun = 100;
            job.rRen = 2;
            job.DispF = 0;
            job.NDispN = 1;
            job.NDispE = 1;
            job.Dummy = 1;
            job.nFiles = 3;
            job.AddWipe = 1;
            job.nAnticacheSize = 0;
            ui.events.clear();
            log.clear();
            files.ClearCalls();
            files.FailNth(k.kind, n, k.cause);
            job.RunJob(dir + "t.txt");
            files.ClearFaults();
            bool injected = false;
            for (const Call& c : files.Calls())
                injected = injected || (c.kind == k.kind && c.cause == k.cause);
            if (!injected) {
                EXPECT_NE(log.find("OK : " + dir + "t.txt\r\n"), std::string::npos) << log;
                EXPECT_TRUE(files.List(dir).empty());
                break;
            }
            const size_t ng = log.find("NG (code=");
            if (ng != std::string::npos) {
                const int code = std::atoi(log.c_str() + ng + 9);
                if (!anyCode) {
                    EXPECT_EQ(code, k.first);
                }
                EXPECT_GE(code, last);
                last = code;
                anyCode = true;
                EXPECT_TRUE(files.Exists(job.m_strPath)) << job.m_strPath;
            }
            std::vector<std::string> expected;
            if (ng != std::string::npos) expected.push_back(job.m_strFoundName);
            for (const std::string& name : files.List(dir)) {
                if (name.rfind("_c", 0) == 0 && k.kind == CallKind::Remove)
                    expected.push_back(name);
            }
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(files.List(dir), expected) << log;
            EXPECT_EQ(files.OpenCount(), 0);
        }
    }
}

TEST_F(WipeFile, WhatAFailureLeavesBehind) {
    // Attributes cleared, contents intact.
    files.AddFile(kFile, "secret", kAttrReadOnly);
    files.FailNth(CallKind::Open, 2, kCauseSharingViolation);
    EXPECT_EQ(Wipe(kFile), ErrOpen);
    EXPECT_EQ(files.Content(kFile), "secret");
    EXPECT_EQ(files.Attributes(kFile), kAttrNormal);

    // A rename, then a failed date: the job names the file by its new name.
    files.ClearFaults();
    files.AddFile(kFile, "secret");
    files.FailNth(CallKind::SetStatus, 2, kCauseAccessDenied);
    EXPECT_EQ(Wipe(kFile), ErrChangeDate);
    EXPECT_NE(job.m_strPath, kFile);
    EXPECT_FALSE(files.Exists(kFile));
    EXPECT_TRUE(files.Exists(job.m_strPath));
    EXPECT_EQ(job.m_strFolder + job.m_strFoundName, job.m_strPath);
    EXPECT_EQ(job.m_strName, job.m_strFoundName);
    EXPECT_EQ(files.Size(job.m_strPath), 0);
}

TEST_F(WipeFile, HardwareErrorShowsItsOwnBox) {
    files.AddFile(kFile, std::string(5000, 'h'));
    job.NDispE = 1;  // does not silence this box
    files.FailNth(CallKind::Write, 2, kCauseHardIO);
    EXPECT_EQ(Wipe(kFile), ErrWrite);
    EXPECT_THAT(ui.events, ElementsAre("Box Error 0x40010: File I/O Error (Hardware Error)"));
    EXPECT_EQ(files.OpenCount(), 0);
}

// Another file put in the target's place during the job (here: a file of its own, added under
// the same path before the stage opens it) fails that stage and gets nothing written.
TEST_F(WipeFile, AFileSwappedDuringTheJobIsLeftAlone) {
    struct Row {
        const char* what;
        int open;  // which open finds the other file
        int code;
    };
    const Row rows[] = {
        {"second pass", 3, ErrWrite},      {"closing mark", 5, ErrWrite},
        {"overrun", 6, ErrTruncate},       {"truncation", 7, ErrTruncate},
        {"date change", 8, ErrChangeDate},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        files.AddFile(kFile, std::string(3000, 't'));
        job.nOvwr = 3;
        job.m_nOverrun = 100;
        job.rZLen = 1;
        job.rRen = 0;
        job.Date = 1;
        job.bNotDel = 0;
        int opens = 0;
        files.OnCall([&](const Call& call) {
            if (call.kind == CallKind::Open && ++opens == r.open) {
                files.AddFile(kFile, "someone else's");
                files.SetTimes(kFile, 1, 2, 3);
            }
        });
        EXPECT_EQ(Wipe(kFile), r.code);
        files.OnCall(nullptr);
        EXPECT_EQ(files.Content(kFile), "someone else's");
        EXPECT_EQ(files.StatusOf(kFile).m_mtime, 2);
        EXPECT_EQ(files.OpenCount(), 0);
    }
}

TEST_F(WipeFile, CheckTargetSplitsAndExcludes) {
    struct Row {
        const char* path;
        uint32_t attributes;
        bool eligible;
        const char* folder;
        const char* name;
    };
    const Row rows[] = {
        {"C:\\W\\plain.txt", kAttrArchive, true, "C:\\W\\", "plain.txt"},
        {"C:\\W\\ro.txt", kAttrReadOnly, true, "C:\\W\\", "ro.txt"},
        {"C:\\W\\hidden.sys", kAttrHidden | kAttrSystem, true, "C:\\W\\", "hidden.sys"},
        {"C:\\W\\temp.tmp", kAttrTemporary, false, "C:\\W\\", "temp.tmp"},
        {"C:\\W\\sparse.dat", kAttrSparse, false, "C:\\W\\", "sparse.dat"},
        {"C:\\W\\offline.dat", kAttrOffline, false, "C:\\W\\", "offline.dat"},
        // A link would hand the wipe to the file it points to; a device is no file.
        {"C:\\W\\link.txt", kAttrReparsePoint | kAttrArchive, false, "C:\\W\\", "link.txt"},
        {"C:\\W\\NUL", kAttrDevice | kAttrArchive, false, "C:\\W\\", "NUL"},
        {"C:/W/slash.txt", kAttrArchive, true, "C:/W/", "slash.txt"},
        {"D:drive.txt", kAttrArchive, true, "D:", "drive.txt"},
        {"bare.txt", kAttrArchive, true, "", "bare.txt"},
    };
    for (const Row& r : rows) {
        files.AddFile(r.path, "x", r.attributes);
        job.m_strPath = r.path;
        EXPECT_EQ(job.CheckTarget(), r.eligible) << r.path;
        EXPECT_EQ(job.m_strFolder, r.folder) << r.path;
        EXPECT_EQ(job.m_strName, r.name) << r.path;
        EXPECT_EQ(job.m_bFound, 1);
        EXPECT_EQ(static_cast<uint32_t>(job.m_nAttributes), files.Attributes(r.path));
    }
    for (const char* path :
         {"C:\\W", "C:\\W\\missing.txt", "", "C:\\W\\*.txt", "C:\\W\\p?ain.txt"}) {
        job.m_strPath = path;
        EXPECT_FALSE(job.CheckTarget()) << path;
        if (std::string(path) != "C:\\W") {
            EXPECT_EQ(job.m_bFound, 0) << path;
            EXPECT_EQ(job.m_nAttributes, 0) << path;
        }
    }
}

TEST_F(WipeFile, RandomInRangeStaysInRangeAndCoversIt) {
    struct Row {
        int lo;
        int hi;
    };
    for (const Row& r :
         {Row{65, 90}, Row{0, 9}, Row{97, 122}, Row{48, 57}, Row{0, 254}, Row{5, 5}}) {
        std::vector<int> seen(static_cast<size_t>(r.hi - r.lo + 1), 0);
        for (int i = 0; i < 20000; ++i) {
            const int v = job.RandomInRange(r.lo, r.hi);
            ASSERT_GE(v, r.lo);
            ASSERT_LE(v, r.hi);
            ++seen[static_cast<size_t>(v - r.lo)];
        }
        for (size_t i = 0; i < seen.size(); ++i)
            EXPECT_GT(seen[i], 0) << r.lo << "+" << i;
    }
}

}  // namespace
