// The job driver and the processing log against the doubles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/WipeOptions.h"
#include "job/ProcessLog.h"
#include "support/JobFixture.h"

namespace {

using ::testing::ElementsAre;
using RunJob = JobFixture;

size_t Count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t p = text.find(piece); p != std::string::npos; p = text.find(piece, p + 1))
        ++n;
    return n;
}

TEST_F(RunJob, TheNineLineExample) {
    files.AddFile("C:\\a.txt", "a");
    job.NDispN = 1;
    EXPECT_EQ(job.RunJob("C:\\a.txt C:\\b"), 1);
    EXPECT_EQ(log,
              "Option :\r\n"
              " Change Date:ON, OverWrite:RND (3 times), Truncate Size:ON, ChangeName:ON\r\n"
              "Process begining ( 2 files in queue)\r\n"
              "-----------------------------\r\n"
              "\r\n"
              "OK : C:\\a.txt\r\n"
              "Exclude : C:\\b\r\n"
              "\r\n"
              "Complete (OK 1,  NG+Exclude 1)\r\n");
    EXPECT_FALSE(files.Exists("C:\\a.txt"));
    EXPECT_THAT(ui.events,
                ElementsAre("Beep 0x20", "Confirm: Delete 2 Files, OK ?",
                            "Box Information 0x40040: 'C:\\b'\\nExclude this file\\r\\n\\r\\n"
                            "(folder, temporary file, sparse file)"));
}

TEST_F(RunJob, HeaderFollowsTheOptions) {
    struct Row {
        int32_t date, rNull, nOvwr, rZLen, rRen;
        const char* header;
    };
    const Row rows[] = {
        {0, 0, 7, 0, 0,
         "Option :\r\n Change Date:OFF, OverWrite:NULL (7 times), Truncate Size:OFF, "
         "ChangeName:OFF\r\n"},
        {1, 5, 50, 1, 2,
         "Option :\r\n Change Date:ON, OverWrite:RND (50 times), Truncate Size:ON, "
         "ChangeName:ON(Win)\r\n"},
        // Any other rename value writes neither label nor value.
        {1, 1, 3, 1, 3,
         "Option :\r\n Change Date:ON, OverWrite:RND (3 times), Truncate Size:ON, Process "
         "begining"},
    };
    for (const Row& r : rows) {
        WipeOptions o;
        o.Date = r.date;
        o.rNull = r.rNull;
        o.nOvwr = r.nOvwr;
        o.rZLen = r.rZLen;
        o.rRen = r.rRen;
        const std::string header = processlog::Header(texts, o, 4);
        EXPECT_EQ(header.rfind(r.header, 0), 0u) << header;
        EXPECT_NE(header.find("Process begining ( 4 files in queue)\r\n"
                              "-----------------------------\r\n\r\n"),
                  std::string::npos);
    }
}

TEST_F(RunJob, ReasonTexts) {
    const std::vector<std::string> reasons = {"Fail to get Attributes",
                                              "Fail to change Attributes",
                                              "Fail to Open",
                                              "Fail to Write Data",
                                              "Fail to Truncate File Size",
                                              "Fail to Change Name",
                                              "Fail to Change Date",
                                              "Fail to Delete",
                                              "Fail to Make Dummy File",
                                              "Fail to Delete Dummy File",
                                              "File Exceed 2Gbytes"};
    for (int code = 0; code <= 10; ++code) {
        EXPECT_EQ(processlog::Reason(texts, code), reasons[static_cast<size_t>(code)]);
    }
    for (int code : {11, 99, -2})
        EXPECT_EQ(processlog::Reason(texts, code), "Other Error");
}

TEST_F(RunJob, NoTargetDoesNothing) {
    for (const char* text : {"", "\""}) {
        log = "kept";
        EXPECT_EQ(job.RunJob(text), 0) << text;
        EXPECT_EQ(log, "kept");
        EXPECT_TRUE(ui.events.empty());
    }
}

TEST_F(RunJob, CancelReplacesTheLogAndTouchesNothing) {
    files.AddFile("C:\\W\\a.txt", "a");
    ui.confirmAnswer = false;
    for (int32_t logOption : {1, 0}) {
        job.Log = logOption;
        log = "old";
        EXPECT_EQ(job.RunJob("C:\\W\\a.txt"), 1);
        EXPECT_EQ(log, "Delete task is cencelled by user\r\n");
    }
    EXPECT_EQ(files.Content("C:\\W\\a.txt"), "a");
    EXPECT_TRUE(TraceOf({"Open", "SetStatus", "FindFirst"}).empty());
    EXPECT_TRUE(ui.Filter("Progress").empty());
}

TEST_F(RunJob, WithoutConfirmationNoBeepAndNoQuestion) {
    files.AddFile("C:\\W\\a.txt", "a");
    job.DispF = 0;
    job.NDispN = 1;
    EXPECT_EQ(job.RunJob("C:\\W\\a.txt"), 1);
    EXPECT_TRUE(ui.events.empty());
    EXPECT_FALSE(files.Exists("C:\\W\\a.txt"));
}

TEST_F(RunJob, ProgressWindowOrder) {
    files.AddFile("C:\\W\\a.txt", "a");
    files.AddFile("C:\\W\\c.txt", "c");
    job.DispF = 0;
    EXPECT_EQ(job.RunJob("C:\\W\\a.txt C:\\W\\b.txt C:\\W\\c.txt"), 1);
    EXPECT_THAT(
        ui.events,
        ElementsAre("Progress create", "Text 1014: a.txt", "Text 1016: processing 1/3 (0 errors)",
                    "Text 1058: ", "Pos 33", "Repaint", "Sleep 333",
                    "Box Information 0x40040: 'C:\\W\\b.txt'\\nExclude this file\\r\\n\\r\\n"
                    "(folder, temporary file, sparse file)",
                    "Text 1014: c.txt", "Text 1016: processing 3/3 (1 errors)",
                    "Text 1058: ", "Pos 100", "Repaint", "Sleep 333", "Progress destroy"));
    EXPECT_EQ(ui.liveProgressWindows, 0);
}

TEST_F(RunJob, OneTargetFillsTheBarBeforeTheWipe) {
    files.AddFile("C:\\W\\a.txt", "a");
    job.DispF = 0;
    bool wipedWhenFull = false;
    files.OnCall([&](const Call& c) {
        if (c.kind == CallKind::Open && ui.controlText.count(kProgressStatus)) wipedWhenFull = true;
    });
    job.RunJob("C:\\W\\a.txt");
    EXPECT_TRUE(wipedWhenFull);
    EXPECT_THAT(ui.Filter("Pos"), ElementsAre("Pos 100"));
    EXPECT_THAT(ui.Filter("Sleep"), ElementsAre("Sleep 1000"));
}

TEST_F(RunJob, SilentJobShowsNoBoxes) {
    files.AddFile("C:\\W\\a.txt", "a");
    job.DispF = 0;
    job.NDispE = 1;
    job.NDispN = 1;
    EXPECT_EQ(job.RunJob("C:\\W\\missing C:\\W\\a.txt"), 1);
    EXPECT_TRUE(ui.events.empty());
    EXPECT_NE(log.find("Exclude : C:\\W\\missing\r\nOK : C:\\W\\a.txt\r\n"), std::string::npos);
    EXPECT_NE(log.find("Complete (OK 1,  NG+Exclude 1)"), std::string::npos);
}

TEST_F(RunJob, AFailingTargetDoesNotStopTheJob) {
    files.AddFile("C:\\W\\a.txt", "a");
    files.AddFile("C:\\W\\b.txt", "b");
    files.AddFile("C:\\W\\c.txt", "c");
    files.Lock("C:\\W\\b.txt");
    job.DispF = 0;
    job.NDispN = 1;
    EXPECT_EQ(job.RunJob("C:\\W\\a.txt C:\\W\\b.txt C:\\W\\c.txt"), 1);
    EXPECT_THAT(ui.Filter("Box"),
                ElementsAre("Box Error 0x40010: Error occures during process\\r\\ncurrent target "
                            "'b.txt'\\r\\nreason : Fail to Open\\r\\n\\r\\nDelete Process is not "
                            "completed"));
    EXPECT_NE(log.find("OK : C:\\W\\a.txt\r\nNG (code=2) : C:\\W\\b.txt\r\nOK : C:\\W\\c.txt\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("Complete (OK 2,  NG+Exclude 1)"), std::string::npos);
    EXPECT_EQ(job.m_nOk, 2);  // the counts, without reading the log
    EXPECT_EQ(job.m_nFailed, 1);
    EXPECT_THAT(files.List("C:\\W"), ElementsAre("b.txt"));
}

TEST_F(RunJob, ErrorBoxNamesTheFileAsLastFound) {
    files.AddFile("C:\\W\\a.txt", "a");
    files.FailNth(CallKind::Remove, 1, kCauseAccessDenied);
    job.DispF = 0;
    job.NDispN = 1;
    job.RunJob("C:\\W\\a.txt");
    const std::vector<std::string> boxes = ui.Filter("Box Error");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].find("'a.txt'"), std::string::npos);
    EXPECT_NE(boxes[0].find("'" + job.m_strFoundName + "'"), std::string::npos);
    EXPECT_NE(log.find("NG (code=7) : C:\\W\\a.txt\r\n"), std::string::npos);
}

TEST_F(RunJob, DummyStageCallPoints) {
    struct Row {
        int32_t skip;
        size_t runs;
    };
    for (const Row& r : {Row{0, 4}, Row{1, 1}}) {
        log.clear();
        files.AddFile("C:\\W\\a.txt", "a");
        files.AddFile("C:\\W\\b.txt", "b");
        files.AddFile("C:\\W\\c.txt", "c");
        job.DispF = 0;
        job.NDispN = 1;
        job.Dummy = 1;
        job.DummySkip = r.skip;
        job.nFiles = 2;
        job.RunJob("C:\\W\\a.txt C:\\W\\missing C:\\W\\b.txt C:\\W\\c.txt");
        EXPECT_EQ(Count(log, "Make Dummy File (2 files)\r\n"), r.runs) << r.skip;
        // The last one stands right before the summary.
        EXPECT_NE(log.find("Make Dummy File (2 files)\r\n\r\nComplete"), std::string::npos);
        EXPECT_TRUE(files.List("C:\\W").empty());
    }
}

// The closing dummy call works in the folder of the last target that had a path: an empty
// target names no folder, and its empty one would mean the current directory.
TEST_F(RunJob, TheClosingDummyCallUsesTheLastTargetWithAPath) {
    struct Row {
        const char* text;
        const char* folder;  // of the closing call; nullptr: no call
    };
    const Row rows[] = {
        {"C:\\W\\a.txt  ", "C:\\W\\"},
        {"C:\\W\\missing.txt   ", "C:\\W\\"},
        {"  C:\\Temp\\a.txt", "C:\\Temp\\"},
        {"bare.txt ", ""},  // a bare name lies in the current directory
        {"   ", nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        files.AddFile("C:\\W\\a.txt", "a");
        files.AddFile("C:\\Temp\\a.txt", "a");
        files.ClearCalls();
        job.DispF = 0;
        job.NDispN = 1;
        job.Dummy = 1;
        job.DummySkip = 1;
        job.nFiles = 1;
        job.RunJob(r.text);
        std::vector<std::string> probes;
        for (const std::string& line : TraceOf({"FindFirst"})) {
            const size_t end = line.find("*.* !2");  // the prefix probe, which finds nothing
            if (end != std::string::npos) probes.push_back(line.substr(10, end - 10 - 4));
        }
        if (r.folder == nullptr)
            EXPECT_TRUE(probes.empty());
        else
            EXPECT_THAT(probes, ElementsAre(r.folder));
    }
}

TEST_F(RunJob, DummyAfterEachTargetFollowsItsLine) {
    files.AddFile("C:\\W\\a.txt", "a");
    files.AddFile("C:\\W\\b.txt", "b");
    job.DispF = 0;
    job.NDispN = 1;
    job.Dummy = 1;
    job.DummySkip = 0;
    job.nFiles = 1;
    job.RunJob("C:\\W\\a.txt C:\\W\\b.txt");
    EXPECT_NE(log.find("OK : C:\\W\\a.txt\r\nMake Dummy File (1 files)\r\nOK : C:\\W\\b.txt\r\n"
                       "Make Dummy File (1 files)\r\nMake Dummy File (1 files)\r\n\r\nComplete"),
              std::string::npos)
        << log;
}

TEST_F(RunJob, ProgressWindowThatCannotBeCreated) {
    files.AddFile("C:\\W\\a.txt", "a");
    ui.failProgress = true;
    job.DispF = 0;
    job.NDispE = 1;  // does not silence the warning
    EXPECT_EQ(job.RunJob("C:\\W\\a.txt"), 1);
    EXPECT_THAT(ui.events, ElementsAre("Progress create",
                                       "Box Error 0x40030: Your Operating System is UnStable\\r\\n"
                                       "Dialog Creation Error"));
    EXPECT_EQ(job.NDispN, 1);
    EXPECT_FALSE(files.Exists("C:\\W\\a.txt"));
}

TEST_F(RunJob, ManyTargetsWithoutPause) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        const std::string path = "C:\\W\\f" + std::to_string(i);
        files.AddFile(path, "");
        text += (i ? " " : "") + path;
    }
    job.DispF = 0;
    job.nOvwr = 1;
    EXPECT_EQ(job.RunJob(text), 1);
    const std::vector<std::string> sleeps = ui.Filter("Sleep");
    ASSERT_EQ(sleeps.size(), 2000u);
    for (const std::string& s : sleeps)
        ASSERT_EQ(s, "Sleep 0");
    EXPECT_TRUE(files.List("C:\\W").empty());
    EXPECT_NE(log.find("Complete (OK 2000,  NG+Exclude 0)"), std::string::npos);
}

// Every counted target is handled: an empty target is excluded like any other, and the walk
// goes on to the targets after it.
TEST_F(RunJob, EmptyTargetsAreExcludedAndTheJobGoesOn) {
    files.AddFile("C:\\W\\a.txt", "a");
    files.AddFile("C:\\W\\b.txt", "b");
    job.DispF = 0;
    job.NDispN = 1;
    EXPECT_EQ(job.RunJob("C:\\W\\a.txt  C:\\W\\b.txt"), 1);
    EXPECT_NE(log.find("( 3 files in queue)"), std::string::npos);
    EXPECT_NE(log.find("OK : C:\\W\\a.txt\r\nExclude : \r\nOK : C:\\W\\b.txt\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Complete (OK 2,  NG+Exclude 1)"), std::string::npos);
    EXPECT_THAT(ui.Filter("Box"),
                ElementsAre("Box Information 0x40040: ''\\nExclude this file\\r\\n\\r\\n"
                            "(folder, temporary file, sparse file)"));
    EXPECT_TRUE(files.List("C:\\W").empty());

    // A leading blank: the first target is empty, the rest are still wiped.
    files.AddFile("C:\\W\\c.txt", "c");
    log.clear();
    job.RunJob(" C:\\W\\c.txt");
    EXPECT_NE(log.find("Exclude : \r\nOK : C:\\W\\c.txt\r\n"), std::string::npos) << log;
}

TEST_F(RunJob, LogOffWritesNothing) {
    files.AddFile("C:\\W\\a.txt", "a");
    job.DispF = 0;
    job.NDispN = 1;
    job.Log = 0;
    job.Dummy = 1;
    job.nFiles = 1;
    EXPECT_EQ(job.RunJob("C:\\W\\a.txt C:\\W\\missing"), 1);
    EXPECT_EQ(log, "");
    EXPECT_TRUE(files.List("C:\\W").empty());
}

TEST_F(RunJob, ExclusionsOfEveryKind) {
    files.AddFolder("C:\\W\\sub");
    files.AddFile("C:\\W\\t.tmp", "t", kAttrTemporary);
    files.AddFile("C:\\W\\s.dat", "s", kAttrSparse);
    files.AddFile("C:\\W\\o.dat", "o", kAttrOffline);
    job.DispF = 0;
    job.NDispN = 1;
    job.NDispE = 1;
    job.RunJob("C:\\W\\sub C:\\W\\t.tmp C:\\W\\s.dat C:\\W\\o.dat");
    EXPECT_EQ(Count(log, "Exclude : "), 4u);
    EXPECT_NE(log.find("Complete (OK 0,  NG+Exclude 4)"), std::string::npos);
    EXPECT_EQ(files.List("C:\\W").size(), 4u);
    EXPECT_TRUE(TraceOf({"Open", "SetStatus"}).empty());
}

}  // namespace
