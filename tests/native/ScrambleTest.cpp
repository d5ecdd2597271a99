// Renaming, back-dating and removal against the file-layer double.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/JobFixture.h"

namespace {

using ::testing::ElementsAre;
using Scramble = JobFixture;

const char* const kNames[] = {"AWSRVR32", "CMCT232", "D3DRG16", "INST32",  "JAVAPRXY",
                              "MSCREATE", "EXCEL8",  "XL8049",  "CP_1252", "ICRSCRPT"};
const char* const kExtensions[] = {"DLL", "DAT", "OCX", "DRV", "CAB", "VBX", "EXE", "TMP", "X3"};

// Renames only, and leaves the file so that its new name can be seen.
void RenameOnly(DeleteJob& job, int32_t rRen) {
    job.nOvwr = 1;
    job.rZLen = 0;
    job.Date = 0;
    job.bNotDel = 1;
    job.rRen = rRen;
}

TEST_F(Scramble, RandomNameShapes) {
    struct Row {
        const char* name;
        const char* shape;
    };
    const Row rows[] = {
        {"a.txt", "[A-Z]{8}\\.TMP"},
        {"readme", "[A-Z]{8}\\.TMP"},
        {".profile", "[A-Z]{8}\\.TMP"},
        {"sixsix.doc", "[A-Z]{8}\\.TMP"},
        {"notes12.txt", "[A-Z]{7}\\.[A-Z]{3}"},
        {"archive.tar.gz", "[A-Z]{7}\\.[A-Z]{3}\\.[A-Z]{2}"},
        {"longname", "[A-Z]{8}"},
        {"seven77.", "[A-Z]{7}\\."},
        // Bytes of a multi-byte name are replaced one by one: 9 bytes of stem.
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", "[A-Z]{9}\\.[A-Z]{3}"},
    };
    for (const Row& r : rows) {
        const std::string dir = std::string("C:\\R") + std::to_string(&r - rows) + "\\";
        files.AddFolder(dir);
        files.AddFile(dir + r.name, "data");
        RenameOnly(job, 1);
        ASSERT_EQ(Wipe(dir + r.name), Success) << r.name;
        const std::vector<std::string> left = files.List(dir);
        ASSERT_EQ(left.size(), 1u) << r.name;
        EXPECT_TRUE(std::regex_match(left[0], std::regex(r.shape))) << r.name << " -> " << left[0];
        EXPECT_EQ(job.m_strPath, dir + left[0]);
        EXPECT_EQ(job.m_strFoundName, left[0]);
    }
}

TEST_F(Scramble, WindowsLikeNameFollowsTheRandomOne) {
    std::set<std::string> allowed;
    for (const char* n : kNames) {
        for (const char* e : kExtensions)
            allowed.insert(std::string(n) + "." + e);
    }
    for (int i = 0; i < 20; ++i) {
        const std::string dir = "C:\\L" + std::to_string(i) + "\\";
        files.AddFolder(dir);
        files.AddFile(dir + "report.doc", "data");
        RenameOnly(job, 2);
        clock.now += 1;  // a new seed each time
        ASSERT_EQ(Wipe(dir + "report.doc"), Success);
        const std::vector<std::string> left = files.List(dir);
        ASSERT_EQ(left.size(), 1u);
        EXPECT_EQ(allowed.count(left[0]), 1u) << left[0];
    }
    // Two renames per file.
    EXPECT_EQ(TraceOf({"Rename"}).size(), 40u);
}

TEST_F(Scramble, FolderFullOfWindowsLikeNames) {
    for (const char* n : kNames) {
        for (const char* e : kExtensions)
            files.AddFile(std::string("C:\\W\\") + n + "." + e, "");
    }
    files.AddFile("C:\\W\\a.txt", "data");
    RenameOnly(job, 2);
    job.Confirm = 1;
    ASSERT_EQ(Wipe("C:\\W\\a.txt"), Success);
    // The random rename happened, the Windows-like one could not, and its box still shows.
    EXPECT_EQ(TraceOf({"Rename"}).size(), 1u);
    EXPECT_TRUE(std::regex_match(job.m_strFoundName, std::regex("[A-Z]{8}\\.TMP")));
    EXPECT_EQ(ui.Filter("Box Tidewipe Processing Status 0x40: Processing '" + job.m_strFoundName +
                        "' \\nChange Name (Windows similar)")
                  .size(),
              1u);
    EXPECT_EQ(files.List("C:\\W").size(), 91u);
}

// Every probe of a candidate name finds it taken, up to `taken` probes.
void TakeProbedNames(FakeFileLayer& files, int taken, int* probes) {
    files.OnCall([&files, taken, probes](const Call& call) {
        if (call.kind != CallKind::FindFirst || call.path.find("a.txt") != std::string::npos)
            return;
        if (++*probes <= taken) files.AddFile(call.path, "someone else's");
    });
}

TEST_F(Scramble, TenCollisionsLeaveTheName) {
    files.AddFile("C:\\W\\a.txt", "data");
    RenameOnly(job, 1);
    job.Confirm = 1;
    int probes = 0;
    TakeProbedNames(files, 100, &probes);
    ASSERT_EQ(Wipe("C:\\W\\a.txt"), Success);
    EXPECT_EQ(probes, 10);
    EXPECT_TRUE(TraceOf({"Rename"}).empty());
    EXPECT_EQ(job.m_strPath, "C:\\W\\a.txt");
    EXPECT_TRUE(ui.Filter("Box Tidewipe Processing Status 0x40: Processing 'a.txt' \\nChange Name")
                    .empty());
    // The other files are untouched.
    for (const std::string& name : files.List("C:\\W")) {
        if (name != "a.txt") {
            EXPECT_EQ(files.Content("C:\\W\\" + name), "someone else's");
        }
    }
}

TEST_F(Scramble, TheTenthCandidateIsUsed) {
    files.AddFile("C:\\W\\a.txt", "data");
    RenameOnly(job, 1);
    int probes = 0;
    TakeProbedNames(files, 9, &probes);
    ASSERT_EQ(Wipe("C:\\W\\a.txt"), Success);
    EXPECT_EQ(probes, 11);  // ten candidates, then the check of the new name
    EXPECT_EQ(files.List("C:\\W").size(), 10u);
    // Our file under the tenth name; nothing was replaced.
    const std::string ours = files.Content(job.m_strPath);
    EXPECT_EQ(ours.size(), 4u);
    EXPECT_EQ(ours[0], 'X');
    EXPECT_FALSE(files.Exists("C:\\W\\a.txt"));
}

TEST_F(Scramble, ANameTakenAfterTheProbeFailsTheRename) {
    files.AddFile("C:\\W\\a.txt", "data");
    RenameOnly(job, 1);
    files.OnCall([this](const Call& call) {
        if (call.kind == CallKind::Rename) {
            files.AddFile(call.path.substr(call.path.find(" -> ") + 4), "raced");
        }
    });
    EXPECT_EQ(Wipe("C:\\W\\a.txt"), ErrRename);
    EXPECT_EQ(job.m_strPath, "C:\\W\\a.txt");
    for (const std::string& name : files.List("C:\\W")) {
        if (name != "a.txt") {
            EXPECT_EQ(files.Content("C:\\W\\" + name), "raced");
        }
    }
}

TEST_F(Scramble, CandidatesThatDoNotFitThePathBufferAreNeverUsed) {
    // Neither the short shape (12 characters) nor a system-like name (at least 9, EXCEL8.X3)
    // fits beside a folder of 251: the random name takes a letter for each character of the
    // name instead, and the system-like rename is left out.
    const std::string dir = "C:\\" + std::string(247, 'd') + "\\";
    ASSERT_EQ(dir.size(), 251u);
    files.AddFolder(dir);
    files.AddFile(dir + "a.txt", "data");
    RenameOnly(job, 2);
    ASSERT_EQ(Wipe(dir + "a.txt"), Success);
    EXPECT_EQ(TraceOf({"Rename"}).size(), 1u);
    const std::string name = job.m_strPath.substr(dir.size());
    EXPECT_EQ(job.m_strPath.substr(0, dir.size()), dir);
    ASSERT_EQ(name.size(), 5u) << name;
    EXPECT_EQ(name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ."), std::string::npos) << name;
    EXPECT_EQ(name[1], '.');
    EXPECT_NE(name, "A.TXT");
}

TEST_F(Scramble, DateIsFirstOfJanuary1998AtTwoSeconds) {
    files.AddFile("C:\\W\\a.txt", "data", kAttrHidden | kAttrArchive);
    files.SetTimes("C:\\W\\a.txt", 1700000000, 1700000001, 1700000002);
    RenameOnly(job, 0);
    job.Date = 1;
    ASSERT_EQ(Wipe("C:\\W\\a.txt"), Success);
    const FileStatus st = files.StatusOf("C:\\W\\a.txt");
    const std::time_t t = static_cast<std::time_t>(st.m_mtime);
    const std::tm local = *std::localtime(&t);
    EXPECT_EQ(local.tm_year, 98);
    EXPECT_EQ(local.tm_mon, 0);
    EXPECT_EQ(local.tm_mday, 1);
    EXPECT_EQ(local.tm_hour, 0);
    EXPECT_EQ(local.tm_min, 0);
    EXPECT_EQ(local.tm_sec, 2);
    EXPECT_EQ(st.m_ctime, st.m_mtime);
    EXPECT_EQ(st.m_atime, st.m_mtime);
    // The date stage keeps the attributes (the hidden bit went in the attribute stage).
    EXPECT_EQ(st.m_attribute, kAttrArchive);
}

TEST_F(Scramble, NotDeletedFileKeepsEverythingButItsIdentity) {
    files.AddFile("C:\\W\\a.txt", std::string(4000, 'z'));
    job.bNotDel = 1;
    job.rRen = 2;
    ASSERT_EQ(Wipe("C:\\W\\a.txt"), Success);
    const std::vector<std::string> left = files.List("C:\\W");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_NE(left[0], "a.txt");
    EXPECT_EQ(files.Size("C:\\W\\" + left[0]), 0);
}

TEST_F(Scramble, TruncatingAnEmptyFileSucceeds) {
    files.AddFile("C:\\W\\e.txt", "");
    RenameOnly(job, 0);
    job.rZLen = 1;
    job.Confirm = 1;
    ASSERT_EQ(Wipe("C:\\W\\e.txt"), Success);
    EXPECT_EQ(files.Size("C:\\W\\e.txt"), 0);
    EXPECT_EQ(
        ui.Filter("Box Tidewipe Processing Status 0x40: Processing 'e.txt' \\nTruncate File Length")
            .size(),
        1u);
}

}  // namespace
