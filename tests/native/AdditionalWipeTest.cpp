// The additional wipe's temporary file against the file-layer double.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/JobFixture.h"

namespace {

using ::testing::ElementsAre;

class AdditionalWipe : public JobFixture {
protected:
    AdditionalWipe() {
        job.AddWipe = 1;
        job.nAnticacheSize = 1;
        // The scratch file as it stood when the step box came up.
        job.Confirm = 1;
        ui.onEvent = [this](const std::string& e) {
            if (e.find("Make Additional Wipe temporary file") == std::string::npos) return;
            for (const char* folder : {"C:\\W", "C:\\Temp"}) {
                for (const std::string& n : files.List(folder)) {
                    if (n.rfind("_c", 0) == 0) scratch = std::string(folder) + "\\" + n;
                }
            }
            scratchSize = files.Size(scratch);
        };
    }
    std::string scratch;
    int64_t scratchSize = -1;
};

TEST_F(AdditionalWipe, OffDoesNothing) {
    job.AddWipe = 0;
    const int reads = clock.reads;
    EXPECT_EQ(job.MakeAdditionalWipeFile("C:\\W\\report.doc"), 1);
    EXPECT_TRUE(files.Calls().empty());
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(clock.reads, reads);  // the generator is left alone
}

TEST_F(AdditionalWipe, WritesTwiceNextToTheTargetAndRemoves) {
    job.nAnticacheSize = 20;
    EXPECT_EQ(job.MakeAdditionalWipeFile("C:\\W\\report.doc"), 1);
    EXPECT_TRUE(std::regex_match(scratch, std::regex("C:\\\\W\\\\_c[0-9]{6}\\.tmp"))) << scratch;
    EXPECT_EQ(scratchSize, 20971520);
    const std::vector<std::string> pass = {"Open " + scratch + " create-w", "Write 2048 x10240",
                                           "Flush", "Close"};
    std::vector<std::string> expected = pass;
    expected.insert(expected.end(), pass.begin(), pass.end());
    expected.push_back("Remove " + scratch);
    EXPECT_EQ(TraceOf({"Open", "Write", "Flush", "Close", "Remove"}), expected);
    EXPECT_TRUE(files.List("C:\\W").empty());
}

TEST_F(AdditionalWipe, ContentIsRandomAndDiffersBetweenPasses) {
    std::vector<std::string> contents;
    files.OnCall([&](const Call& c) {
        if (c.kind == CallKind::Close && c.path.find("_c") != std::string::npos) {
            contents.push_back("");  // filled after the close, below
        }
    });
    ui.onEvent = [&](const std::string& e) {
        if (e.find("Make Additional Wipe temporary file") == std::string::npos) return;
        for (const std::string& n : files.List("C:\\W"))
            contents.back() = files.Content("C:\\W\\" + n);
    };
    EXPECT_EQ(job.MakeAdditionalWipeFile("C:\\W\\report.doc"), 1);
    ASSERT_EQ(contents.size(), 2u);
    const std::string& c = contents.back();
    ASSERT_EQ(c.size(), 1048576u);
    EXPECT_NE(c.substr(0, 2048), c.substr(2048, 2048));
    EXPECT_NE(c.find_first_not_of('\0'), std::string::npos);
}

TEST_F(AdditionalWipe, WhereTheFileGoes) {
    struct Row {
        const char* target;
        int32_t antiFolder;
        const char* temp;
        const char* shape;
    };
    files.AddFolder("D:\\");
    const Row rows[] = {
        {"C:\\W\\report.doc", 0, "C:\\Temp\\", "C:\\\\W\\\\_c[0-9]{6}\\.tmp"},
        {"C:\\W\\report.doc", 1, "C:\\Temp\\", "C:\\\\Temp\\\\_c[0-9]{6}\\.tmp"},
        {"C:\\W\\report.doc", 1, "C:\\Temp", "C:\\\\Temp\\\\_c[0-9]{6}\\.tmp"},
        {"C:\\W\\report.doc", 5, "C:\\Temp", "C:\\\\Temp\\\\_c[0-9]{6}\\.tmp"},
        {"C:/W/report.doc", 0, "C:\\Temp\\", "C:/W/_c[0-9]{6}\\.tmp"},
    };
    for (const Row& r : rows) {
        files.SetTempPath(r.temp);
        job.rAntiFolder = r.antiFolder;
        files.ClearCalls();
        EXPECT_EQ(job.MakeAdditionalWipeFile(r.target), 1) << r.target;
        const std::vector<std::string> opens = TraceOf({"Open"});
        ASSERT_EQ(opens.size(), 2u);
        const std::string path = opens[0].substr(5, opens[0].size() - 5 - 9);
        EXPECT_TRUE(std::regex_match(path, std::regex(r.shape))) << path;
    }
}

TEST_F(AdditionalWipe, NoTemporaryFolderMeansNothingToDo) {
    files.SetTempPath("");
    job.rAntiFolder = 1;
    EXPECT_EQ(job.MakeAdditionalWipeFile("C:\\W\\report.doc"), 0);
    EXPECT_TRUE(TraceOf({"Open"}).empty());
}

TEST_F(AdditionalWipe, SizeRule) {
    struct Row {
        int32_t stored;
        int64_t bytes;
    };
    for (const Row& r : {Row{1, 1048576}, Row{20, 20971520}, Row{100, 104857600},
                         Row{2047, 2146435072}, Row{2048, 2146435072}, Row{2147483647, 2146435072},
                         Row{0, 0}, Row{-1, 0}, Row{-2147483647 - 1, 0}}) {
        EXPECT_EQ(DeleteJob::AnticacheBytes(r.stored), r.bytes) << r.stored;
    }
}

TEST_F(AdditionalWipe, EmptySizesMakeAnEmptyFile) {
    for (int32_t stored : {0, -5}) {
        job.nAnticacheSize = stored;
        files.ClearCalls();
        EXPECT_EQ(job.MakeAdditionalWipeFile("C:\\W\\report.doc"), 1);
        EXPECT_EQ(scratchSize, 0);
        EXPECT_TRUE(TraceOf({"Write"}).empty());
        EXPECT_EQ(TraceOf({"Open"}).size(), 2u);
        EXPECT_TRUE(files.List("C:\\W").empty());
    }
}

TEST_F(AdditionalWipe, ATakenNameIsRedrawnOnceTheSecondChanges) {
    files.AddFile("C:\\W\\report.doc", "r");
    std::string first;
    int probes = 0;
    files.OnCall([&](const Call& c) {
        if (c.kind != CallKind::GetStatus || c.path.find("_c") == std::string::npos) return;
        if (first.empty()) {
            first = c.path;
            files.AddFile(first, "not ours");
        }
        // Same second, same name; the clock moves on after the third probe.
        if (++probes == 3) clock.now += 1;
    });
    EXPECT_EQ(job.MakeAdditionalWipeFile("C:\\W\\report.doc"), 1);
    EXPECT_EQ(probes, 4);
    const std::vector<std::string> probed = TraceOf({"GetStatus"});
    EXPECT_EQ(probed[0], probed[1]);
    EXPECT_EQ(probed[1], probed[2]);
    EXPECT_NE(probed[2], probed[3]);
    EXPECT_EQ(files.Content(first), "not ours");
    EXPECT_THAT(files.List("C:\\W"), ElementsAre(first.substr(5), "report.doc"));
}

TEST_F(AdditionalWipe, AClockThatNeverMovesEndsTheSearch) {
    files.OnCall([&](const Call& c) {
        if (c.kind == CallKind::GetStatus && !files.Exists(c.path)) files.AddFile(c.path, "taken");
    });
    EXPECT_EQ(job.MakeAdditionalWipeFile("C:\\W\\report.doc"), 0);
    EXPECT_EQ(TraceOf({"GetStatus"}).size(), 200u);
    EXPECT_EQ(ui.Filter("Sleep 50").size(), 199u);
    EXPECT_TRUE(TraceOf({"Open", "Remove"}).empty());
    EXPECT_THAT(files.List("C:\\W"), ElementsAre(TraceOf({"GetStatus"})[0].substr(15)));
}

TEST_F(AdditionalWipe, FailuresRemoveTheScratchFile) {
    struct Row {
        const char* what;
        CallKind kind;
        int n;
        int cause;
        bool stepBox;
    };
    const Row rows[] = {
        {"first create", CallKind::Open, 1, kCauseAccessDenied, false},
        {"second create", CallKind::Open, 2, kCauseAccessDenied, false},
        {"write, disk full", CallKind::Write, 100, kCauseDiskFull, false},
        {"write, hardware", CallKind::Write, 100, kCauseHardIO, true},
        {"flush", CallKind::Flush, 2, kCauseDiskFull, false},
        {"close, hardware", CallKind::Close, 1, kCauseHardIO, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ui.events.clear();
        files.FailNth(r.kind, r.n, r.cause);
        EXPECT_EQ(job.MakeAdditionalWipeFile("C:\\W\\report.doc"), 0);
        files.ClearFaults();
        EXPECT_TRUE(files.List("C:\\W").empty());
        EXPECT_EQ(files.OpenCount(), 0);
        EXPECT_EQ(ui.Filter("Box").size(), r.stepBox ? 1u : 0u);
        if (r.stepBox) {
            EXPECT_NE(ui.events[0].find("Fail to make Anticache temporary file"),
                      std::string::npos);
        }
    }
}

TEST_F(AdditionalWipe, AFullDiskEndsTheStepQuietly) {
    job.nAnticacheSize = 100;
    files.SetFreeBytes(5 * 1048576);
    EXPECT_EQ(job.MakeAdditionalWipeFile("C:\\W\\report.doc"), 0);
    EXPECT_TRUE(files.List("C:\\W").empty());
    EXPECT_TRUE(ui.Filter("Box").empty());
}

TEST_F(AdditionalWipe, PathsThatDoNotFitAreNeverMade) {
    const std::string dir = "C:\\" + std::string(246, 'a') + "\\";  // 250 + 12 > 259
    files.AddFolder(dir);
    EXPECT_EQ(job.MakeAdditionalWipeFile(dir + "report.doc"), 0);
    EXPECT_TRUE(TraceOf({"Open", "GetStatus"}).empty());
}

}  // namespace
