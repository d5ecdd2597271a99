// The wipe engine on real files, through the platform's own file layer: built natively with the
// POSIX layer and for Windows with the Win32 layer (run under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "job/DeleteJob.h"
#include "job/TextSource.h"
#include "support/RealFiles.h"
#include "support/RecordingJobUi.h"
#include "wipe/Clock.h"

namespace {

// Every test works in a root of its own: `work` holds the targets, `sentinel` holds files that
// must come through untouched, and nothing else may appear in the root.
class RealFileWipe : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = realfiles::MakeFolder();
        work = m_root + "work" + m_sep;
        sentinel = m_root + "sentinel" + m_sep;
        realfiles::CreateFolder(work);
        realfiles::CreateFolder(sentinel);
        realfiles::Write(sentinel + "keep.txt", "do not touch");
        realfiles::Write(sentinel + "a.txt", "same name, other folder");
        job.m_pLog = &log;
    }

    void TearDown() override {
        EXPECT_EQ(realfiles::List(m_root), (std::vector<std::string>{"sentinel", "work"}));
        EXPECT_EQ(realfiles::List(sentinel), (std::vector<std::string>{"a.txt", "keep.txt"}));
        EXPECT_EQ(realfiles::Read(sentinel + "keep.txt"), "do not touch");
        EXPECT_EQ(realfiles::Read(sentinel + "a.txt"), "same name, other folder");
        realfiles::RemoveTree(m_root);
    }

    int Wipe(const std::string& path) {
        job.m_strPath = path;
        EXPECT_TRUE(job.CheckTarget()) << path;
        return job.WipeFile(nullptr);
    }

    void KeepFile() {
        job.rRen = 0;
        job.rZLen = 0;
        job.Date = 0;
        job.bNotDel = 1;
    }

    const std::string m_sep = std::string(1, realfiles::Traits().separator);
    std::string m_root;
    std::string work;
    std::string sentinel;
    std::unique_ptr<FileLayer> files = realfiles::MakeLayer();
    RecordingJobUi ui;
    EnglishTextSource texts;
    SystemClock clock;
    DeleteJob job{*files, ui, texts, clock};
    std::string log;
};

TEST_F(RealFileWipe, DefaultsRemoveTheFileAndLeaveNothingElse) {
    realfiles::Write(work + "a.txt", std::string(100000, 's'));
    realfiles::SetReadOnly(work + "a.txt", true);
    EXPECT_EQ(Wipe(work + "a.txt"), Success);
    EXPECT_TRUE(realfiles::List(work).empty());
}

TEST_F(RealFileWipe, ContentsAreOverwrittenInPlace) {
    struct Row {
        int32_t rNull;
        int32_t overrun;
    };
    for (const Row& r : {Row{0, 0}, Row{0, 1000}, Row{1, 0}, Row{1, 3000}}) {
        const std::string original(70000, 'A');
        realfiles::Write(work + "a.txt", original);
        KeepFile();
        job.rNull = r.rNull;
        job.m_nOverrun = r.overrun;
        ASSERT_EQ(Wipe(work + "a.txt"), Success);
        const std::string after = realfiles::Read(work + "a.txt");
        ASSERT_EQ(after.size(), original.size() + static_cast<size_t>(r.overrun));
        EXPECT_EQ(after[0], 'X');
        if (r.rNull == 0) {
            EXPECT_EQ(after.find_first_not_of('\0', 1), std::string::npos);
        } else {
            // Random bytes: about 1 in 256 happens to equal the old byte.
            const auto same = std::count(after.begin(), after.begin() + 70000, 'A');
            EXPECT_LT(same, 70000 / 50);
        }
        EXPECT_EQ(realfiles::List(work), std::vector<std::string>{"a.txt"});
    }
}

TEST_F(RealFileWipe, AFileHeldOpenFailsToOpenWithItsAttributesCleared) {
    realfiles::Write(work + "held.txt", "secret contents");
    realfiles::SetReadOnly(work + "held.txt", true);
    {
        auto holder = realfiles::HoldOpen(work + "held.txt");
        EXPECT_EQ(Wipe(work + "held.txt"), ErrOpen);
    }
    EXPECT_FALSE(realfiles::IsReadOnly(work + "held.txt"));
    EXPECT_EQ(realfiles::Read(work + "held.txt"), "secret contents");
}

TEST_F(RealFileWipe, NamesAndDatesAreScrambled) {
    realfiles::Write(work + "report.doc", "r");
    job.bNotDel = 1;
    job.rRen = 2;
    ASSERT_EQ(Wipe(work + "report.doc"), Success);
    const std::vector<std::string> left = realfiles::List(work);
    ASSERT_EQ(left.size(), 1u);
    const std::set<std::string> bases = {"AWSRVR32", "CMCT232", "D3DRG16", "INST32",  "JAVAPRXY",
                                         "MSCREATE", "EXCEL8",  "XL8049",  "CP_1252", "ICRSCRPT"};
    EXPECT_EQ(bases.count(left[0].substr(0, left[0].find('.'))), 1u) << left[0];
    EXPECT_EQ(realfiles::Read(work + left[0]), "");
    FileStatus st;
    ASSERT_TRUE(files->GetStatus(work + left[0], st));
    // Within a day of 1998-01-01 whatever the time zone.
    EXPECT_NEAR(static_cast<double>(st.m_mtime), 883612802.0, 86400.0);
}

TEST_F(RealFileWipe, DummyEntriesAndTheAdditionalWipeLeaveNothing) {
    realfiles::Write(work + "a.txt", std::string(5000, 'a'));
    realfiles::Write(work + "b c.txt", std::string(3000, 'b'));
    job.DispF = 0;
    job.NDispN = 1;
    job.Dummy = 1;
    job.DummySkip = 0;
    job.nFiles = 5;
    job.AddWipe = 1;
    job.nAnticacheSize = 1;
    job.bAntiOneShot = 0;
    ASSERT_EQ(job.RunJob(work + "a.txt \"" + work + "b c.txt\""), 1);
    EXPECT_NE(log.find("Complete (OK 2,  NG+Exclude 0)"), std::string::npos) << log;
    // After each of the two targets and once at the end.
    size_t dummyLines = 0;
    for (size_t p = log.find("Make Dummy File (5 files)\r\n"); p != std::string::npos;
         p = log.find("Make Dummy File (5 files)\r\n", p + 1)) {
        ++dummyLines;
    }
    EXPECT_EQ(dummyLines, 3u);
    EXPECT_TRUE(realfiles::List(work).empty());
    EXPECT_TRUE(ui.Filter("Box").empty());
}

TEST_F(RealFileWipe, ExcludedTargetsAreLeftAlone) {
    job.DispF = 0;
    job.NDispN = 1;
    job.NDispE = 1;
    realfiles::Write(work + "keep.txt", "k");
    ASSERT_EQ(job.RunJob(work + "missing.txt " + sentinel.substr(0, sentinel.size() - 1)), 1);
    EXPECT_NE(log.find("Complete (OK 0,  NG+Exclude 2)"), std::string::npos) << log;
    EXPECT_EQ(realfiles::Read(work + "keep.txt"), "k");
}

}  // namespace
