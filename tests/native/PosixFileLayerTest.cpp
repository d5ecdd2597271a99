#include "platform/posix/PosixFileLayer.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

std::string Pattern(size_t size, unsigned seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 131 + seed + i / 4093) % 251);
    return s;
}

void RemoveTree(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* dir = ::opendir(path.c_str())) {
            while (const dirent* e = ::readdir(dir)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..") RemoveTree(path + "/" + name);
            }
            ::closedir(dir);
        }
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

// Every test works in a fresh folder of its own.
class PosixFileLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = "/tmp/tidewipe-layer-XXXXXX";
        ASSERT_NE(::mkdtemp(&tmpl[0]), nullptr);
        m_dir = tmpl + "/";
    }
    void TearDown() override { RemoveTree(m_dir.substr(0, m_dir.size() - 1)); }

    std::string Path(const std::string& name) const { return m_dir + name; }

    void ExpectThrowsCause(int cause, const std::function<void()>& action) {
        try {
            action();
            ADD_FAILURE() << "no FileException";
        } catch (const FileException& e) {
            EXPECT_EQ(e.m_cause, cause) << e.what();
        }
    }

    PosixFileLayer m_layer;
    std::string m_dir;
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

class PosixOpenModes : public PosixFileLayerTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(PosixOpenModes, CreateTruncateOrKeep) {
    const OpenCase& c = GetParam();
    const std::string path = Path("f.bin");
    if (c.exists) WriteFile(path, "123456");
    int cause = -1;
    std::unique_ptr<FileHandle> file = m_layer.Open(path, c.mode, &cause);
    if (c.cause != 0) {
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(cause, c.cause);
    } else {
        ASSERT_NE(file, nullptr);
        file->Write("AB", 2);
        file->Close();
    }
    struct stat st;
    if (c.contents == nullptr)
        EXPECT_NE(::stat(path.c_str(), &st), 0);
    else
        EXPECT_EQ(ReadFile(path), c.contents);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PosixOpenModes,
    ::testing::Values(
        OpenCase{"existing only, missing", OpenMode::kReadWriteExisting, false, 2, nullptr},
        OpenCase{"existing only, present", OpenMode::kReadWriteExisting, true, 0, "AB3456"},
        OpenCase{"create read-write, missing", OpenMode::kCreateReadWrite, false, 0, "AB"},
        OpenCase{"create read-write, present", OpenMode::kCreateReadWrite, true, 0, "AB"},
        OpenCase{"create write, missing", OpenMode::kCreateWrite, false, 0, "AB"},
        OpenCase{"create write, present", OpenMode::kCreateWrite, true, 0, "AB"}));

TEST_F(PosixFileLayerTest, OpenFailsForMissingFolderAndForNonFiles) {
    int cause = 0;
    EXPECT_EQ(m_layer.Open(Path("none/f"), OpenMode::kCreateWrite, &cause), nullptr);
    EXPECT_EQ(cause, kCauseFileNotFound);

    ASSERT_EQ(::mkdir(Path("sub").c_str(), 0755), 0);
    EXPECT_EQ(m_layer.Open(Path("sub"), OpenMode::kReadWriteExisting, &cause), nullptr);
    EXPECT_EQ(cause, kCauseAccessDenied);

    // A pipe would block or swallow the data; a device is no file to wipe.
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0644), 0);
    for (OpenMode mode : {OpenMode::kReadWriteExisting, OpenMode::kCreateReadWrite}) {
        cause = 0;
        EXPECT_EQ(m_layer.Open(Path("pipe"), mode, &cause), nullptr);
        EXPECT_EQ(cause, kCauseAccessDenied);
    }
    cause = 0;
    EXPECT_EQ(m_layer.Open("/dev/null", OpenMode::kReadWriteExisting, &cause), nullptr);
    EXPECT_EQ(cause, kCauseAccessDenied);
}

TEST_F(PosixFileLayerTest, OpenFileExcludesEveryOtherOpener) {
    const std::string path = Path("held.bin");
    WriteFile(path, "contents");
    std::unique_ptr<FileHandle> held = m_layer.Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(held, nullptr);

    for (OpenMode mode :
         {OpenMode::kReadWriteExisting, OpenMode::kCreateReadWrite, OpenMode::kCreateWrite}) {
        int cause = 0;
        EXPECT_EQ(m_layer.Open(path, mode), nullptr);
        EXPECT_EQ(m_layer.Open(path, mode, &cause), nullptr);
        EXPECT_EQ(cause, kCauseSharingViolation);
    }
    EXPECT_EQ(ReadFile(path), "contents") << "a refused create emptied the file";

    held->Close();
    std::unique_ptr<FileHandle> again = m_layer.Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(again, nullptr);
    // An object destroyed without Close lets go of the file too.
    again.reset();
    EXPECT_NE(m_layer.Open(path, OpenMode::kReadWriteExisting), nullptr);
}

TEST_F(PosixFileLayerTest, PassOfSmallWritesPutsExactBytes) {
    const std::string path = Path("pass.bin");
    const size_t size = 40 * 2048 + 904;
    WriteFile(path, Pattern(size, 1));

    const std::string pass = Pattern(size, 2);
    std::unique_ptr<FileHandle> file = m_layer.Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(file, nullptr);
    for (size_t at = 0; at < size; at += 2048)
        file->Write(pass.data() + at, std::min<size_t>(2048, size - at));
    file->Flush();
    EXPECT_EQ(ReadFile(path), pass) << "Flush left data behind";
    file->Write("X", 1);
    file->Close();
    EXPECT_EQ(ReadFile(path), pass + "X");

    EXPECT_THROW(file->Write("Y", 1), FileException);
    EXPECT_NO_THROW(file->Close());
}

TEST_F(PosixFileLayerTest, SeekToEndWritesOutFirstAndAppends) {
    const std::string path = Path("grow.bin");
    const std::string original = Pattern(5000, 3);
    WriteFile(path, original);
    const std::string overrun = Pattern(5000, 4);

    std::unique_ptr<FileHandle> file = m_layer.Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(file, nullptr);
    file->Write("abc", 3);
    EXPECT_EQ(file->SeekToEnd(), 5000);
    for (size_t at = 0; at < overrun.size(); at += 2048)
        file->Write(overrun.data() + at, std::min<size_t>(2048, overrun.size() - at));
    EXPECT_EQ(file->SeekToEnd(), 10000);
    file->Close();
    EXPECT_EQ(ReadFile(path), "abc" + original.substr(3) + overrun);
}

// Causes thrown by each step; 0 for a step that went through.
std::vector<int> Steps(const std::vector<std::function<void()>>& steps) {
    std::vector<int> causes;
    for (const auto& step : steps) {
        try {
            step();
            causes.push_back(0);
        } catch (const FileException& e) {
            causes.push_back(e.m_cause);
        }
    }
    return causes;
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

    const std::string chunk = Pattern(2048, 5);
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
        flushSteps = Steps({[&] { writeChunks(*flushed, 60); }, [&] { flushed->Flush(); },
                            [&] { writeChunks(*flushed, 1); }, [&] { flushed->Close(); }});
        closeSteps = Steps({[&] { writeChunks(*closed, 60); }, [&] { closed->Close(); },
                            [&] { closed->Close(); }});
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
    for (const char* name : {"flushed", "closed"}) {
        struct stat st;
        ASSERT_EQ(::stat(Path(name).c_str(), &st), 0);
        EXPECT_EQ(st.st_size, limit) << name;
        EXPECT_EQ(ReadFile(Path(name)), expected) << name;
    }
}

TEST_F(PosixFileLayerTest, RenameNeverReplaces) {
    WriteFile(Path("a"), "first");
    WriteFile(Path("b"), "second");
    ExpectThrowsCause(kCauseAccessDenied, [&] { m_layer.Rename(Path("a"), Path("b")); });
    EXPECT_EQ(ReadFile(Path("a")), "first");
    EXPECT_EQ(ReadFile(Path("b")), "second");

    // A dangling link is a name too.
    ASSERT_EQ(::symlink("nowhere", Path("link").c_str()), 0);
    ExpectThrowsCause(kCauseAccessDenied, [&] { m_layer.Rename(Path("a"), Path("link")); });

    m_layer.Rename(Path("a"), Path("c"));
    EXPECT_EQ(ReadFile(Path("c")), "first");
    struct stat st;
    EXPECT_NE(::stat(Path("a").c_str(), &st), 0);
    ExpectThrowsCause(kCauseFileNotFound, [&] { m_layer.Rename(Path("a"), Path("d")); });
}

TEST_F(PosixFileLayerTest, RemoveDeletesFilesOnly) {
    WriteFile(Path("gone"), "x");
    m_layer.Remove(Path("gone"));
    struct stat st;
    EXPECT_NE(::stat(Path("gone").c_str(), &st), 0);
    ExpectThrowsCause(kCauseFileNotFound, [&] { m_layer.Remove(Path("gone")); });
    ASSERT_EQ(::mkdir(Path("sub").c_str(), 0755), 0);
    ExpectThrowsCause(kCauseAccessDenied, [&] { m_layer.Remove(Path("sub")); });
}

TEST_F(PosixFileLayerTest, GetStatusReportsSizeAttributesAndName) {
    FileStatus status;
    EXPECT_FALSE(m_layer.GetStatus(Path("missing"), status));
    EXPECT_FALSE(m_layer.GetStatus("", status));

    WriteFile(Path("plain"), "12345");
    ASSERT_TRUE(m_layer.GetStatus(Path("plain"), status));
    EXPECT_EQ(status.m_size, 5);
    EXPECT_EQ(status.m_attribute, kAttrNormal);
    EXPECT_EQ(status.m_szFullName, Path("plain"));
    EXPECT_EQ(status.m_ctime, status.m_mtime);

    WriteFile(Path("empty"), "");
    ASSERT_TRUE(m_layer.GetStatus(Path("empty"), status));
    EXPECT_EQ(status.m_size, 0);
    EXPECT_EQ(status.m_attribute, kAttrNormal) << "an empty file is not sparse";

    ASSERT_EQ(::chmod(Path("plain").c_str(), 0444), 0);
    ASSERT_TRUE(m_layer.GetStatus(Path("plain"), status));
    EXPECT_EQ(status.m_attribute, kAttrReadOnly);

    ASSERT_EQ(::mkdir(Path("sub").c_str(), 0755), 0);
    ASSERT_TRUE(m_layer.GetStatus(Path("sub"), status));
    EXPECT_EQ(status.m_attribute, kAttrDirectory);

    // Relative paths are completed with the current folder.
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof(cwd)), nullptr);
    ASSERT_EQ(::chdir(m_dir.c_str()), 0);
    const bool found = m_layer.GetStatus("empty", status);
    ASSERT_EQ(::chdir(cwd), 0);
    ASSERT_TRUE(found);
    char real[4096];
    ASSERT_NE(::realpath(m_dir.c_str(), real), nullptr);
    EXPECT_EQ(status.m_szFullName, std::string(real) + "/empty");
}

TEST_F(PosixFileLayerTest, GetStatusOfAHugeSparseFile) {
    const std::string path = Path("huge.bin");
    const int64_t size = 5LL * 1024 * 1024 * 1024 + 3;
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ::close(fd);

    FileStatus status;
    ASSERT_TRUE(m_layer.GetStatus(path, status));
    EXPECT_EQ(status.m_size, size);
    EXPECT_EQ(status.m_attribute, kAttrSparse);
    FindResult found;
    ASSERT_TRUE(m_layer.FindFirst(path, found));
    EXPECT_EQ(found.attributes, kAttrSparse);

    // Filled in: no longer sparse.
    WriteFile(path, Pattern(10000, 6));
    ASSERT_TRUE(m_layer.GetStatus(path, status));
    EXPECT_EQ(status.m_size, 10000);
    EXPECT_EQ(status.m_attribute, kAttrNormal);
}

TEST_F(PosixFileLayerTest, SetStatusWritesTimesAndReadOnly) {
    const std::string path = Path("dated");
    WriteFile(path, "x");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    FileStatus status;
    ASSERT_TRUE(m_layer.GetStatus(path, status));
    status.m_mtime = 883612802;  // 1998-01-01 00:00:02 UTC
    status.m_atime = 883612900;
    status.m_ctime = 883612802;
    status.m_attribute |= kAttrReadOnly | kAttrHidden | kAttrSystem;
    m_layer.SetStatus(path, status);

    FileStatus read;
    ASSERT_TRUE(m_layer.GetStatus(path, read));
    EXPECT_EQ(read.m_mtime, 883612802);
    EXPECT_EQ(read.m_atime, 883612900);
    EXPECT_EQ(read.m_attribute, kAttrReadOnly);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0440u);

    // Clearing read-only gives the owner's write bit back; a zero write time keeps the times.
    read.m_attribute = kAttrNormal;
    read.m_mtime = 0;
    read.m_atime = 1;
    m_layer.SetStatus(path, read);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtime, 883612802);
    EXPECT_EQ(st.st_atime, 883612900);

    // A zero access time leaves the access time alone.
    read.m_mtime = 946684800;
    read.m_atime = 0;
    m_layer.SetStatus(path, read);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 946684800);
    EXPECT_EQ(st.st_atime, 883612900);

    ExpectThrowsCause(kCauseFileNotFound, [&] { m_layer.SetStatus(Path("missing"), read); });
}

struct FindCase {
    const char* pattern;               // inside the test folder
    std::set<std::string> acceptable;  // any of them may come first; empty: no match
    uint32_t attributes;               // of the entry found
};

void PrintTo(const FindCase& c, std::ostream* os) {
    *os << c.pattern;
}

class PosixFindFirst : public PosixFileLayerTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(PosixFindFirst, MatchesLikeTheWindowsSearch) {
    const FindCase& c = GetParam();
    ASSERT_EQ(::mkdir(Path("files").c_str(), 0755), 0);
    for (const char* name : {"qhztnotes.txt", "qhzt", "abc.tmp", "README", "x.y.z"})
        WriteFile(Path(std::string("files/") + name), "");
    ASSERT_EQ(::mkdir(Path("files/sub").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(Path("only").c_str(), 0755), 0);
    WriteFile(Path("only/README"), "");
    ASSERT_EQ(::mkdir(Path("empty").c_str(), 0755), 0);

    FindResult found;
    const bool hit = m_layer.FindFirst(Path(c.pattern), found);
    if (c.acceptable.empty()) {
        EXPECT_FALSE(hit) << found.name;
    } else {
        ASSERT_TRUE(hit);
        EXPECT_EQ(c.acceptable.count(found.name), 1u) << found.name;
        EXPECT_EQ(found.attributes, c.attributes);
    }
}

const FindCase kFindCases[] = {
    {"files/qhzt*.*", {"qhztnotes.txt", "qhzt"}, kAttrNormal},
    {"files/zzzz*.*", {}, 0},
    {"files/abc.tmp", {"abc.tmp"}, kAttrNormal},
    {"files/ABC.TMP", {}, 0},
    {"files/abc.*", {"abc.tmp"}, kAttrNormal},
    {"files/a?c.tmp", {"abc.tmp"}, kAttrNormal},
    {"files/README.*", {"README"}, kAttrNormal},
    {"files/s*", {"sub"}, kAttrDirectory},
    {"files/sub", {"sub"}, kAttrDirectory},
    {"files/missing", {}, 0},
    {"files/", {}, 0},
    {"only/*.*", {"README"}, kAttrNormal},
    {"empty/*.*", {}, 0},
    {"nofolder/*.*", {}, 0},
};

INSTANTIATE_TEST_SUITE_P(Patterns, PosixFindFirst, ::testing::ValuesIn(kFindCases));

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
