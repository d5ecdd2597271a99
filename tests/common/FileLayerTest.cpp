// The platform's file layer on real files in a fresh folder of the test's own: built natively
// with the POSIX layer and for Windows with the Win32 layer (run under Wine).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "wipe/WriteGatherer.h"

#ifdef _WIN32
#include "platform/win32/Win32FileLayer.h"
using SystemFileLayer = Win32FileLayer;
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/PosixFileLayer.h"
using SystemFileLayer = PosixFileLayer;
#endif

namespace {

namespace fs = std::filesystem;

// The cause of the FileException that `action` throws; kCauseNone when it throws none.
template <typename Action>
int CauseOf(Action action) {
    try {
        action();
    } catch (const FileException& e) {
        return e.m_cause;
    }
    return kCauseNone;
}

// Bytes that tell their places apart, written in the engine's steps of 2048, the last short.
std::string Pattern(size_t size, size_t seed) {
    std::string s;
    for (size_t i = 0; i < size; ++i)
        s += static_cast<char>((i * 131 + i / 4093 + seed) % 251);
    return s;
}
// Every other step is made in the handle's own room, where it has room for a whole step.
void WriteInSteps(FileHandle& file, const std::string& data) {
    for (size_t at = 0; at < data.size(); at += 2048) {
        const size_t n = std::min<size_t>(2048, data.size() - at);
        uint8_t* room = at % 4096 != 0 ? file.WriteRoom(2048) : nullptr;
        if (room == nullptr) {
            file.Write(data.data() + at, n);
        } else {
            std::memcpy(room, data.data() + at, n);
            file.Write(room, n);
        }
    }
}

class FileLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = "tw-layer-" + std::to_string(std::random_device()());
        m_dir = (fs::temp_directory_path() / name).string();
        ASSERT_TRUE(fs::create_directory(m_dir));  // a fresh one
        m_dir += static_cast<char>(fs::path::preferred_separator);
    }
    void TearDown() override { fs::remove_all(m_dir); }  // the tests leave nothing read-only

    // Paths as the layer takes them: UTF-8, with the system's separator or '/'.
    std::string P(const std::string& name) const { return m_dir + name; }
    static void Write(std::string path, std::string data) { std::ofstream(path, kBinary) << data; }
    static std::string Read(const std::string& path) {
        return {std::istreambuf_iterator<char>(std::ifstream(path, kBinary).rdbuf()), {}};
    }
    int OpenCause(const std::string& path, OpenMode mode) {  // of an open that must fail
        int cause = kCauseNone;
        EXPECT_EQ(layer.Open(path, mode, &cause), nullptr) << path;
        return cause;
    }
    // What an ordinary file with these bits reports.
    uint32_t With(uint32_t bits) const { return bits ? (kPlain & ~kAttrNormal) | bits : kPlain; }

    static constexpr std::ios::openmode kBinary = std::ios::binary;
    SystemFileLayer layer;
    const bool kWindows = layer.Style() == PathStyle::kWindows;
    const uint32_t kPlain = kWindows ? kAttrArchive : kAttrNormal;  // as a new file reports
    std::string m_dir;
};

// Every open but a status-only one excludes all other openers, and a create mode empties
// nothing that another holds. Folders, devices, pipes and links are no files to open, and a
// link is never followed. A rename never replaces an entry; only files are removed, and on
// Windows neither a read-only nor an open one.
TEST_F(FileLayerTest, OpenRenameAndRemove) {
    Write(P("held"), "contents");
    fs::create_directory(P("sub"));
    std::unique_ptr<FileHandle> held = layer.Open(P("held"), OpenMode::kReadWriteExisting);
    EXPECT_EQ(OpenCause(P("none/f"), OpenMode::kCreateWrite),
              kWindows ? kCauseBadPath : kCauseFileNotFound);
    EXPECT_EQ(OpenCause(P("sub"), OpenMode::kCreateReadWrite), kCauseAccessDenied);
    EXPECT_EQ(OpenCause(P("held"), OpenMode::kCreateWrite), kCauseSharingViolation);
    EXPECT_TRUE(!kWindows || CauseOf([&] { layer.Remove(P("held")); }) == kCauseSharingViolation);
    held.reset();
    EXPECT_EQ(Read(P("held")), "contents");
    EXPECT_NE(layer.Open(P("held"), OpenMode::kCreateReadWrite), nullptr);
    EXPECT_EQ(Read(P("held")), "");
    Write(P("a"), "first");
    EXPECT_EQ(CauseOf([&] { layer.Rename(P("a"), P("held")); }), kCauseAccessDenied);
    layer.Rename(P("a"), P("c"));
    EXPECT_EQ(CauseOf([&] { layer.Rename(P("a"), P("d")); }), kCauseFileNotFound);
    EXPECT_EQ(Read(P("held")) + Read(P("c")), "first");
    layer.Remove(P("c"));
    EXPECT_EQ(CauseOf([&] { layer.Remove(P("c")); }), kCauseFileNotFound);
    EXPECT_EQ(CauseOf([&] { layer.Remove(P("sub")); }), kCauseAccessDenied);
    fs::permissions(P("held"), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(CauseOf([&] { layer.Remove(P("held")); }),
              kWindows ? kCauseAccessDenied : kCauseNone);
    if (kWindows) fs::permissions(P("held"), fs::perms::owner_write, fs::perm_options::add);
#ifdef _WIN32
    // Device names mean the device in every folder and with any extension.
    for (const char* device : {"NUL", "nul", "COM1.txt", "lpt9", "con .log", "AUX.tar.gz"})
        EXPECT_NE(OpenCause(P(device), OpenMode::kReadWriteExisting), kCauseNone);
#else
    ASSERT_EQ(mkfifo(P("pipe").c_str(), 0644) | symlink("nowhere", P("link").c_str()), 0);
    for (const std::string& path : {P("pipe"), std::string("/dev/null"), P("link")}) {
        FindResult found;
        const uint32_t kind = path == P("link") ? kAttrReparsePoint : kAttrDevice;
        EXPECT_TRUE(layer.FindFirst(path, found) && found.attributes == kind) << path;
        for (OpenMode mode : {OpenMode::kCreateReadWrite, OpenMode::kStatusOnly})
            EXPECT_NE(OpenCause(path, mode), kCauseNone);
    }
    EXPECT_FALSE(fs::exists(P("nowhere")));
    EXPECT_EQ(CauseOf([&] { layer.Rename(P("sub"), P("link")); }), kCauseAccessDenied);
#endif
}

// Exactly the bytes written reach the file, in order, by Flush or Close: across the gathered
// blocks, around a seek to the end and a truncation. Sizes go beyond 32 bits. The status is
// written as given, also through a file that another holds or that is read-only.
TEST_F(FileLayerTest, ContentsAndStatus) {
    const std::string name = P("pass-\xce\xb1\xce\xb2.bin");  // through the narrow calls too
    const size_t size = WriteGatherer::kBlockSize + 17272;    // a block and a part
    const std::string first = Pattern(size, 1), next = Pattern(size, 2);
    Write(name, first);
    std::unique_ptr<FileHandle> file = layer.Open(name, OpenMode::kReadWriteExisting);
    WriteInSteps(*file, "abc");
    EXPECT_EQ(file->SeekToEnd(), static_cast<int64_t>(size));
    WriteInSteps(*file, next);
    file->Close();  // with a gathered tail still to go out
    EXPECT_EQ(Read(name), "abc" + first.substr(3) + next);
    EXPECT_TRUE(fs::exists(fs::u8path(name)));
    EXPECT_EQ(CauseOf([&] { file->Write("Y", 1); }), kCauseInvalidFile);
    file = layer.Open(name, OpenMode::kReadWriteExisting);
    WriteInSteps(*file, first);  // partly gathered, then cut
    file->Truncate();
    WriteInSteps(*file, next);
    file->Flush();
    file.reset();  // what Flush put out stays without a Close
    EXPECT_EQ(Read(name), next);
    Write(P("huge"), "");
    fs::resize_file(P("huge"), 5LL << 30);  // holes
    FileStatus huge;
    ASSERT_TRUE(layer.GetStatus(P("huge"), huge));
    EXPECT_EQ(huge.m_size, 5LL << 30);
    EXPECT_EQ(huge.m_attribute, kWindows ? kPlain : kAttrSparse);
    EXPECT_EQ(layer.Open(P("huge"), OpenMode::kReadWriteExisting)->SeekToEnd(), 5LL << 30);

    // Steps on a file that another opener holds, each through a status-only handle: what
    // SetStatus writes and what reads back. A zero write time leaves every time, a zero access
    // time that one; read-only is the owner's write bit alone on POSIX.
    const uint32_t kSpecial = kAttrReadOnly | kAttrHidden | kAttrSystem;
    const int64_t steps[][5] = {
        // attributes set, write and access times written, write and access times read
        {kSpecial, 883612802, 883612900, 883612802, 883612900},
        {0, 946684800, 946684900, 946684800, 946684900},
        {0, 0, 5, 946684800, 946684900},
        {kAttrReadOnly, 1000000000, 0, 1000000000, 946684900},
        {kAttrReadOnly, 1100000000, 990000000, 1100000000, 990000000},  // through read-only
        {0, 1100000000, 990000000, 1100000000, 990000000},
    };
    Write(P("d"), "12345");
    fs::permissions(P("d"), static_cast<fs::perms>(0640));
    file = layer.Open(P("d"), OpenMode::kReadWriteExisting);  // held meanwhile
    for (const int64_t* step : steps) {
        SCOPED_TRACE(step[1]);
        const uint32_t bits = static_cast<uint32_t>(step[0]);
        layer.Open(P("d"), OpenMode::kStatusOnly)
            ->SetStatus({883612000, step[1], step[2], 0, With(bits), ""});
        FileStatus read;
        ASSERT_TRUE(layer.GetStatus(P("d"), read));
        EXPECT_EQ(read.m_attribute, With(bits & (kWindows ? kSpecial : kAttrReadOnly)));
        EXPECT_EQ(read.m_mtime, step[3]);
        EXPECT_EQ(read.m_atime, step[4]);
        EXPECT_TRUE(kWindows || fs::status(P("d")).permissions() == fs::perms(bits ? 0440 : 0640));
    }
}

// The first entry a pattern finds: "*.*" takes names without a dot too; Windows folds case and
// lists a folder's own "." first.
TEST_F(FileLayerTest, FindFirstMatchesLikeTheWindowsSearch) {
    fs::create_directories(P("f/sub"));
    for (const char* name : {"f/qhzt", "f/abc.tmp", "f/x.y.z", "f/\xce\xb1.txt", "f/sub/README"})
        Write(P(name), "");
    const struct {
        const char *pattern, *posix, *windows;
    } rows[] = {
        {"f/qhzt*.*", "qhzt", "qhzt"}, {"f/zzzz*.*", "", ""},
        {"f/ABC.TMP", "", "abc.tmp"},  {"f/a?c.*", "abc.tmp", "abc.tmp"},
        {"f/*.z", "x.y.z", "x.y.z"},   {"f/?.txt", "\xce\xb1.txt", "\xce\xb1.txt"},
        {"f/s*", "sub", "sub"},        {"f/sub/*.*", "README", "."},
    };
    for (const auto& row : rows) {
        const std::string expected = kWindows ? row.windows : row.posix;
        FindResult found;
        EXPECT_EQ(layer.FindFirst(P(row.pattern), found), !expected.empty()) << row.pattern;
        EXPECT_EQ(found.name, expected) << row.pattern;
        const bool folder = expected == "sub" || expected == ".";
        EXPECT_EQ(found.attributes, expected.empty() ? 0u : folder ? kAttrDirectory : kPlain);
    }
    // The temporary folder ends in a separator; lengths and limits are the system's own.
    EXPECT_EQ(layer.TempPath().back(), m_dir.back());
    EXPECT_TRUE(fs::is_directory(fs::u8path(layer.TempPath())));
    EXPECT_EQ(layer.Length("\xce\xb1-\xf0\x9f\x98\x80"), kWindows ? 4u : 7u);  // UTF-16 or bytes
#ifndef _WIN32
    const std::string saved = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", "/var/x", 1);
    EXPECT_EQ(layer.TempPath(), "/var/x/");
    unsetenv("TMPDIR");
    EXPECT_EQ(layer.TempPath(), "/tmp/");
    if (!saved.empty()) setenv("TMPDIR", saved.c_str(), 1);
    const std::string longest(layer.Limits().name, 'n');
    EXPECT_NE(layer.Open(P(longest), OpenMode::kCreateWrite), nullptr);
    EXPECT_EQ(OpenCause(P(longest + "n"), OpenMode::kCreateWrite), kCauseBadPath);
#endif
}

}  // namespace
