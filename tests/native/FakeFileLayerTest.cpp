#include "support/FakeFileLayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::string W = "C:\\W\\";

// The cause a call throws, or 0 when it returns.
int CauseOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const FileException& e) {
        return e.m_cause;
    }
    return kCauseNone;
}

TEST(FakeFileLayer, FindFirstMatchesWildcardsLikeWindows) {
    FakeFileLayer fs;
    fs.AddFile(W + "readme", "");
    fs.AddFile(W + "QHZTNOTES.TXT", "");
    fs.AddFile(W + "b.txt.bak", "");
    fs.AddFile(W + "sub\\deep.txt", "");
    struct Row {
        const char* pattern;
        const char* found;  // nullptr: nothing
        int cause;
    };
    const Row rows[] = {
        {"C:\\W\\*.*", "b.txt.bak", 0},  // the first in name order
        {"C:\\W\\qhzt*.*", "QHZTNOTES.TXT", 0},
        {"C:\\W\\read*.*", "readme", 0},  // ".*" also matches a name without a dot
        {"C:\\W\\readme.*", "readme", 0},
        {"C:\\W\\*k.*", "b.txt.bak", 0},
        {"C:\\W\\*m.*", nullptr, kCauseFileNotFound},
        {"c:/w/README", "readme", 0},
        {"C:\\W\\*.txt", "QHZTNOTES.TXT", 0},           // not b.txt.bak
        {"C:\\W\\deep*", nullptr, kCauseFileNotFound},  // one folder down
        {"C:\\W\\?.txt.bak", "b.txt.bak", 0},
        {"C:\\W\\??.txt.bak", nullptr, kCauseFileNotFound},
        {"C:\\W\\r*d*m*", "readme", 0},
        {"C:\\W\\s?b", "sub", 0},
        {"C:\\W\\sub\\*.*", "deep.txt", 0},
        {"C:\\W\\", nullptr, kCauseFileNotFound},
        {"C:\\X\\*.*", nullptr, kCauseBadPath},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pattern);
        FindResult found;
        EXPECT_EQ(fs.FindFirst(row.pattern, found), row.found != nullptr);
        EXPECT_EQ(fs.Calls().back().cause, row.cause);
        if (row.found) {
            EXPECT_EQ(found.name, row.found);
        }
    }
    FindResult folder;
    ASSERT_TRUE(fs.FindFirst(W + "SUB", folder));
    EXPECT_EQ(folder.attributes, static_cast<uint32_t>(kAttrDirectory));
}

TEST(FakeFileLayer, OpenFailsAndTruncatesLikeWindows) {
    const OpenMode rw = OpenMode::kReadWriteExisting;
    const OpenMode create = OpenMode::kCreateReadWrite;
    const OpenMode createW = OpenMode::kCreateWrite;
    struct Row {
        const char* name;
        OpenMode mode;
        int cause;
        int64_t sizeAfter;  // when opened
    };
    const Row rows[] = {
        {"plain", rw, 0, 3},
        {"PLAIN", createW, 0, 0},
        {"missing", rw, kCauseFileNotFound, 0},
        {"missing", create, 0, 0},
        {"nodir\\x", createW, kCauseBadPath, 0},
        {"dir", rw, kCauseAccessDenied, 0},
        {"ro", rw, kCauseAccessDenied, 0},
        {"ro", create, kCauseAccessDenied, 0},
        {"hidden", rw, 0, 3},
        {"hidden", createW, kCauseAccessDenied, 0},
        {"system", create, kCauseAccessDenied, 0},
        {"locked", rw, kCauseSharingViolation, 0},
        {"held", rw, kCauseSharingViolation, 0},
        {"HELD", create, kCauseSharingViolation, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeFileLayer fs;
        fs.AddFile(W + "plain", "abc");
        fs.AddFile(W + "ro", "abc", kAttrReadOnly);
        fs.AddFile(W + "hidden", "abc", kAttrHidden);
        fs.AddFile(W + "system", "abc", kAttrSystem);
        fs.AddFile(W + "locked", "abc");
        fs.Lock(W + "locked");
        fs.AddFolder(W + "dir");
        fs.AddFile(W + "held", "abc");
        auto held = fs.Open(W + "held", rw);
        ASSERT_TRUE(held);

        int cause = -1;
        auto file = fs.Open(W + row.name, row.mode, &cause);
        EXPECT_EQ(file != nullptr, row.cause == 0);
        EXPECT_EQ(fs.OpenCount(), file ? 2 : 1);
        if (file) {
            EXPECT_EQ(cause, -1);
            EXPECT_EQ(fs.Size(W + row.name), row.sizeAfter);
        } else {
            EXPECT_EQ(cause, row.cause);
            EXPECT_EQ(fs.Calls().back().cause, row.cause);
        }
    }
}

TEST(FakeFileLayer, RenameNeverReplacesAndKeepsTheEntry) {
    struct Row {
        const char* from;
        const char* to;
        int cause;
        const char* listing;  // of C:\W\ afterwards, when the rename succeeds
    };
    const Row rows[] = {
        {"a.txt", "B.TXT", kCauseAccessDenied, ""},  // b.txt exists
        {"a.txt", "sub", kCauseAccessDenied, ""},
        {"a.txt", "A.TXT", 0, "A.TXT b.txt locked ro sub"},  // only the case changes
        {"A.txt", "sub\\c.txt", 0, "b.txt locked ro sub"},
        {"missing", "c.txt", kCauseFileNotFound, ""},
        {"a.txt", "nodir\\c.txt", kCauseBadPath, ""},
        {"locked", "c.txt", kCauseSharingViolation, ""},
        {"ro", "c.txt", 0, "a.txt b.txt c.txt locked sub"},
        {"sub", "SUB2", 0, "a.txt b.txt locked ro SUB2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.from) + " -> " + row.to);
        FakeFileLayer fs;
        fs.AddFile(W + "a.txt", "aaa", kAttrArchive | kAttrHidden);
        fs.SetTimes(W + "a.txt", 1, 2, 3);
        fs.AddFile(W + "b.txt", "bbb");
        fs.AddFile(W + "ro", "r", kAttrReadOnly);
        fs.AddFile(W + "locked", "l");
        fs.Lock(W + "locked");
        fs.AddFile(W + "sub\\deep.txt", "d");
        const std::vector<std::string> before = fs.Paths();
        const std::string from = W + row.from;
        const std::string to = W + row.to;
        const FileStatus old = fs.Exists(from) ? fs.StatusOf(from) : FileStatus{};
        const bool file = fs.Exists(from) && fs.IsTracked(from);
        const std::string oldContent = file ? fs.Content(from) : "";

        EXPECT_EQ(CauseOf([&] { fs.Rename(from, to); }), row.cause);
        EXPECT_EQ(fs.Calls().back().cause, row.cause);
        if (row.cause != 0) {
            EXPECT_EQ(fs.Paths(), before);
            EXPECT_EQ(fs.Content(W + "b.txt"), "bbb");
            continue;
        }
        std::string listing;
        for (const std::string& name : fs.List(W))
            listing += (listing.empty() ? "" : " ") + name;
        EXPECT_EQ(listing, row.listing);
        const FileStatus now = fs.StatusOf(to);
        EXPECT_EQ(now.m_attribute, old.m_attribute);
        EXPECT_EQ(now.m_ctime, old.m_ctime);
        EXPECT_EQ(now.m_mtime, old.m_mtime);
        EXPECT_EQ(now.m_atime, old.m_atime);
        EXPECT_EQ(now.m_size, old.m_size);
        if (now.m_attribute & kAttrDirectory) {
            EXPECT_EQ(fs.List(to), std::vector<std::string>{"deep.txt"});
        } else {
            EXPECT_EQ(fs.Content(to), oldContent);
        }
    }
}

TEST(FakeFileLayer, ACallerRaceBeforeRenameIsSeenByTheRename) {
    FakeFileLayer fs;
    fs.AddFile(W + "a.txt", "mine");
    fs.OnCall([&](const Call& call) {
        if (call.kind == CallKind::Rename) fs.AddFile(W + "NEW.TMP", "theirs");
    });
    FindResult found;
    EXPECT_FALSE(fs.FindFirst(W + "new.tmp", found));
    EXPECT_EQ(CauseOf([&] { fs.Rename(W + "a.txt", W + "new.tmp"); }), kCauseAccessDenied);
    EXPECT_EQ(fs.Content(W + "NEW.TMP"), "theirs");
    EXPECT_EQ(fs.Content(W + "a.txt"), "mine");
    EXPECT_EQ(fs.Trace(), (std::vector<std::string>{"FindFirst C:\\W\\new.tmp !2",
                                                    "Rename C:\\W\\a.txt -> C:\\W\\new.tmp !5"}));
}

TEST(FakeFileLayer, EqualWritesToOneFileShareARecord) {
    FakeFileLayer fs;
    fs.AddFile(W + "a.txt", std::string(5000, 'a'));
    fs.AddFile(W + "b.txt", "");
    const std::string block(2048, 'x');
    auto a = fs.Open(W + "a.txt", OpenMode::kReadWriteExisting);
    a->Write(block.data(), 2048);
    a->Write(block.data(), 2048);
    a->Write(block.data(), 904);
    auto b = fs.Open(W + "b.txt", OpenMode::kReadWriteExisting);
    b->Write(block.data(), 904);  // another file: a record of its own
    a->Write(block.data(), 904);
    b->Write("yz", 2);
    EXPECT_EQ(b->SeekToEnd(), 906);
    a->Flush();
    a->Close();
    b.reset();  // closes without a record
    EXPECT_EQ(fs.OpenCount(), 0);
    EXPECT_EQ(fs.Trace(),
              (std::vector<std::string>{"Open C:\\W\\a.txt rw", "Write 2048 x2", "Write 904",
                                        "Open C:\\W\\b.txt rw", "Write 904", "Write 904", "Write 2",
                                        "SeekToEnd", "Flush", "Close"}));
    EXPECT_EQ(fs.Content(W + "a.txt"), std::string(5904, 'x'));
    EXPECT_EQ(fs.Content(W + "b.txt"), std::string(904, 'x') + "yz");
}

TEST(FakeFileLayer, FailNthCountsFromArmingAndFailedWritesWriteNothing) {
    FakeFileLayer fs;
    auto f = fs.Open(W + "a", OpenMode::kCreateWrite);
    EXPECT_EQ(f, nullptr);  // no folder yet
    fs.AddFolder(W);
    f = fs.Open(W + "a", OpenMode::kCreateWrite);
    ASSERT_TRUE(f);
    f->Write("a", 1);  // before arming: not counted
    fs.FailNth(CallKind::Write, 3, kCauseHardIO);
    fs.FailNth(CallKind::Write, 4, kCauseDiskFull);
    fs.FailNth(CallKind::Close, 1, kCauseHardIO);
    std::vector<int> causes;
    for (char c : std::string("bcdef"))
        causes.push_back(CauseOf([&] { f->Write(&c, 1); }));
    EXPECT_EQ(causes, (std::vector<int>{0, 0, kCauseHardIO, kCauseDiskFull, 0}));
    EXPECT_EQ(fs.Content(W + "a"), "abcf");
    EXPECT_EQ(CauseOf([&] { f->Close(); }), kCauseHardIO);
    EXPECT_EQ(fs.OpenCount(), 0);  // a failed close still lets go
    EXPECT_EQ(fs.Trace(), (std::vector<std::string>{
                              "Open C:\\W\\a create-w !3", "Open C:\\W\\a create-w", "Write 1 x3",
                              "Write 1 !10", "Write 1 !13", "Write 1", "Close !10"}));

    fs.FailPath(CallKind::GetStatus, "\\a", kCauseHardIO);
    fs.FailPath(CallKind::Remove, "a", kCauseAccessDenied);
    FileStatus status;
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(fs.GetStatus(W + "a", status));
        EXPECT_EQ(CauseOf([&] { fs.Remove(W + "a"); }), kCauseAccessDenied);
    }
    fs.ClearFaults();
    EXPECT_TRUE(fs.GetStatus(W + "a", status));
    EXPECT_EQ(CauseOf([&] { fs.Remove(W + "a"); }), 0);
}

// As on the real layers, a full disk shows when the gathered 64 KiB block goes out: at the
// write that completes it, or at the next Flush or Close; the bytes that did not fit are lost.
TEST(FakeFileLayer, AFullDiskShowsWhenTheBlockGoesOut) {
    FakeFileLayer fs;
    fs.AddFile(W + "old", std::string(100, 'o'));
    fs.SetFreeBytes(50);
    const std::string data(2048, 'n');
    auto created = fs.Open(W + "new", OpenMode::kCreateWrite);
    created->Write(data.data(), 40);
    EXPECT_EQ(CauseOf([&] { created->Write(data.data(), 20); }), kCauseNone);
    EXPECT_EQ(CauseOf([&] { created->Close(); }), kCauseDiskFull);
    EXPECT_EQ(fs.Size(W + "new"), 40);
    EXPECT_EQ(fs.FreeBytes(), 10);

    auto old = fs.Open(W + "old", OpenMode::kReadWriteExisting);
    old->Write(data.data(), 100);  // in place: no new space needed
    old->Close();

    fs.SetFreeBytes(40000);
    auto big = fs.Open(W + "big", OpenMode::kCreateWrite);
    std::vector<int> causes;
    for (int i = 0; i < 33; ++i)
        causes.push_back(CauseOf([&] { big->Write(data.data(), data.size()); }));
    EXPECT_EQ(std::count(causes.begin(), causes.end(), kCauseNone), 31);
    EXPECT_EQ(causes[31], kCauseDiskFull);  // the write that completes the first block
    EXPECT_EQ(causes[32], kCauseDiskFull);
    EXPECT_EQ(CauseOf([&] { big->Close(); }), kCauseNone);  // reported already
}

TEST(FakeFileLayer, AnUntrackedHugeFileOnlyMovesItsSize) {
    const int64_t size = 2'100'000'000;
    FakeFileLayer fs;
    fs.AddSizedFile(W + "big.bin", size);
    static const char block[2048] = {};
    auto f = fs.Open(W + "big.bin", OpenMode::kReadWriteExisting);
    for (int64_t pos = 0; pos < size; pos += 2048)
        f->Write(block, static_cast<size_t>(std::min<int64_t>(2048, size - pos)));
    EXPECT_EQ(f->SeekToEnd(), size);
    f->Write(block, 5);
    f->Close();
    EXPECT_EQ(fs.Size(W + "big.bin"), size + 5);
    EXPECT_FALSE(fs.IsTracked(W + "big.bin"));
    EXPECT_THROW(fs.Content(W + "big.bin"), std::logic_error);
    EXPECT_EQ(fs.Trace(),
              (std::vector<std::string>{"Open C:\\W\\big.bin rw", "Write 2048 x1025390",
                                        "Write 1280", "SeekToEnd", "Write 5", "Close"}));
}

}  // namespace
