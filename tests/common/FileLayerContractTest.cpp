// What every file layer promises (wipe/FileLayer.h), checked on real files: built natively with
// the POSIX layer and for Windows with the Win32 layer (run under Wine). Where the platforms
// differ on purpose, realfiles::Traits() says how.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "support/RealFiles.h"
#include "wipe/FileLayer.h"

namespace {

using realfiles::CauseOf;

std::string Pattern(size_t size, unsigned seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 131 + seed + i / 4093) % 251);
    return s;
}

// Writes in the engine's 2048-byte steps, the last one short.
void WriteInSteps(FileHandle& file, const std::string& data) {
    for (size_t at = 0; at < data.size(); at += 2048)
        file.Write(data.data() + at, std::min<size_t>(2048, data.size() - at));
}

// Every test works in a fresh folder of its own and nowhere else.
class FileLayerContract : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(m_dir.Remove()) << "left behind"; }

    std::string Path(const std::string& name) const { return m_dir.Path(name); }

    // What an ordinary file with these bits set reports.
    uint32_t Plain(uint32_t bits = 0) const {
        return bits == 0 ? traits.plainFileAttributes
                         : (traits.plainFileAttributes & ~kAttrNormal) | bits;
    }

    const realfiles::PlatformTraits& traits = realfiles::Traits();
    std::unique_ptr<FileLayer> m_layer = realfiles::MakeLayer();
    realfiles::ScratchFolder m_dir;
};

struct OpenCase {
    const char* name;
    OpenMode mode;
    bool exists;
    int cause;             // 0 when the open succeeds
    const char* contents;  // after writing "AB" and closing; nullptr when there is no file
};

void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class FileLayerOpenModes : public FileLayerContract,
                           public ::testing::WithParamInterface<OpenCase> {};

TEST_P(FileLayerOpenModes, CreateTruncateOrKeep) {
    const OpenCase& c = GetParam();
    const std::string path = Path("f.bin");
    if (c.exists) realfiles::Write(path, "123456");
    int cause = -1;
    std::unique_ptr<FileHandle> file = m_layer->Open(path, c.mode, &cause);
    if (c.cause != 0) {
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(cause, c.cause);
    } else {
        ASSERT_NE(file, nullptr);
        file->Write("AB", 2);
        file->Close();
    }
    if (c.contents == nullptr)
        EXPECT_FALSE(realfiles::Exists(path));
    else
        EXPECT_EQ(realfiles::Read(path), c.contents);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FileLayerOpenModes,
    ::testing::Values(
        OpenCase{"existing only, missing", OpenMode::kReadWriteExisting, false, 2, nullptr},
        OpenCase{"existing only, present", OpenMode::kReadWriteExisting, true, 0, "AB3456"},
        OpenCase{"create read-write, missing", OpenMode::kCreateReadWrite, false, 0, "AB"},
        OpenCase{"create read-write, present", OpenMode::kCreateReadWrite, true, 0, "AB"},
        OpenCase{"create write, missing", OpenMode::kCreateWrite, false, 0, "AB"},
        OpenCase{"create write, present", OpenMode::kCreateWrite, true, 0, "AB"}));

TEST_F(FileLayerContract, OpenFailsForMissingFolderAndForFolders) {
    int cause = 0;
    EXPECT_EQ(m_layer->Open(Path("none/f"), OpenMode::kCreateWrite, &cause), nullptr);
    EXPECT_EQ(cause, traits.missingFolderCause);
    EXPECT_FALSE(realfiles::Exists(Path("none")));

    realfiles::CreateFolder(Path("sub"));
    for (OpenMode mode : {OpenMode::kReadWriteExisting, OpenMode::kCreateReadWrite}) {
        cause = 0;
        EXPECT_EQ(m_layer->Open(Path("sub"), mode, &cause), nullptr);
        EXPECT_EQ(cause, kCauseAccessDenied);
    }
}

TEST_F(FileLayerContract, OpenFileExcludesEveryOtherOpener) {
    const std::string path = Path("held.bin");
    realfiles::Write(path, "contents");
    std::unique_ptr<FileHandle> held = m_layer->Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(held, nullptr);

    for (OpenMode mode :
         {OpenMode::kReadWriteExisting, OpenMode::kCreateReadWrite, OpenMode::kCreateWrite}) {
        int cause = 0;
        EXPECT_EQ(m_layer->Open(path, mode), nullptr);
        EXPECT_EQ(m_layer->Open(path, mode, &cause), nullptr);
        EXPECT_EQ(cause, kCauseSharingViolation);
    }
    // Elsewhere the name may go while the file is open, which would end this test.
    if (traits.openFileRefusesRemoval) {
        EXPECT_EQ(CauseOf([&] { m_layer->Remove(path); }), kCauseSharingViolation);
    }

    held->Close();
    EXPECT_EQ(realfiles::Read(path), "contents") << "a refused create emptied the file";
    std::unique_ptr<FileHandle> again = m_layer->Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(again, nullptr);
    // An object destroyed without Close lets go of the file too.
    again.reset();
    EXPECT_NE(m_layer->Open(path, OpenMode::kReadWriteExisting), nullptr);
}

TEST_F(FileLayerContract, GatheredWritesPutExactBytes) {
    const std::string path = Path("pass.bin");
    const size_t size = 40 * 2048 + 904;
    realfiles::Write(path, Pattern(size, 1));

    const std::string pass = Pattern(size, 2);
    std::unique_ptr<FileHandle> file = m_layer->Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(file, nullptr);
    WriteInSteps(*file, pass);
    file->Flush();
    file->Write("X", 1);
    file->Close();
    EXPECT_EQ(realfiles::Read(path), pass + "X");

    EXPECT_EQ(CauseOf([&] { file->Write("Y", 1); }), kCauseInvalidFile);
    EXPECT_EQ(CauseOf([&] { file->Close(); }), kCauseNone);

    // What Flush put out stays even when the object then goes without Close: nothing of it
    // may still be waiting in a gathered block.
    const std::string next = Pattern(size, 3);
    file = m_layer->Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(file, nullptr);
    WriteInSteps(*file, next);
    file->Flush();
    file.reset();
    EXPECT_EQ(realfiles::Read(path), next + "X") << "Flush left data behind";
}

TEST_F(FileLayerContract, SeekToEndWritesOutFirstAndAppends) {
    const std::string path = Path("grow.bin");
    const std::string original = Pattern(5000, 3);
    realfiles::Write(path, original);
    const std::string overrun = Pattern(5000, 4);

    std::unique_ptr<FileHandle> file = m_layer->Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(file, nullptr);
    file->Write("abc", 3);
    EXPECT_EQ(file->SeekToEnd(), 5000);
    WriteInSteps(*file, overrun);
    EXPECT_EQ(file->SeekToEnd(), 10000);
    file->Close();
    EXPECT_EQ(realfiles::Read(path), "abc" + original.substr(3) + overrun);
}

TEST_F(FileLayerContract, SizesBeyondFourGigabytes) {
    const std::string path = Path("huge.bin");
    const int64_t size = 5LL * 1024 * 1024 * 1024 + 3;
    realfiles::Write(path, "");
    realfiles::SetSize(path, size);

    FileStatus status;
    ASSERT_TRUE(m_layer->GetStatus(path, status));
    EXPECT_EQ(status.m_size, size);
    std::unique_ptr<FileHandle> file = m_layer->Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->SeekToEnd(), size);
    file->Close();
}

TEST_F(FileLayerContract, RenameNeverReplaces) {
    realfiles::Write(Path("a"), "first");
    realfiles::Write(Path("b"), "second");
    EXPECT_EQ(CauseOf([&] { m_layer->Rename(Path("a"), Path("b")); }), kCauseAccessDenied);
    EXPECT_EQ(realfiles::Read(Path("a")), "first");
    EXPECT_EQ(realfiles::Read(Path("b")), "second");

    m_layer->Rename(Path("a"), Path("c"));
    EXPECT_EQ(realfiles::Read(Path("c")), "first");
    EXPECT_FALSE(realfiles::Exists(Path("a")));
    EXPECT_EQ(CauseOf([&] { m_layer->Rename(Path("a"), Path("d")); }), kCauseFileNotFound);
    EXPECT_EQ(realfiles::List(m_dir.Folder()), (std::vector<std::string>{"b", "c"}));
}

TEST_F(FileLayerContract, RemoveDeletesFilesOnly) {
    realfiles::Write(Path("gone"), "x");
    m_layer->Remove(Path("gone"));
    EXPECT_FALSE(realfiles::Exists(Path("gone")));
    EXPECT_EQ(CauseOf([&] { m_layer->Remove(Path("gone")); }), kCauseFileNotFound);

    realfiles::CreateFolder(Path("sub"));
    EXPECT_EQ(CauseOf([&] { m_layer->Remove(Path("sub")); }), kCauseAccessDenied);
    EXPECT_TRUE(realfiles::Exists(Path("sub")));

    realfiles::Write(Path("locked"), "x");
    realfiles::SetReadOnly(Path("locked"), true);
    EXPECT_EQ(CauseOf([&] { m_layer->Remove(Path("locked")); }),
              traits.readOnlyRefusesRemoval ? kCauseAccessDenied : kCauseNone);
    EXPECT_EQ(realfiles::Exists(Path("locked")), traits.readOnlyRefusesRemoval);
}

TEST_F(FileLayerContract, GetStatusReportsSizeAttributesAndName) {
    FileStatus status;
    EXPECT_FALSE(m_layer->GetStatus(Path("missing"), status));
    EXPECT_FALSE(m_layer->GetStatus("", status));

    realfiles::Write(Path("plain"), "12345");
    // A wildcard must not let the status of some other entry through.
    EXPECT_FALSE(m_layer->GetStatus(Path("pla*"), status));
    EXPECT_FALSE(m_layer->GetStatus(Path("plai?"), status));

    ASSERT_TRUE(m_layer->GetStatus(Path("plain"), status));
    EXPECT_EQ(status.m_size, 5);
    EXPECT_EQ(status.m_attribute, Plain());
    EXPECT_EQ(status.m_szFullName, Path("plain"));
    const int64_t now = static_cast<int64_t>(time(nullptr));
    EXPECT_LE(std::abs(status.m_mtime - now), 120) << "write time not in seconds since 1970";
    if (traits.keepsCreationTime) {
        EXPECT_LE(std::abs(status.m_ctime - now), 120);
    } else {
        EXPECT_EQ(status.m_ctime, status.m_mtime);
    }

    realfiles::Write(Path("empty"), "");
    ASSERT_TRUE(m_layer->GetStatus(Path("empty"), status));
    EXPECT_EQ(status.m_size, 0);
    EXPECT_EQ(status.m_attribute, Plain()) << "an empty file is not sparse";

    realfiles::SetReadOnly(Path("plain"), true);
    ASSERT_TRUE(m_layer->GetStatus(Path("plain"), status));
    EXPECT_EQ(status.m_attribute, Plain(kAttrReadOnly));

    realfiles::CreateFolder(Path("sub"));
    ASSERT_TRUE(m_layer->GetStatus(Path("sub"), status));
    EXPECT_EQ(status.m_attribute, kAttrDirectory);

    // Relative names are completed with the current folder, where there is one (the in-memory
    // layer has none).
    const std::string before = realfiles::CurrentFolder();
    if (!realfiles::SetCurrentFolder(m_dir.Folder())) return;
    const std::string inside = realfiles::CurrentFolder();
    const bool found = m_layer->GetStatus("empty", status);
    ASSERT_TRUE(realfiles::SetCurrentFolder(before));
    ASSERT_TRUE(found);
    EXPECT_EQ(status.m_szFullName, inside + traits.separator + "empty");
}

// Steps applied in order to one file, each through a status-only handle of its own: what
// SetStatus gets and what then reads back.
struct StatusStep {
    const char* what;
    uint32_t bits;        // attributes written, besides an ordinary file's own
    int64_t mtime;        // written; 0 leaves all times alone
    int64_t atime;        // written; 0 leaves the access time alone
    int64_t otherAccess;  // access time set by other means first, unlike anything the layer
                          // wrote; 0: none
    int64_t readMtime;
    int64_t readAtime;
};

const uint32_t kSpecial = kAttrReadOnly | kAttrHidden | kAttrSystem;
const int64_t kCreated = 883612000;  // 1997-12-31 23:46:40 UTC, written with every step

const StatusStep kStatusSteps[] = {
    {"made read-only with new times", kSpecial, 883612802, 883612900, 0, 883612802, 883612900},
    {"back to writable with new times", 0, 946684800, 946684900, 0, 946684800, 946684900},
    {"zero write time keeps all times", 0, 0, 5, 0, 946684800, 946684900},
    {"zero access time keeps that one", 0, 1000000000, 0, 990000000, 1000000000, 990000000},
    {"made read-only, same times", kAttrReadOnly, 1000000000, 990000000, 0, 1000000000, 990000000},
    {"new times through read-only", kAttrReadOnly, 1100000000, 990000000, 0, 1100000000, 990000000},
};

TEST_F(FileLayerContract, SetStatusWritesAttributesAndTimes) {
    const std::string path = Path("dated");
    realfiles::Write(path, "x");
    for (const StatusStep& step : kStatusSteps) {
        SCOPED_TRACE(step.what);
        if (step.otherAccess != 0) realfiles::SetAccessTime(path, step.otherAccess);
        FileStatus status;
        status.m_attribute = Plain(step.bits);
        status.m_mtime = step.mtime;
        status.m_atime = step.atime;
        status.m_ctime = kCreated;
        std::unique_ptr<FileHandle> file = m_layer->Open(path, OpenMode::kStatusOnly);
        ASSERT_NE(file, nullptr);
        file->SetStatus(status);
        file->Close();

        FileStatus read;
        ASSERT_TRUE(m_layer->GetStatus(path, read));
        const uint32_t kept = traits.keepsHiddenAndSystem ? kSpecial : kAttrReadOnly;
        EXPECT_EQ(read.m_attribute, Plain(step.bits & kept));
        EXPECT_EQ(realfiles::IsReadOnly(path), (step.bits & kAttrReadOnly) != 0);
        EXPECT_EQ(read.m_mtime, step.readMtime);
        EXPECT_EQ(read.m_atime, step.readAtime);
        EXPECT_EQ(read.m_ctime, traits.keepsCreationTime ? kCreated : step.readMtime);
    }

    int cause = 0;
    EXPECT_EQ(m_layer->Open(Path("missing"), OpenMode::kStatusOnly, &cause), nullptr);
    EXPECT_EQ(cause, kCauseFileNotFound);
}

// The status of a file that another program holds, or that is read-only, can still be set;
// its data cannot be written through a status handle.
TEST_F(FileLayerContract, StatusOnlyOpensWhatDataOpensCannot) {
    const std::string path = Path("held");
    realfiles::Write(path, "contents");
    realfiles::SetReadOnly(path, true);
    std::unique_ptr<realfiles::Holder> holder = realfiles::HoldOpen(path);
    EXPECT_EQ(m_layer->Open(path, OpenMode::kReadWriteExisting), nullptr);

    std::unique_ptr<FileHandle> file = m_layer->Open(path, OpenMode::kStatusOnly);
    ASSERT_NE(file, nullptr);
    EXPECT_NE(CauseOf([&] { file->Write("x", 1); }), kCauseNone);
    FileStatus status;
    status.m_attribute = Plain();
    file->SetStatus(status);
    file->Close();
    holder.reset();
    EXPECT_FALSE(realfiles::IsReadOnly(path));
    EXPECT_EQ(realfiles::Read(path), "contents");
}

// Identities tell files apart across opens: the wipe relies on them to notice a swapped file.
TEST_F(FileLayerContract, IdentityFollowsTheFileNotTheName) {
    realfiles::Write(Path("a"), "first");
    realfiles::Write(Path("b"), "second");
    auto identity = [&](const std::string& name, OpenMode mode) {
        std::unique_ptr<FileHandle> file = m_layer->Open(Path(name), mode);
        EXPECT_NE(file, nullptr) << name;
        return file ? file->Identity() : FileIdentity{};
    };
    const FileIdentity a = identity("a", OpenMode::kReadWriteExisting);
    EXPECT_EQ(identity("a", OpenMode::kStatusOnly), a);
    EXPECT_NE(identity("b", OpenMode::kStatusOnly), a);

    m_layer->Rename(Path("a"), Path("c"));
    EXPECT_EQ(identity("c", OpenMode::kReadWriteExisting), a);
    // Another file under the old name (both existed at once, so no number is reused).
    m_layer->Rename(Path("b"), Path("a"));
    EXPECT_NE(identity("a", OpenMode::kReadWriteExisting), a);
}

TEST_F(FileLayerContract, TruncateCutsToZeroAfterWhatWasWritten) {
    const std::string path = Path("cut");
    realfiles::Write(path, Pattern(100000, 5));
    std::unique_ptr<FileHandle> file = m_layer->Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(file, nullptr);
    WriteInSteps(*file, Pattern(70000, 6));  // gathered, partly
    file->Truncate();
    file->Write("Z", 1);
    file->Flush();
    file->Close();
    EXPECT_EQ(realfiles::Read(path), "Z");
}

// What a search row expects beyond its names.
enum FindFlags : unsigned {
    kFile = 0,
    kFolder = 1,      // the entry found is a folder
    kFoldsCase = 2,   // found only where names are case-insensitive
    kWholeFolder = 4  // takes every name: meets "." first where the search lists it
};

struct FindCase {
    const char* pattern;               // inside the test folder
    std::set<std::string> acceptable;  // any of them may come first; empty: no match
    unsigned flags;
};

void PrintTo(const FindCase& c, std::ostream* os) {
    *os << c.pattern;
}

class FileLayerFindFirst : public FileLayerContract,
                           public ::testing::WithParamInterface<FindCase> {};

TEST_P(FileLayerFindFirst, MatchesLikeTheWindowsSearch) {
    const FindCase& c = GetParam();
    realfiles::CreateFolder(Path("files"));
    for (const char* name : {"qhztnotes.txt", "qhzt", "abc.tmp", "README", "x.y.z"})
        realfiles::Write(Path(std::string("files/") + name), "");
    realfiles::CreateFolder(Path("files/sub"));
    realfiles::CreateFolder(Path("only"));
    realfiles::Write(Path("only/README"), "");
    realfiles::CreateFolder(Path("empty"));

    std::set<std::string> acceptable = c.acceptable;
    bool folder = (c.flags & kFolder) != 0;
    if ((c.flags & kFoldsCase) != 0 && traits.caseSensitiveNames) acceptable.clear();
    if ((c.flags & kWholeFolder) != 0 && traits.searchReportsDotEntries) {
        acceptable = {"."};
        folder = true;
    }

    FindResult found;
    const bool hit = m_layer->FindFirst(Path(c.pattern), found);
    if (acceptable.empty()) {
        EXPECT_FALSE(hit) << found.name;
    } else {
        ASSERT_TRUE(hit);
        EXPECT_EQ(acceptable.count(found.name), 1u) << found.name;
        EXPECT_EQ(found.attributes, folder ? kAttrDirectory : Plain());
    }
}

const FindCase kFindCases[] = {
    {"files/qhzt*.*", {"qhztnotes.txt", "qhzt"}, kFile},
    {"files/zzzz*.*", {}, kFile},
    {"files/abc.tmp", {"abc.tmp"}, kFile},
    {"files/ABC.TMP", {"abc.tmp"}, kFoldsCase},
    {"files/ABC.*", {"abc.tmp"}, kFoldsCase},
    {"files/abc.*", {"abc.tmp"}, kFile},
    {"files/a?c.tmp", {"abc.tmp"}, kFile},
    {"files/README.*", {"README"}, kFile},
    {"files/*.z", {"x.y.z"}, kFile},
    {"files/s*", {"sub"}, kFolder},
    {"files/sub", {"sub"}, kFolder},
    {"files/missing", {}, kFile},
    {"files/", {}, kFile},
    {"only/*.*", {"README"}, kWholeFolder},
    {"only/README*.*", {"README"}, kFile},
    {"empty/*.*", {}, kWholeFolder},
    {"empty/x*.*", {}, kFile},
    {"nofolder/*.*", {}, kFile},
};

INSTANTIATE_TEST_SUITE_P(Patterns, FileLayerFindFirst, ::testing::ValuesIn(kFindCases));

TEST_F(FileLayerContract, TempPathIsAFolderEndingInASeparator) {
    const std::string temp = m_layer->TempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), traits.separator);
    FileStatus status;
    ASSERT_TRUE(m_layer->GetStatus(temp.substr(0, temp.size() - 1), status)) << temp;
    EXPECT_NE(status.m_attribute & kAttrDirectory, 0u);
}

}  // namespace
