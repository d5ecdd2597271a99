// The platform's file layer on real files in a fresh folder of the test's own: built natively
// with the POSIX layer and for Windows with the Win32 layer (run under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "support/RealFiles.h"
#include "wipe/WriteGatherer.h"

#ifdef _WIN32
#include <windows.h>

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
using realfiles::Read;
using realfiles::Write;

const int kReplaced = -1;  // the step found another file under the name

// The cause of the FileException that `action` throws; kCauseNone when it throws none.
template <typename Action>
int CauseOf(Action action) {
    try {
        action();
    } catch (const FileReplaced&) {
        return kReplaced;
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

// What the process holds open: its descriptors, or its handles, which Wine counts only in the
// system's list (its GetProcessHandleCount says 0).
size_t OpenHandles() {
#ifdef _WIN32
    using Query = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    struct Row {
        ULONG process, type_flags_handle;
        PVOID object;
        ULONG access;
    };
    std::vector<ULONG_PTR> list(1 << 20);  // a count, then the rows
    EXPECT_EQ(query(16, list.data(), ULONG(list.size() * sizeof(ULONG_PTR)), nullptr), 0);
    const Row* rows = reinterpret_cast<const Row*>(&list[1]);
    return std::count_if(rows, rows + list[0],
                         [](const Row& row) { return row.process == GetCurrentProcessId(); });
#else
    return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
#endif
}

class FileLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = layer.OpenFolder(m_dir);
        ASSERT_NE(dir, nullptr);
    }
    void TearDown() override { fs::current_path(m_saved); }  // before the folder goes

    // Paths as the layer takes them: UTF-8, with the system's separator or '/'.
    std::string P(const std::string& name) const { return m_dir + name; }
    int OpenCause(const std::string& name, OpenMode mode) {  // of an open that must fail
        int cause = kCauseNone;
        EXPECT_EQ(dir->Open(name, mode, &cause), nullptr) << name;
        return cause;
    }
    FileIdentity Id(const std::string& name) {
        FileStatus status;
        EXPECT_TRUE(dir->GetStatus(name, status)) << name;
        return status.m_identity;
    }
    // What an ordinary file with these bits reports.
    uint32_t With(uint32_t bits) const { return bits ? (kPlain & ~kAttrNormal) | bits : kPlain; }

    SystemFileLayer layer;
    const bool kWindows = layer.Style() == PathStyle::kWindows;
    const uint32_t kPlain = kWindows ? kAttrArchive : kAttrNormal;  // as a new file reports
    const fs::path m_saved = fs::current_path();
    realfiles::ScratchFolder m_scratch;  // the tests leave nothing read-only
    const std::string m_dir = m_scratch.Path();
    std::unique_ptr<FolderHandle> dir;
};

// Every open but a status-only one excludes all other openers, and a new file takes only a free
// name: nothing there is opened or emptied. Folders, devices, pipes and links are no files to
// open, and a link is never followed, nor replaced by a rename. Only files are removed, and on
// Windows neither a read-only nor an open one. (The job tests show on this layer that a rename
// never replaces a file, and that a step which finds another file than it checked does nothing.)
TEST_F(FileLayerTest, OpenRenameAndRemove) {
    Write(P("held"), "contents");
    fs::create_directory(P("sub"));
    std::unique_ptr<FileHandle> held = dir->Open("held", OpenMode::kReadWriteExisting);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(OpenCause("none", OpenMode::kReadWriteExisting), kCauseFileNotFound);
    EXPECT_EQ(OpenCause("sub", OpenMode::kReadWriteExisting), kCauseAccessDenied);
    EXPECT_EQ(OpenCause("held", OpenMode::kReadWriteExisting), kCauseSharingViolation);
    for (const char* taken : {"held", "sub"})
        EXPECT_EQ(OpenCause(taken, OpenMode::kCreateNew), kCauseAccessDenied);
    EXPECT_TRUE(!kWindows ||
                CauseOf([&] { dir->Remove("held", held->Identity()); }) == kCauseSharingViolation);
    held.reset();

    std::unique_ptr<FileHandle> made = dir->Open("a", OpenMode::kCreateNew);
    ASSERT_NE(made, nullptr);
    made->Close();
    EXPECT_TRUE(kWindows || fs::status(P("a")).permissions() ==
                                (fs::perms::owner_read | fs::perms::owner_write));
    const FileIdentity a = Id("a");
    dir->Rename("a", "c", a);
    EXPECT_EQ(CauseOf([&] { dir->Rename("a", "d", a); }), kCauseFileNotFound);
    dir->Remove("c", a);
    EXPECT_EQ(CauseOf([&] { dir->Remove("c", a); }), kCauseFileNotFound);
    EXPECT_EQ(CauseOf([&] { dir->Remove("sub", Id("sub")); }), kCauseAccessDenied);
    fs::permissions(P("held"), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(CauseOf([&] { dir->Remove("held", Id("held")); }),
              kWindows ? kCauseAccessDenied : kCauseNone);
    if (kWindows) fs::permissions(P("held"), fs::perms::owner_write, fs::perm_options::add);
#ifdef _WIN32
    // Device names mean the device in every folder and with any extension: never opened.
    for (const char* device : {"NUL", "nul", "COM1.txt", "lpt9", "con .log", "AUX.tar.gz"}) {
        FileStatus status;
        EXPECT_FALSE(dir->GetStatus(device, status)) << device;
        EXPECT_NE(OpenCause(device, OpenMode::kReadWriteExisting), kCauseNone);
    }
#else
    ASSERT_EQ(mkfifo(P("pipe").c_str(), 0644) | symlink("nowhere", P("link").c_str()), 0);
    std::unique_ptr<FolderHandle> dev = layer.OpenFolder("/dev/");
    ASSERT_NE(dev, nullptr);
    const struct {
        FolderHandle* in;
        const char* name;
        uint32_t kind;
    } others[] = {{dir.get(), "pipe", kAttrDevice},
                  {dev.get(), "null", kAttrDevice},
                  {dir.get(), "link", kAttrReparsePoint}};
    for (const auto& other : others) {
        FindResult found;
        EXPECT_TRUE(other.in->FindFirst(other.name, found) && found.attributes == other.kind)
            << other.name;
        for (OpenMode mode : {OpenMode::kReadWriteExisting, OpenMode::kStatusOnly})
            EXPECT_EQ(other.in->Open(other.name, mode), nullptr) << other.name;
    }
    EXPECT_EQ(OpenCause("link", OpenMode::kCreateNew), kCauseAccessDenied);
    EXPECT_EQ(CauseOf([&] { dir->Rename("sub", "link", Id("sub")); }), kCauseAccessDenied);
    EXPECT_FALSE(fs::exists(P("nowhere")));
#endif
}

// Exactly the bytes written reach the file, in order, by Flush or Close: across the gathered
// blocks and passes long enough to start their write-back on the way, around a seek to the end
// and a truncation; nothing of the write-back stays open. Sizes go beyond 32 bits. The status is
// written as given, also through a file that is read-only or, on Windows, that another holds.
// (On POSIX a held file's permissions stay: the Linux program's tests show it refused.)
TEST_F(FileLayerTest, ContentsAndStatus) {
    const std::string name = "pass-\xce\xb1\xce\xb2.bin";  // through the narrow calls too
    const size_t size = (17 << 20) + 17272;                // blocks and a part
    const size_t before = OpenHandles();
    const std::string first = Pattern(size, 1), next = Pattern(size, 2);
    Write(P(name), first);
    std::unique_ptr<FileHandle> file = dir->Open(name, OpenMode::kReadWriteExisting);
    WriteInSteps(*file, "abc");
    EXPECT_EQ(file->SeekToEnd(), static_cast<int64_t>(size));
    WriteInSteps(*file, next);
    file->Close();  // with a gathered tail still to go out
    EXPECT_TRUE(Read(P(name)) == "abc" + first.substr(3) + next);
    EXPECT_EQ(CauseOf([&] { file->Write("Y", 1); }), kCauseInvalidFile);
    file = dir->Open(name, OpenMode::kReadWriteExisting);
    WriteInSteps(*file, first);  // partly gathered, then cut
    file->Truncate();
    WriteInSteps(*file, next);
    file->Flush();
    file.reset();  // what Flush put out stays without a Close
    EXPECT_TRUE(Read(P(name)) == next);
    EXPECT_EQ(OpenHandles(), before);
    Write(P("huge"), "");
    fs::resize_file(P("huge"), 5LL << 30);  // holes
    FileStatus huge;
    ASSERT_TRUE(dir->GetStatus("huge", huge));
    EXPECT_EQ(huge.m_size, 5LL << 30);
    EXPECT_EQ(huge.m_attribute, kWindows ? kPlain : kAttrSparse);
    EXPECT_EQ(dir->Open("huge", OpenMode::kReadWriteExisting)->SeekToEnd(), 5LL << 30);

    // Steps through a status-only handle: what SetStatus writes and what reads back. A zero write
    // time leaves every time, a zero access time that one; read-only is the owner's write bit alone
    // on POSIX.
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
    if (kWindows) file = dir->Open("d", OpenMode::kReadWriteExisting);  // held meanwhile
    for (const int64_t* step : steps) {
        SCOPED_TRACE(step[1]);
        const uint32_t bits = static_cast<uint32_t>(step[0]);
        EXPECT_TRUE(dir->Open("d", OpenMode::kStatusOnly)
                        ->SetStatus({883612000, step[1], step[2], 0, With(bits), "", {}}));
        FileStatus read;
        ASSERT_TRUE(dir->GetStatus("d", read));
        EXPECT_EQ(read.m_attribute, With(bits & (kWindows ? kSpecial : kAttrReadOnly)));
        EXPECT_EQ(read.m_mtime, step[3]);
        EXPECT_EQ(read.m_atime, step[4]);
        EXPECT_TRUE(kWindows || fs::status(P("d")).permissions() == fs::perms(bits ? 0440 : 0640));
    }
    // A status-only handle changes no data, whatever the system would let it do.
    file.reset();
    EXPECT_EQ(CauseOf([&] { dir->Open("d", OpenMode::kStatusOnly)->Truncate(); }),
              kCauseInvalidFile);
    EXPECT_EQ(Read(P("d")), "12345");
}

#ifdef _WIN32
// Systems without SetFileInformationByHandle take the ntdll route: by either route a rename or
// removal goes through a checked handle, and a rename never replaces an entry.
TEST_F(FileLayerTest, BothInformationRoutesRenameAndRemove) {
    const std::string renamed = P("\xce\xb1-renamed");
    for (InfoRoute route : {InfoRoute::kKernel32, InfoRoute::kNtdll}) {
        Write(P("r"), "data");
        Write(P("o"), "other");
        const FileIdentity id = Id("r");
        EXPECT_EQ(CauseOf([&] { RenameChecked(P("r"), P("o"), id, route); }), kCauseAccessDenied);
        EXPECT_EQ(CauseOf([&] { RemoveChecked(P("o"), id, route); }), kReplaced);
        RenameChecked(P("r"), renamed, id, route);
        EXPECT_EQ(Read(renamed) + Read(P("o")), "dataother");
        RemoveChecked(renamed, id, route);
        EXPECT_FALSE(fs::exists(fs::u8path(renamed)) || fs::exists(P("r")));
    }
}
#endif

// The first entry a pattern finds: "*.*" takes names without a dot too; Windows folds case and
// lists a folder's own "." first. Folders open in the forms the engine splits paths into: the
// current folder, and a relative one (on Windows, on the current folder of a drive).
TEST_F(FileLayerTest, FindFirstMatchesLikeTheWindowsSearch) {
    fs::create_directories(P("f/sub"));
    for (const char* name : {"f/qhzt", "f/abc.tmp", "f/x.y.z", "f/\xce\xb1.txt", "f/sub/README"})
        Write(P(name), "");
    fs::current_path(P("f"));
    std::unique_ptr<FolderHandle> f = layer.OpenFolder("");
    std::unique_ptr<FolderHandle> sub =
        layer.OpenFolder(kWindows ? m_dir.substr(0, 2) + "sub\\" : "sub/");
    ASSERT_TRUE(f && sub);
    const struct {
        FolderHandle* in;
        const char *pattern, *posix, *windows;
    } rows[] = {
        {f.get(), "qhzt*.*", "qhzt", "qhzt"}, {f.get(), "zzzz*.*", "", ""},
        {f.get(), "ABC.TMP", "", "abc.tmp"},  {f.get(), "a?c.*", "abc.tmp", "abc.tmp"},
        {f.get(), "*.z", "x.y.z", "x.y.z"},   {f.get(), "?.txt", "\xce\xb1.txt", "\xce\xb1.txt"},
        {f.get(), "s*", "sub", "sub"},        {sub.get(), "*.*", "README", "."},
    };
    for (const auto& row : rows) {
        const std::string expected = kWindows ? row.windows : row.posix;
        FindResult found;
        EXPECT_EQ(row.in->FindFirst(row.pattern, found), !expected.empty()) << row.pattern;
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
    EXPECT_NE(dir->Open(longest, OpenMode::kCreateNew), nullptr);
    EXPECT_EQ(OpenCause(longest + "n", OpenMode::kCreateNew), kCauseBadPath);
#endif
}

}  // namespace
