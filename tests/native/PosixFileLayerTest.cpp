// What only the POSIX layer does; the contract that every layer keeps is checked in
// tests/common/FileLayerContractTest.cpp.
#include "platform/posix/PosixFileLayer.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/RealFiles.h"

namespace {

using realfiles::CauseOf;

// Every test works in a fresh folder of its own.
class PosixFileLayerTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return m_dir.Path(name); }

    PosixFileLayer m_layer;
    realfiles::ScratchFolder m_dir;
};

// A pipe would block or swallow the data, a device is no file to wipe, and a link would hand
// the wipe to another file: no open takes them, and the search says what they are.
TEST_F(PosixFileLayerTest, PipesDevicesAndLinksAreNeitherOpenedNorFollowed) {
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0644), 0);
    realfiles::Write(Path("target"), "not mine");
    ASSERT_EQ(::symlink(Path("target").c_str(), Path("link").c_str()), 0);
    const struct {
        std::string path;
        uint32_t found;
    } rows[] = {
        {Path("pipe"), kAttrDevice}, {"/dev/null", kAttrDevice}, {Path("link"), kAttrReparsePoint}};
    for (const auto& row : rows) {
        for (OpenMode mode :
             {OpenMode::kReadWriteExisting, OpenMode::kCreateReadWrite, OpenMode::kStatusOnly}) {
            int cause = 0;
            EXPECT_EQ(m_layer.Open(row.path, mode, &cause), nullptr) << row.path;
            EXPECT_NE(cause, kCauseNone) << row.path;
        }
        FindResult found;
        ASSERT_TRUE(m_layer.FindFirst(row.path, found)) << row.path;
        EXPECT_EQ(found.attributes & (kAttrDevice | kAttrReparsePoint), row.found) << row.path;
    }
    EXPECT_EQ(realfiles::Read(Path("target")), "not mine");
    struct stat st;
    ASSERT_EQ(::stat(Path("pipe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(PosixFileLayerTest, WriteFailureIsReportedOnceAndThenSticks) {
    // The process's file size limit makes the system refuse the bytes past it.
    const off_t limit = 100000;
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < static_cast<rlim_t>(limit))
        GTEST_SKIP() << "file size limit already below the test's";
    void (*oldHandler)(int) = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(limit);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);

    std::string chunk(2048, '\0');
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(i * 131 % 251);
    auto writeChunks = [&](FileHandle& file, int count) {
        for (int i = 0; i < count; ++i)
            file.Write(chunk.data(), chunk.size());
    };
    // The first 64 KiB block goes out; the rest is gathered until Flush or Close.
    std::unique_ptr<FileHandle> flushed = m_layer.Open(Path("flushed"), OpenMode::kCreateWrite);
    std::unique_ptr<FileHandle> closed = m_layer.Open(Path("closed"), OpenMode::kCreateWrite);
    std::vector<int> flushSteps;
    std::vector<int> closeSteps;
    if (flushed && closed) {
        flushSteps = {
            CauseOf([&] { writeChunks(*flushed, 60); }), CauseOf([&] { flushed->Flush(); }),
            CauseOf([&] { writeChunks(*flushed, 1); }), CauseOf([&] { flushed->Close(); })};
        closeSteps = {CauseOf([&] { writeChunks(*closed, 60); }), CauseOf([&] { closed->Close(); }),
                      CauseOf([&] { closed->Close(); })};
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(flushed && closed);
    // Reported where it happened, again by the next write, but not again by Close.
    EXPECT_EQ(flushSteps, (std::vector<int>{0, kCauseDiskFull, kCauseDiskFull, 0}));
    // A Close that meets the failure reports it, and still lets go of the file.
    EXPECT_EQ(closeSteps, (std::vector<int>{0, kCauseDiskFull, 0}));
    EXPECT_NE(m_layer.Open(Path("closed"), OpenMode::kReadWriteExisting), nullptr);
    std::string expected;
    while (expected.size() < static_cast<size_t>(limit))
        expected += chunk;
    expected.resize(static_cast<size_t>(limit));
    for (const char* name : {"flushed", "closed"})
        EXPECT_EQ(realfiles::Read(Path(name)), expected) << name;
}

TEST_F(PosixFileLayerTest, RenameNeverReplacesADanglingLink) {
    realfiles::Write(Path("a"), "first");
    // A link to nothing is still a name that the rename must not take.
    ASSERT_EQ(::symlink("nowhere", Path("link").c_str()), 0);
    EXPECT_EQ(CauseOf([&] { m_layer.Rename(Path("a"), Path("link")); }), kCauseAccessDenied);
    EXPECT_EQ(realfiles::Read(Path("a")), "first");
    char target[16] = {};
    EXPECT_EQ(::readlink(Path("link").c_str(), target, sizeof(target) - 1), 7);
    EXPECT_STREQ(target, "nowhere");
}

TEST_F(PosixFileLayerTest, HolesMakeAFileSparse) {
    const std::string path = Path("huge.bin");
    realfiles::Write(path, "");
    realfiles::SetSize(path, 5LL * 1024 * 1024 * 1024 + 3);

    FileStatus status;
    ASSERT_TRUE(m_layer.GetStatus(path, status));
    EXPECT_EQ(status.m_attribute, kAttrSparse);
    FindResult found;
    ASSERT_TRUE(m_layer.FindFirst(path, found));
    EXPECT_EQ(found.attributes, kAttrSparse);

    // Filled in: no longer sparse.
    realfiles::Write(path, std::string(10000, 'f'));
    ASSERT_TRUE(m_layer.GetStatus(path, status));
    EXPECT_EQ(status.m_size, 10000);
    EXPECT_EQ(status.m_attribute, kAttrNormal);
}

TEST_F(PosixFileLayerTest, ReadOnlyIsTheOwnersWriteBitAlone) {
    const std::string path = Path("dated");
    realfiles::Write(path, "x");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    FileStatus status;
    ASSERT_TRUE(m_layer.GetStatus(path, status));
    const struct {
        uint32_t attributes;
        unsigned mode;
    } rows[] = {{kAttrReadOnly | kAttrHidden | kAttrSystem, 0440}, {kAttrNormal, 0640}};
    for (const auto& row : rows) {
        status.m_attribute = row.attributes;
        std::unique_ptr<FileHandle> file = m_layer.Open(path, OpenMode::kStatusOnly);
        ASSERT_NE(file, nullptr);
        file->SetStatus(status);
        file->Close();
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, row.mode) << row.attributes;
    }
}

struct MatchCase {
    const char* pattern;
    const char* name;
    bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << c.pattern << " ~ " << c.name;
}

class Wildcards : public ::testing::TestWithParam<MatchCase> {};

TEST_P(Wildcards, Match) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.matches);
}

const MatchCase kMatchCases[] = {
    {"*.*", "README", true},
    {"*.*", "a.b", true},
    {"*", ".hidden", true},
    {"qhzt*.*", "qhzt", true},
    {"qhzt*.*", "qhzt00.tmp", true},
    {"qhzt*.*", "xqhzt.tmp", false},
    {"qhzt*.*", "QHZT00.TMP", false},
    {"abc.*", "abc", true},
    {"abc.*", "abcd", false},
    {"*.txt", "a.txt.bak", false},
    {"*.txt", "a.b.txt", true},
    {"a*b*c", "aXbYbZc", true},
    {"a*b*c", "aXbYcZ", false},
    {"??.tmp", "ab.tmp", true},
    {"??.tmp", "abc.tmp", false},
    // ? is one character, also when it takes several bytes.
    {"?.txt", "\xce\xb1.txt", true},
    {"?\xce\xb2.txt", "\xce\xb1\xce\xb2.txt", true},
    {"", "", true},
    {"", "a", false},
};

INSTANTIATE_TEST_SUITE_P(Rows, Wildcards, ::testing::ValuesIn(kMatchCases));

TEST(PosixErrors, CauseFromErrno) {
    const struct {
        int error;
        int cause;
    } rows[] = {
        {0, kCauseNone},
        {ENOENT, kCauseFileNotFound},
        {ENOTDIR, kCauseBadPath},
        {ENAMETOOLONG, kCauseBadPath},
        {ELOOP, kCauseBadPath},
        {EMFILE, kCauseTooManyOpenFiles},
        {ENFILE, kCauseTooManyOpenFiles},
        {EACCES, kCauseAccessDenied},
        {EPERM, kCauseAccessDenied},
        {EROFS, kCauseAccessDenied},
        {EEXIST, kCauseAccessDenied},
        {EISDIR, kCauseAccessDenied},
        {EBADF, kCauseInvalidFile},
        {ESPIPE, kCauseBadSeek},
        {EIO, kCauseHardIO},
        {EBUSY, kCauseSharingViolation},
        {EWOULDBLOCK, kCauseSharingViolation},
        {EAGAIN, kCauseSharingViolation},
        {ENOLCK, kCauseLockViolation},
        {ENOSPC, kCauseDiskFull},
        {EDQUOT, kCauseDiskFull},
        {EFBIG, kCauseDiskFull},
        {EINVAL, kCauseGeneric},
        {EXDEV, kCauseGeneric},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CauseFromErrno(row.error), row.cause) << "errno " << row.error;
}

TEST(PosixTempPath, FromTmpdirWithASeparator) {
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old != nullptr ? old : "";
    PosixFileLayer layer;
    const struct {
        const char* tmpdir;  // nullptr: unset
        const char* path;
    } rows[] = {{nullptr, "/tmp/"}, {"", "/tmp/"}, {"/var/x", "/var/x/"}, {"/var/y/", "/var/y/"}};
    for (const auto& row : rows) {
        if (row.tmpdir == nullptr)
            ::unsetenv("TMPDIR");
        else
            ::setenv("TMPDIR", row.tmpdir, 1);
        EXPECT_EQ(layer.TempPath(), row.path) << (row.tmpdir ? row.tmpdir : "(unset)");
    }
    if (old != nullptr)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

}  // namespace
