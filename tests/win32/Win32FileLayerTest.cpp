#include "platform/win32/Win32FileLayer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

using FileHandlePtr = std::unique_ptr<FileHandle>;

std::string ReadAll(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
    std::string data;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n != 0)
        data.append(buffer, n);
    CloseHandle(file);
    return data;
}

void WriteAll(const std::string& path, const std::string& data) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD n = 0;
    WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &n, nullptr);
    CloseHandle(file);
    ASSERT_EQ(n, data.size());
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Pattern(size_t size, unsigned seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 131 + seed + i / 4093) % 251);
    return s;
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

// Every test works in a fresh folder under the temporary folder.
class Win32FileLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(sizeof(temp), temp), 0u);
        static int counter = 0;
        m_dir = std::string(temp) + "tidewipe-layer-" + std::to_string(GetCurrentProcessId()) +
                "-" + std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr)) << m_dir;
        m_dir += "\\";
    }
    void TearDown() override {
        RemoveTree(m_dir.substr(0, m_dir.size() - 1));
        EXPECT_FALSE(Exists(m_dir.substr(0, m_dir.size() - 1))) << "left behind";
    }

    std::string Path(const std::string& name) const { return m_dir + name; }

    static void ExpectThrowsCause(int cause, const std::function<void()>& action) {
        try {
            action();
            ADD_FAILURE() << "no FileException";
        } catch (const FileException& e) {
            EXPECT_EQ(e.m_cause, cause) << e.what();
        }
    }

    Win32FileLayer m_layer;
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

class Win32OpenModes : public Win32FileLayerTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(Win32OpenModes, CreateTruncateOrKeep) {
    const OpenCase& c = GetParam();
    const std::string path = Path("f.bin");
    if (c.exists) WriteAll(path, "123456");
    int cause = -1;
    FileHandlePtr file = m_layer.Open(path, c.mode, &cause);
    if (c.cause != 0) {
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(cause, c.cause);
    } else {
        ASSERT_NE(file, nullptr);
        file->Write("AB", 2);
        file->Close();
    }
    if (c.contents == nullptr)
        EXPECT_FALSE(Exists(path));
    else
        EXPECT_EQ(ReadAll(path), c.contents);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Win32OpenModes,
    ::testing::Values(
        OpenCase{"existing only, missing", OpenMode::kReadWriteExisting, false, 2, nullptr},
        OpenCase{"existing only, present", OpenMode::kReadWriteExisting, true, 0, "AB3456"},
        OpenCase{"create read-write, missing", OpenMode::kCreateReadWrite, false, 0, "AB"},
        OpenCase{"create read-write, present", OpenMode::kCreateReadWrite, true, 0, "AB"},
        OpenCase{"create write, missing", OpenMode::kCreateWrite, false, 0, "AB"},
        OpenCase{"create write, present", OpenMode::kCreateWrite, true, 0, "AB"}));

TEST_F(Win32FileLayerTest, OpenFailsForMissingFolderAndForNonFiles) {
    int cause = 0;
    EXPECT_EQ(m_layer.Open(Path("none\\f"), OpenMode::kCreateWrite, &cause), nullptr);
    EXPECT_EQ(cause, kCauseBadPath);

    ASSERT_TRUE(CreateDirectoryA(Path("sub").c_str(), nullptr));
    EXPECT_EQ(m_layer.Open(Path("sub"), OpenMode::kReadWriteExisting, &cause), nullptr);
    EXPECT_EQ(cause, kCauseAccessDenied);

    cause = 0;
    EXPECT_EQ(m_layer.Open("NUL", OpenMode::kReadWriteExisting, &cause), nullptr);
    EXPECT_EQ(cause, kCauseAccessDenied);
}

TEST_F(Win32FileLayerTest, OpenFileExcludesEveryOtherOpener) {
    const std::string path = Path("held.bin");
    WriteAll(path, "contents");
    FileHandlePtr held = m_layer.Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(held, nullptr);

    for (OpenMode mode :
         {OpenMode::kReadWriteExisting, OpenMode::kCreateReadWrite, OpenMode::kCreateWrite}) {
        int cause = 0;
        EXPECT_EQ(m_layer.Open(path, mode, &cause), nullptr);
        EXPECT_EQ(cause, kCauseSharingViolation);
    }
    ExpectThrowsCause(kCauseSharingViolation, [&] { m_layer.Remove(path); });

    held->Close();
    EXPECT_EQ(ReadAll(path), "contents");
    FileHandlePtr again = m_layer.Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(again, nullptr);
    // An object destroyed without Close lets go of the file too.
    again.reset();
    EXPECT_NE(m_layer.Open(path, OpenMode::kReadWriteExisting), nullptr);
}

TEST_F(Win32FileLayerTest, PassOfSmallWritesPutsExactBytes) {
    const std::string path = Path("pass.bin");
    const size_t size = 40 * 2048 + 904;
    WriteAll(path, Pattern(size, 1));

    const std::string pass = Pattern(size, 2);
    FileHandlePtr file = m_layer.Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(file, nullptr);
    for (size_t at = 0; at < size; at += 2048)
        file->Write(pass.data() + at, std::min<size_t>(2048, size - at));
    file->Flush();
    file->Write("X", 1);
    file->Close();
    EXPECT_EQ(ReadAll(path), pass + "X");

    ExpectThrowsCause(kCauseInvalidFile, [&] { file->Write("Y", 1); });
    EXPECT_NO_THROW(file->Close());
}

TEST_F(Win32FileLayerTest, SeekToEndWritesOutFirstAndAppends) {
    const std::string path = Path("grow.bin");
    const std::string original = Pattern(5000, 3);
    WriteAll(path, original);
    const std::string overrun = Pattern(5000, 4);

    FileHandlePtr file = m_layer.Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(file, nullptr);
    file->Write("abc", 3);
    EXPECT_EQ(file->SeekToEnd(), 5000);
    for (size_t at = 0; at < overrun.size(); at += 2048)
        file->Write(overrun.data() + at, std::min<size_t>(2048, overrun.size() - at));
    EXPECT_EQ(file->SeekToEnd(), 10000);
    file->Close();
    EXPECT_EQ(ReadAll(path), "abc" + original.substr(3) + overrun);
}

TEST_F(Win32FileLayerTest, RenameNeverReplaces) {
    WriteAll(Path("a"), "first");
    WriteAll(Path("b"), "second");
    ExpectThrowsCause(kCauseAccessDenied, [&] { m_layer.Rename(Path("a"), Path("b")); });
    EXPECT_EQ(ReadAll(Path("a")), "first");
    EXPECT_EQ(ReadAll(Path("b")), "second");

    m_layer.Rename(Path("a"), Path("c"));
    EXPECT_EQ(ReadAll(Path("c")), "first");
    EXPECT_FALSE(Exists(Path("a")));
    ExpectThrowsCause(kCauseFileNotFound, [&] { m_layer.Rename(Path("a"), Path("d")); });
}

TEST_F(Win32FileLayerTest, RemoveDeletesWritableFilesOnly) {
    WriteAll(Path("gone"), "x");
    m_layer.Remove(Path("gone"));
    EXPECT_FALSE(Exists(Path("gone")));
    ExpectThrowsCause(kCauseFileNotFound, [&] { m_layer.Remove(Path("gone")); });

    WriteAll(Path("locked"), "x");
    ASSERT_TRUE(SetFileAttributesA(Path("locked").c_str(), FILE_ATTRIBUTE_READONLY));
    ExpectThrowsCause(kCauseAccessDenied, [&] { m_layer.Remove(Path("locked")); });
    EXPECT_TRUE(Exists(Path("locked")));
}

TEST_F(Win32FileLayerTest, GetStatusReportsSizeAttributesAndName) {
    FileStatus status;
    EXPECT_FALSE(m_layer.GetStatus(Path("missing"), status));
    EXPECT_FALSE(m_layer.GetStatus("", status));

    WriteAll(Path("plain"), "12345");
    // A wildcard would let the search describe some other entry.
    EXPECT_FALSE(m_layer.GetStatus(Path("pla*"), status));
    EXPECT_FALSE(m_layer.GetStatus(Path("plai?"), status));

    ASSERT_TRUE(m_layer.GetStatus(Path("plain"), status));
    EXPECT_EQ(status.m_size, 5);
    EXPECT_EQ(status.m_attribute & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_EQ(status.m_szFullName, Path("plain"));
    const int64_t now = static_cast<int64_t>(time(nullptr));
    EXPECT_LE(std::abs(status.m_mtime - now), 120) << "write time not in seconds since 1970";

    ASSERT_TRUE(CreateDirectoryA(Path("sub").c_str(), nullptr));
    ASSERT_TRUE(m_layer.GetStatus(Path("sub"), status));
    EXPECT_NE(status.m_attribute & kAttrDirectory, 0u);

    // Relative names are completed with the current folder.
    char cwd[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryA(sizeof(cwd), cwd), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(m_dir.c_str()));
    const bool found = m_layer.GetStatus("plain", status);
    SetCurrentDirectoryA(cwd);
    ASSERT_TRUE(found);
    EXPECT_EQ(status.m_szFullName, Path("plain"));
}

TEST_F(Win32FileLayerTest, GetStatusOfAFileOverFourGigabytes) {
    const std::string path = Path("huge.bin");
    const int64_t size = 5LL * 1024 * 1024 * 1024 + 3;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool extended = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(extended);

    FileStatus status;
    ASSERT_TRUE(m_layer.GetStatus(path, status));
    EXPECT_EQ(status.m_size, size);

    FileHandlePtr open = m_layer.Open(path, OpenMode::kReadWriteExisting);
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->SeekToEnd(), size);
    open->Close();
}

TEST_F(Win32FileLayerTest, SetStatusWritesAttributesAndTimes) {
    const std::string path = Path("dated");
    WriteAll(path, "x");
    FileStatus status;
    ASSERT_TRUE(m_layer.GetStatus(path, status));

    // Made read-only together with new times: the times are written before the attribute.
    status.m_mtime = 883612802;  // 1998-01-01 00:00:02 UTC
    status.m_atime = 883612900;
    status.m_ctime = 883612802;
    status.m_attribute = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
    m_layer.SetStatus(path, status);
    FileStatus read;
    ASSERT_TRUE(m_layer.GetStatus(path, read));
    EXPECT_EQ(read.m_mtime, 883612802);
    EXPECT_EQ(read.m_atime, 883612900);
    const uint32_t kept = kAttrReadOnly | kAttrHidden | kAttrSystem;
    EXPECT_EQ(read.m_attribute & kept, kept);

    // From read-only back to writable, with new times: the attribute goes first.
    read.m_attribute &= ~kept;
    read.m_mtime = 946684800;
    read.m_atime = 946684900;
    m_layer.SetStatus(path, read);
    ASSERT_TRUE(m_layer.GetStatus(path, status));
    EXPECT_EQ(status.m_attribute & kept, 0u);
    EXPECT_EQ(status.m_mtime, 946684800);
    EXPECT_EQ(status.m_atime, 946684900);

    // A zero write time keeps all times; a zero access time keeps that one (set here by other
    // means, so that it differs from anything the layer wrote).
    status.m_mtime = 0;
    status.m_atime = 5;
    m_layer.SetStatus(path, status);
    ASSERT_TRUE(m_layer.GetStatus(path, read));
    EXPECT_EQ(read.m_mtime, 946684800);
    EXPECT_EQ(read.m_atime, 946684900);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const ULONGLONG ticks = (990000000ULL + 11644473600ULL) * 10000000ULL;
    FILETIME access = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const bool set = SetFileTime(file, nullptr, &access, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(set);
    read.m_mtime = 1000000000;
    read.m_atime = 0;
    m_layer.SetStatus(path, read);
    ASSERT_TRUE(m_layer.GetStatus(path, status));
    EXPECT_EQ(status.m_mtime, 1000000000);
    EXPECT_EQ(status.m_atime, 990000000);

    // Still read-only, new times: the times must get through the read-only attribute.
    status.m_attribute = kAttrReadOnly;
    m_layer.SetStatus(path, status);
    status.m_mtime = 1100000000;
    m_layer.SetStatus(path, status);
    ASSERT_TRUE(m_layer.GetStatus(path, read));
    EXPECT_EQ(read.m_mtime, 1100000000);
    EXPECT_NE(read.m_attribute & kAttrReadOnly, 0u);

    ExpectThrowsCause(kCauseFileNotFound, [&] { m_layer.SetStatus(Path("missing"), read); });
}

struct FindCase {
    const char* pattern;               // inside the test folder
    std::set<std::string> acceptable;  // any of them may come first; empty: no match
};

void PrintTo(const FindCase& c, std::ostream* os) {
    *os << c.pattern;
}

class Win32FindFirst : public Win32FileLayerTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(Win32FindFirst, SearchesTheFolder) {
    const FindCase& c = GetParam();
    ASSERT_TRUE(CreateDirectoryA(Path("files").c_str(), nullptr));
    for (const char* name : {"qhztnotes.txt", "qhzt", "abc.tmp"})
        WriteAll(Path(std::string("files\\") + name), "");
    ASSERT_TRUE(CreateDirectoryA(Path("only").c_str(), nullptr));
    WriteAll(Path("only\\README"), "");

    FindResult found;
    const bool hit = m_layer.FindFirst(Path(c.pattern), found);
    if (c.acceptable.empty()) {
        EXPECT_FALSE(hit) << found.name;
    } else {
        ASSERT_TRUE(hit);
        EXPECT_EQ(c.acceptable.count(found.name), 1u) << found.name;
        EXPECT_EQ(found.attributes & kAttrDirectory, 0u);
    }
}

const FindCase kFindCases[] = {
    {"files\\qhzt*.*", {"qhztnotes.txt", "qhzt"}},
    {"files\\zzzz*.*", {}},
    {"files\\abc.tmp", {"abc.tmp"}},
    {"files\\ABC.TMP", {"abc.tmp"}},
    {"files\\missing", {}},
    {"only\\README*.*", {"README"}},
    {"nofolder\\*.*", {}},
};

INSTANTIATE_TEST_SUITE_P(Patterns, Win32FindFirst, ::testing::ValuesIn(kFindCases));

TEST_F(Win32FileLayerTest, TempPathIsAFolderEndingInABackslash) {
    const std::string temp = m_layer.TempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    const DWORD attributes = GetFileAttributesA(temp.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(Win32FileLayerTest, NamesOutsideTheOldCodePagesGoThroughTheNarrowCalls) {
    // The test program carries the manifest that makes the narrow calls take UTF-8.
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
    const std::string name = "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88_\xce\xb1\xce\xb2\xce\xb3.txt";
    const std::string renamed = "\xe6\x97\xa5\xe6\x9c\xac_\xce\xa9.tmp";
    FileHandlePtr file = m_layer.Open(Path(name), OpenMode::kCreateReadWrite);
    ASSERT_NE(file, nullptr);
    file->Write("12345", 5);
    file->Close();

    FileStatus status;
    ASSERT_TRUE(m_layer.GetStatus(Path(name), status));
    EXPECT_EQ(status.m_size, 5);
    FindResult found;
    ASSERT_TRUE(m_layer.FindFirst(Path("*_\xce\xb1*.*"), found));
    EXPECT_EQ(found.name, name);

    // The wide name on disk is the one meant.
    const int n = MultiByteToWideChar(CP_UTF8, 0, m_dir.c_str(), -1, nullptr, 0);
    std::wstring wideDir(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, m_dir.c_str(), -1, &wideDir[0], n);
    wideDir.resize(static_cast<size_t>(n - 1));
    EXPECT_NE(GetFileAttributesW((wideDir + L"\u30c6\u30b9\u30c8_\u03b1\u03b2\u03b3.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);

    m_layer.Rename(Path(name), Path(renamed));
    EXPECT_NE(GetFileAttributesW((wideDir + L"\u65e5\u672c_\u03a9.tmp").c_str()),
              INVALID_FILE_ATTRIBUTES);
    m_layer.Remove(Path(renamed));
    EXPECT_FALSE(m_layer.GetStatus(Path(renamed), status));
}

TEST(Win32Errors, CauseFromWin32Error) {
    const struct {
        DWORD error;
        int cause;
    } rows[] = {
        {NO_ERROR, kCauseNone},
        {ERROR_FILE_NOT_FOUND, kCauseFileNotFound},
        {ERROR_PATH_NOT_FOUND, kCauseBadPath},
        {ERROR_INVALID_NAME, kCauseBadPath},
        {ERROR_TOO_MANY_OPEN_FILES, kCauseTooManyOpenFiles},
        {ERROR_ACCESS_DENIED, kCauseAccessDenied},
        {ERROR_ALREADY_EXISTS, kCauseAccessDenied},
        {ERROR_FILE_EXISTS, kCauseAccessDenied},
        {ERROR_INVALID_HANDLE, kCauseInvalidFile},
        {ERROR_CURRENT_DIRECTORY, kCauseRemoveCurrentDir},
        {ERROR_CANNOT_MAKE, kCauseDirectoryFull},
        {ERROR_SEEK, kCauseBadSeek},
        {ERROR_NEGATIVE_SEEK, kCauseBadSeek},
        {ERROR_CRC, kCauseHardIO},
        {ERROR_IO_DEVICE, kCauseHardIO},
        {ERROR_READ_FAULT, kCauseHardIO},
        {ERROR_WRITE_FAULT, kCauseHardIO},
        {ERROR_GEN_FAILURE, kCauseHardIO},
        {ERROR_SECTOR_NOT_FOUND, kCauseHardIO},
        {ERROR_SEEK_ON_DEVICE, kCauseHardIO},
        {ERROR_NOT_READY, kCauseHardIO},
        {ERROR_BAD_UNIT, kCauseHardIO},
        {ERROR_DISK_OPERATION_FAILED, kCauseHardIO},
        {ERROR_DEVICE_NOT_CONNECTED, kCauseHardIO},
        {ERROR_SHARING_VIOLATION, kCauseSharingViolation},
        {ERROR_LOCK_VIOLATION, kCauseLockViolation},
        {ERROR_DISK_FULL, kCauseDiskFull},
        {ERROR_HANDLE_DISK_FULL, kCauseDiskFull},
        {ERROR_HANDLE_EOF, kCauseEndOfFile},
        {ERROR_INVALID_PARAMETER, kCauseGeneric},
        {ERROR_NOT_SUPPORTED, kCauseGeneric},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CauseFromWin32Error(row.error), row.cause) << "error " << row.error;
}

}  // namespace
