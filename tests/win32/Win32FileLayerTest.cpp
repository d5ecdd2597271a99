// What only the Win32 layer does; the contract that every layer keeps is checked in
// tests/common/FileLayerContractTest.cpp.
#include "platform/win32/Win32FileLayer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/RealFiles.h"

namespace {

// Device names mean the device in every folder and with any extension; the search may still
// describe them as plain files (Wine does), so the layer says what they are.
TEST(Win32Devices, AreNoFilesToOpenAndTheSearchSaysSo) {
    Win32FileLayer layer;
    realfiles::ScratchFolder dir;
    for (const char* device : {"NUL", "nul", "COM1.txt", "lpt9", "con .log", "AUX.tar.gz"}) {
        for (OpenMode mode : {OpenMode::kReadWriteExisting, OpenMode::kStatusOnly}) {
            int cause = 0;
            EXPECT_EQ(layer.Open(dir.Path(device), mode, &cause), nullptr) << device;
            EXPECT_NE(cause, kCauseNone) << device;
        }
        FindResult found;
        if (layer.FindFirst(dir.Path(device), found)) {
            EXPECT_NE(found.attributes & kAttrDevice, 0u) << device;
        }
    }
    // Names that only begin like a device are files.
    for (const char* name : {"CONSOLE.txt", "COM10", "nul2", "xNUL"}) {
        realfiles::Write(dir.Path(name), "f");
        FindResult found;
        ASSERT_TRUE(layer.FindFirst(dir.Path(name), found)) << name;
        EXPECT_EQ(found.attributes & kAttrDevice, 0u) << name;
    }
    EXPECT_TRUE(dir.Remove());
}

TEST(Win32Names, OutsideTheOldCodePagesGoThroughTheNarrowCalls) {
    // The test program carries the manifest that makes the narrow calls take UTF-8.
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
    realfiles::ScratchFolder dir;
    Win32FileLayer layer;
    const std::string name = "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88_\xce\xb1\xce\xb2\xce\xb3.txt";
    const std::string renamed = "\xe6\x97\xa5\xe6\x9c\xac_\xce\xa9.tmp";
    std::unique_ptr<FileHandle> file = layer.Open(dir.Path(name), OpenMode::kCreateReadWrite);
    ASSERT_NE(file, nullptr);
    file->Write("12345", 5);
    file->Close();

    FileStatus status;
    ASSERT_TRUE(layer.GetStatus(dir.Path(name), status));
    EXPECT_EQ(status.m_size, 5);
    FindResult found;
    ASSERT_TRUE(layer.FindFirst(dir.Path("*_\xce\xb1*.*"), found));
    EXPECT_EQ(found.name, name);

    // The wide name on disk is the one meant.
    const int n = MultiByteToWideChar(CP_UTF8, 0, dir.Folder().c_str(), -1, nullptr, 0);
    std::wstring wideDir(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, dir.Folder().c_str(), -1, &wideDir[0], n);
    wideDir.resize(static_cast<size_t>(n - 1));
    EXPECT_NE(GetFileAttributesW((wideDir + L"\u30c6\u30b9\u30c8_\u03b1\u03b2\u03b3.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);

    layer.Rename(dir.Path(name), dir.Path(renamed));
    EXPECT_NE(GetFileAttributesW((wideDir + L"\u65e5\u672c_\u03a9.tmp").c_str()),
              INVALID_FILE_ATTRIBUTES);
    layer.Remove(dir.Path(renamed));
    EXPECT_FALSE(layer.GetStatus(dir.Path(renamed), status));
    EXPECT_TRUE(dir.Remove()) << "left behind";
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
