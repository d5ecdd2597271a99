// The wipe engine on real files, through the platform's own file layer: built natively with the
// POSIX layer and for Windows with the Win32 layer (run under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
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

    int Count(const std::vector<std::string>& lines, const std::string& part) const {
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
            return line.find(part) != std::string::npos;
        }));
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

// The real layer, with a chance to change the disk before a chosen open.
class SwappingLayer : public FileLayer {
public:
    explicit SwappingLayer(FileLayer& real) : m_real(real) {}

    int swapAt = 0;
    std::function<void()> swap;

    std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode mode, int* cause,
                                     long* osError) override {
        if (++m_opens == swapAt) swap();
        return m_real.Open(path, mode, cause, osError);
    }
    bool GetStatus(const std::string& path, FileStatus& status) override {
        return m_real.GetStatus(path, status);
    }
    void Rename(const std::string& from, const std::string& to) override {
        m_real.Rename(from, to);
    }
    void Remove(const std::string& path) override { m_real.Remove(path); }
    bool FindFirst(const std::string& pattern, FindResult& found) override {
        return m_real.FindFirst(pattern, found);
    }
    std::string TempPath() override { return m_real.TempPath(); }
    size_t Length(const std::string& text) const override { return m_real.Length(text); }
    PathLimits Limits() const override { return m_real.Limits(); }
    PathStyle Style() const override { return m_real.Style(); }

private:
    FileLayer& m_real;
    int m_opens = 0;
};

// Another file, or where the platform lets a test make one a link to a file outside, put in
// the target's place between two stages: that stage fails and writes nothing through it.
TEST_F(RealFileWipe, AFileSwappedBetweenStagesIsLeftAlone) {
    struct Row {
        const char* what;
        int open;  // 1: attributes, 2 to 4: passes, 5: mark, 6: truncation, 7: date
        int code;
        bool link;
    };
    const Row rows[] = {
        {"second pass", 3, ErrWrite, false},        {"truncation", 6, ErrTruncate, false},
        {"date", 7, ErrChangeDate, false},          {"second pass, link", 3, ErrWrite, true},
        {"truncation, link", 6, ErrTruncate, true}, {"date, link", 7, ErrChangeDate, true},
    };
    const std::string target = work + "a.txt";
    const std::string outside = sentinel + "keep.txt";
    FileStatus before;
    ASSERT_TRUE(files->GetStatus(outside, before));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        realfiles::Write(target, std::string(5000, 'a'));
        SwappingLayer swapping(*files);
        swapping.swapAt = r.open;
        bool swapped = true;
        swapping.swap = [&] {
            // The new file exists before the old one goes: no file number is reused.
            realfiles::Write(work + "other", "someone else's");
            files->Remove(target);
            if (r.link)
                swapped = realfiles::MakeLink(outside, target);
            else
                files->Rename(work + "other", target);
        };
        DeleteJob swapJob(swapping, ui, texts, clock);
        swapJob.m_nOverrun = 0;
        swapJob.rRen = 0;
        swapJob.m_strPath = target;
        ASSERT_TRUE(swapJob.CheckTarget());
        const int code = swapJob.WipeFile(nullptr);
        if (!swapped) {
            realfiles::RemoveTree(work);
            realfiles::CreateFolder(work);
            continue;  // no links here
        }
        EXPECT_EQ(code, r.code);
        if (!r.link) {
            EXPECT_EQ(realfiles::Read(target), "someone else's");
        }
        FileStatus after;
        ASSERT_TRUE(files->GetStatus(outside, after));
        EXPECT_EQ(after.m_mtime, before.m_mtime);
        EXPECT_EQ(after.m_size, before.m_size);
        realfiles::RemoveTree(work);
        realfiles::CreateFolder(work);
    }
}

// A link is excluded as a folder is, and neither it nor what it points to changes; so is a
// pipe, before anything of its own is touched.
TEST_F(RealFileWipe, LinksAndPipesAreExcludedAndLeftAlone) {
    if (!realfiles::MakeLink(sentinel + "keep.txt", work + "link.txt") ||
        !realfiles::MakePipe(work + "pipe")) {
        GTEST_SKIP() << "no links or pipes that a test can make here";
    }
    realfiles::SetReadOnly(work + "pipe", true);
    job.DispF = 0;
    job.NDispN = 1;
    job.NDispE = 1;
    ASSERT_EQ(job.RunJob(work + "link.txt " + work + "pipe"), 1);
    EXPECT_NE(log.find("Exclude : " + work + "link.txt\r\nExclude : " + work + "pipe\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(realfiles::List(work), (std::vector<std::string>{"link.txt", "pipe"}));
    EXPECT_TRUE(realfiles::IsReadOnly(work + "pipe"));
}

// 80 CJK characters (240 bytes, near the 255 bytes a name may hold) in a folder that takes the
// path over 259 bytes, though well within 259 characters: renamed, wiped, additional wipe made.
TEST_F(RealFileWipe, ALongNameInAnyScriptIsRenamed) {
    std::string name;
    for (int i = 0; i < 80; ++i)
        name += "\xE6\x97\xA5";  // 日
    name += ".txt";
    const std::string folder = work + std::string(60, 'f') + m_sep;
    realfiles::CreateFolder(folder);
    realfiles::Write(folder + name, std::string(5000, 's'));
    KeepFile();
    job.rRen = 1;
    job.AddWipe = 1;
    job.nAnticacheSize = 1;
    job.bAntiOneShot = 1;
    job.Confirm = 1;
    ASSERT_GT((folder + name).size(), 259u);
    ASSERT_EQ(Wipe(folder + name), Success);

    const std::vector<std::string> left = realfiles::List(folder);
    ASSERT_EQ(left.size(), 1u);
    // Where limits count characters, 244 letters would take the path over 259 of them: the
    // short shape serves. Where they count bytes, the same length fits.
    EXPECT_EQ(left[0].size(), realfiles::Traits().limitsCountUtf16 ? 12u : name.size());
    EXPECT_EQ(left[0].find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ."), std::string::npos);
    const std::string after = realfiles::Read(folder + left[0]);
    EXPECT_EQ(after.size(), 5000u);
    EXPECT_EQ(after.substr(0, 1), "X");
    EXPECT_EQ(Count(ui.Filter("Box"), "Make Additional Wipe temporary file"), 1);
}

// The dummy files' header line reaches the disk only when the file is closed: a full disk
// there is the write step's failure, which shows no box, and the stage removes what it made.
TEST_F(RealFileWipe, AFullDiskDuringTheDummyStageShowsNothing) {
    const std::string disk = work + "disk" + m_sep;
    realfiles::CreateFolder(disk);
    std::string why;
    std::unique_ptr<realfiles::Holder> mounted = realfiles::MountSmallDisk(disk, 64 * 1024, why);
    if (!mounted) GTEST_SKIP() << why;
    realfiles::Write(disk + "target.txt", "t");
    {
        std::unique_ptr<FileHandle> fill = files->Open(disk + "fill", OpenMode::kCreateWrite);
        ASSERT_NE(fill, nullptr);
        const std::string block(4096, 'f');
        EXPECT_EQ(realfiles::CauseOf([&] {
                      for (int i = 0; i < 64; ++i)
                          fill->Write(block.data(), block.size());
                      fill->Close();
                  }),
                  kCauseDiskFull);
    }
    job.m_strPath = disk + "target.txt";
    ASSERT_TRUE(job.CheckTarget());
    job.nFiles = 5;
    EXPECT_EQ(job.MakeDummyFileEntries(), 0);
    EXPECT_TRUE(ui.Filter("Box").empty());
    EXPECT_EQ(realfiles::List(disk), (std::vector<std::string>{"fill", "target.txt"}));
    EXPECT_EQ(log, "");
    mounted.reset();
}

}  // namespace
