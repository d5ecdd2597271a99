// Dummy file entries against the file-layer double.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/JobFixture.h"

namespace {

using ::testing::ElementsAre;
using DummyEntries = JobFixture;

const char kHeader[] = "*************** THIS IS MARLOCK DUMMY FILE ***************\r\n";

class DummyFixture : public JobFixture {
protected:
    DummyFixture() {
        files.AddFile("C:\\W\\target.txt", "t");
        job.m_strPath = "C:\\W\\target.txt";
        job.CheckTarget();
        job.Confirm = 1;
        // What the folder holds while the first step box is up.
        ui.onEvent = [this](const std::string& e) {
            if (e.find("\\nMake Dummy File") != std::string::npos) during = files.List("C:\\W");
        };
    }
    std::vector<std::string> during;
};

TEST_F(DummyFixture, MakesAndRemovesTheBatch) {
    ASSERT_EQ(job.MakeDummyFileEntries(), 1);
    ASSERT_EQ(during.size(), 41u);
    const std::string prefix = during[0].substr(0, 4);
    EXPECT_TRUE(std::regex_match(prefix, std::regex("[a-z]{4}")));
    for (int i = 0; i < 40; ++i) {
        const std::string name = prefix + (i < 10 ? "0" : "") + std::to_string(i) + ".tmp";
        EXPECT_EQ(during[static_cast<size_t>(i)], name);
    }
    EXPECT_THAT(files.List("C:\\W"), ElementsAre("target.txt"));
    EXPECT_EQ(log, "Make Dummy File (40 files)\r\n");
    EXPECT_THAT(
        ui.Filter("Box"),
        ElementsAre(
            "Box Tidewipe Processing Status 0x40: Processing 'target.txt' \\nMake Dummy File",
            "Box Tidewipe Processing Status 0x40: Processing 'target.txt' \\nDelete Dummy File"));
    // Each file holds the header line and nothing else.
    for (const std::string& line : files.Trace()) {
        if (line.rfind("Write", 0) == 0) {
            EXPECT_EQ(line, "Write 60");
        }
    }
    EXPECT_EQ(files.OpenCount(), 0);
}

TEST_F(DummyFixture, ContentIsTheHeaderLine) {
    std::string content;
    ui.onEvent = [&](const std::string& e) {
        if (e.find("\\nMake Dummy File") == std::string::npos) return;
        for (const std::string& name : files.List("C:\\W")) {
            if (name != "target.txt") content = files.Content("C:\\W\\" + name);
        }
    };
    ASSERT_EQ(job.MakeDummyFileEntries(), 1);
    EXPECT_EQ(content, kHeader);
    EXPECT_EQ(content.size(), 60u);
}

TEST_F(DummyFixture, CountsOutsideTheSheetsRange) {
    struct Row {
        int32_t count;
        size_t made;
        const char* last;  // the shape of the last name
        const char* logLine;
    };
    const Row rows[] = {
        {100, 100, "[a-z]{4}99\\.tmp", "Make Dummy File (100 files)\r\n"},
        {101, 101, "[a-z]{4}100\\.tmp", "Make Dummy File (101 files)\r\n"},
        {0, 0, "", "Make Dummy File (0 files)\r\n"},
        {-3, 0, "", "Make Dummy File (-3 files)\r\n"},
    };
    for (const Row& r : rows) {
        job.nFiles = r.count;
        log.clear();
        during.clear();
        ui.events.clear();
        ASSERT_EQ(job.MakeDummyFileEntries(), 1) << r.count;
        ASSERT_EQ(during.size(), r.made + 1) << r.count;
        if (r.made > 0) {
            // List sorts by name: the three-digit index sorts before 99.
            std::string last;
            for (const std::string& n : during) {
                if (n != "target.txt" && n.size() >= last.size()) last = n;
            }
            EXPECT_TRUE(std::regex_match(last, std::regex(r.last))) << last;
        }
        EXPECT_EQ(ui.Filter("Box").size(), 2u) << r.count;
        EXPECT_EQ(log, r.logLine);
        EXPECT_THAT(files.List("C:\\W"), ElementsAre("target.txt"));
    }
}

TEST_F(DummyFixture, AnEntryWithTheDrawnPrefixStopsTheStage) {
    files.OnCall([this](const Call& c) {
        if (c.kind == CallKind::FindFirst && c.path.find("*.*") != std::string::npos) {
            const std::string prefix = c.path.substr(5, 4);
            files.AddFile("C:\\W\\" + std::string(prefix.size(), 'x'), "");  // unrelated
            std::string upper = prefix;
            for (char& ch : upper)
                ch = static_cast<char>(ch - 'a' + 'A');
            files.AddFile("C:\\W\\" + upper + "NOTES.TXT", "mine");
        }
    });
    EXPECT_EQ(job.MakeDummyFileEntries(), 0);
    EXPECT_TRUE(TraceOf({"Open", "Remove"}).empty());
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(log, "");
}

TEST_F(DummyFixture, MissingFolderShowsOneBox) {
    job.m_strFolder = "C:\\Gone\\";
    EXPECT_EQ(job.MakeDummyFileEntries(), 0);
    EXPECT_THAT(ui.events, ElementsAre("Box Error 0x40010: Dummy File I/O Error (Hardware Error)"));
    EXPECT_EQ(log, "");
}

TEST_F(DummyFixture, FailuresRemoveWhatTheCallMade) {
    struct Row {
        const char* what;
        CallKind kind;
        int n;
        int cause;
        std::vector<std::string> boxes;
    };
    const std::string ioBox = "Box Error 0x40010: Dummy File I/O Error (Hardware Error)";
    const std::string errorBox =
        "Box Error 0x40010: Error occures during process\\r\\ncurrent target 'target.txt'\\r\\n"
        "reason : Fail to Make Dummy File\\r\\n\\r\\nDelete Process is not completed";
    const Row rows[] = {
        {"create", CallKind::Open, 5, kCauseAccessDenied, {ioBox}},
        {"write, disk full", CallKind::Write, 7, kCauseDiskFull, {}},
        {"write, hardware", CallKind::Write, 7, kCauseHardIO, {ioBox}},
        // The header may reach the disk only at the close: its failure is the write's.
        {"close, disk full", CallKind::Close, 3, kCauseDiskFull, {}},
        {"close, hardware", CallKind::Close, 3, kCauseHardIO, {ioBox}},
        {"remove", CallKind::Remove, 3, kCauseAccessDenied, {errorBox}},
        {"remove, hardware",
         CallKind::Remove,
         3,
         kCauseHardIO,
         {"Box Error 0x40010: File I/O Error (Hardware Error)"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        job.Confirm = 0;
        job.NDispE = 1;  // does not silence these boxes
        ui.events.clear();
        log.clear();
        files.FailNth(r.kind, r.n, r.cause);
        EXPECT_EQ(job.MakeDummyFileEntries(), 0);
        files.ClearFaults();
        EXPECT_EQ(ui.Filter("Box"), r.boxes);
        EXPECT_EQ(log, "");
        EXPECT_EQ(files.OpenCount(), 0);
        // Everything the call made is gone: a removal that failed once is tried again.
        const size_t left = files.List("C:\\W").size();
        EXPECT_EQ(left, 1u);
        for (const std::string& n : files.List("C:\\W")) {
            if (n != "target.txt") files.Remove("C:\\W\\" + n);
        }
    }
}

TEST_F(DummyFixture, PathsThatDoNotFitAreNeverMade) {
    job.m_strFolder = "C:\\" + std::string(249, 'f') + "\\";  // 252 + 4 + 2 + 4 > 259
    files.AddFolder(job.m_strFolder);
    files.ClearCalls();
    EXPECT_EQ(job.MakeDummyFileEntries(), 0);
    EXPECT_TRUE(TraceOf({"Open", "FindFirst"}).empty());
    EXPECT_THAT(ui.Filter("Box"),
                ElementsAre("Box Error 0x40010: Dummy File I/O Error (Hardware Error)"));
}

TEST_F(DummyFixture, EmptyFolderMeansTheCurrentDirectory) {
    files.AddFile("loose.txt", "l");
    job.m_strPath = "loose.txt";
    job.CheckTarget();
    job.nFiles = 3;
    ASSERT_EQ(job.MakeDummyFileEntries(), 1);
    const std::vector<std::string> opens = TraceOf({"Open"});
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_TRUE(std::regex_match(opens[0], std::regex("Open [a-z]{4}00\\.tmp create-rw")));
}

}  // namespace
