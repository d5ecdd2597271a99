#include "platform/win32/Win32FileLayer.h"

#include <windows.h>

#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "wipe/WriteGatherer.h"

static_assert(std::is_same<DWORD, unsigned long>::value, "CauseFromWin32Error takes a DWORD");

namespace {

[[noreturn]] void ThrowError(DWORD error, const std::string& path) {
    throw FileException(CauseFromWin32Error(error), static_cast<long>(error), path);
}

[[noreturn]] void ThrowLastError(const std::string& path) {
    ThrowError(GetLastError(), path);
}

// FILETIME counts 100-ns ticks from 1601-01-01 UTC.
const int64_t kTicksPerSecond = 10000000;
const int64_t kSecondsFrom1601To1970 = 11644473600LL;

int64_t SecondsSince1970(const FILETIME& ft) {
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    // Ticks fit in int64 for every date a file system hands out (up to the year 30828).
    const int64_t t = static_cast<int64_t>(ticks);
    int64_t seconds = t / kTicksPerSecond;
    if (t % kTicksPerSecond < 0) --seconds;
    return seconds - kSecondsFrom1601To1970;
}

bool ToFileTime(int64_t seconds, FILETIME& ft) {
    const int64_t maxSeconds =
        std::numeric_limits<int64_t>::max() / kTicksPerSecond - kSecondsFrom1601To1970;
    if (seconds < -kSecondsFrom1601To1970 || seconds > maxSeconds) return false;
    const uint64_t ticks =
        static_cast<uint64_t>(seconds + kSecondsFrom1601To1970) * kTicksPerSecond;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

std::string FullPathName(const std::string& path) {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()),
                                         buffer.data(), nullptr);
        if (n == 0) return path;
        if (n < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(n);
    }
}

const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                  FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// "Normal" is valid only alone.
DWORD AttributesToWrite(uint32_t attributes) {
    DWORD a = attributes & kSettableAttributes;
    if ((a & ~FILE_ATTRIBUTE_NORMAL) != 0) a &= ~FILE_ATTRIBUTE_NORMAL;
    return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

LARGE_INTEGER FileTimeValue(const FILETIME& ft) {
    LARGE_INTEGER value;
    value.LowPart = ft.dwLowDateTime;
    value.HighPart = static_cast<LONG>(ft.dwHighDateTime);
    return value;
}

// Names that Windows maps to a device in every folder and with any extension.
bool IsDeviceName(std::string name) {
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" || name == "CONIN$" ||
        name == "CONOUT$")
        return true;
    return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
           name[3] >= '1' && name[3] <= '9';
}

class Win32OpenFile : public GatheringFileHandle {
public:
    Win32OpenFile(HANDLE file, std::string path, const BY_HANDLE_FILE_INFORMATION& info,
                  bool statusOnly)
        : GatheringFileHandle(statusOnly), m_hFile(file), m_strPath(std::move(path)) {
        m_identity.volume = info.dwVolumeSerialNumber;
        m_identity.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }

    FileIdentity Identity() const override { return m_identity; }

    // Gathered data that was not written out is dropped: the engine only gets here after a
    // failure.
    ~Win32OpenFile() override {
        if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
    }

private:
    bool IsOpen() const override { return m_hFile != INVALID_HANDLE_VALUE; }

    void ThrowNotOpen() const override {
        throw FileException(kCauseInvalidFile, ERROR_INVALID_HANDLE, m_strPath);
    }

    void WriteAll(const uint8_t* data, size_t size) override {
        DWORD written = 0;
        if (!WriteFile(m_hFile, data, static_cast<DWORD>(size), &written, nullptr))
            ThrowLastError(m_strPath);
        // A disk file takes all or fails; a short write means there was no room.
        if (written != size) throw FileException(kCauseDiskFull, ERROR_DISK_FULL, m_strPath);
    }

    int64_t SystemSeekToEnd() override {
        LARGE_INTEGER distance;
        distance.QuadPart = 0;
        LARGE_INTEGER position;
        if (!SetFilePointerEx(m_hFile, distance, &position, FILE_END)) ThrowLastError(m_strPath);
        return position.QuadPart;
    }

    void SystemTruncate() override {
        LARGE_INTEGER start;
        start.QuadPart = 0;
        if (!SetFilePointerEx(m_hFile, start, nullptr, FILE_BEGIN) || !SetEndOfFile(m_hFile))
            ThrowLastError(m_strPath);
    }

    void SystemFlush() override {
        if (!FlushFileBuffers(m_hFile)) ThrowLastError(m_strPath);
    }

    void SystemSetStatus(const FileStatus& status) override {
        FILETIME creation = {};
        FILETIME access = {};
        FILETIME write = {};
        if (status.m_mtime != 0 &&
            (!ToFileTime(status.m_mtime, write) ||
             (status.m_atime != 0 && !ToFileTime(status.m_atime, access)) ||
             (status.m_ctime != 0 && !ToFileTime(status.m_ctime, creation)))) {
            throw FileException(kCauseGeneric, ERROR_INVALID_PARAMETER, m_strPath);
        }
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(m_hFile, &info)) ThrowLastError(m_strPath);

        // A zero time leaves that time as it is, zero attributes leave the attributes.
        FILE_BASIC_INFO attributes = {};
        attributes.FileAttributes = AttributesToWrite(status.m_attribute);
        FILE_BASIC_INFO times = {};
        if (status.m_ctime != 0) times.CreationTime = FileTimeValue(creation);
        if (status.m_atime != 0) times.LastAccessTime = FileTimeValue(access);
        times.LastWriteTime = FileTimeValue(write);

        // A read-only file takes no new times: clear that first, and otherwise set the
        // attributes last, so that a file made read-only now still gets its times.
        const bool readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        if (readOnly) SetBasicInfo(attributes);
        if (status.m_mtime != 0) SetBasicInfo(times);
        if (!readOnly) SetBasicInfo(attributes);
    }

    void SystemClose() override {
        HANDLE file = m_hFile;
        m_hFile = INVALID_HANDLE_VALUE;
        if (!CloseHandle(file)) ThrowLastError(m_strPath);
    }

    void SetBasicInfo(FILE_BASIC_INFO& info) {
        if (!SetFileInformationByHandle(m_hFile, FileBasicInfo, &info, sizeof(info)))
            ThrowLastError(m_strPath);
    }

    HANDLE m_hFile;
    std::string m_strPath;
    FileIdentity m_identity;
};

}  // namespace

int CauseFromWin32Error(DWORD error) {
    switch (error) {
        case NO_ERROR:
            return kCauseNone;
        case ERROR_FILE_NOT_FOUND:
            return kCauseFileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return kCauseBadPath;
        case ERROR_TOO_MANY_OPEN_FILES:
        case ERROR_SHARING_BUFFER_EXCEEDED:
            return kCauseTooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return kCauseAccessDenied;
        case ERROR_INVALID_HANDLE:
            return kCauseInvalidFile;
        case ERROR_CURRENT_DIRECTORY:
            return kCauseRemoveCurrentDir;
        case ERROR_CANNOT_MAKE:
            return kCauseDirectoryFull;
        case ERROR_SEEK:
        case ERROR_NEGATIVE_SEEK:
            return kCauseBadSeek;
        case ERROR_WRITE_PROTECT:
        case ERROR_BAD_UNIT:
        case ERROR_NOT_READY:
        case ERROR_BAD_COMMAND:
        case ERROR_CRC:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_SEEK_ON_DEVICE:
        case ERROR_NO_MEDIA_IN_DRIVE:
        case ERROR_IO_DEVICE:
        case ERROR_DISK_OPERATION_FAILED:
        case ERROR_DEVICE_NOT_CONNECTED:
#ifdef ERROR_DEVICE_HARDWARE_ERROR
        case ERROR_DEVICE_HARDWARE_ERROR:
#endif
            return kCauseHardIO;
        case ERROR_SHARING_VIOLATION:
            return kCauseSharingViolation;
        case ERROR_LOCK_VIOLATION:
            return kCauseLockViolation;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return kCauseDiskFull;
        case ERROR_HANDLE_EOF:
            return kCauseEndOfFile;
        default:
            return kCauseGeneric;
    }
}

bool Win32FileLayer::GetStatus(const std::string& path, FileStatus& status) {
    // The search would take these as wildcards and describe some other file.
    if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);

    status.m_size =
        static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    status.m_attribute = data.dwFileAttributes;
    status.m_mtime = SecondsSince1970(data.ftLastWriteTime);
    // File systems that keep no creation or access time report zero; the write time stands in.
    const bool noCreation =
        data.ftCreationTime.dwLowDateTime == 0 && data.ftCreationTime.dwHighDateTime == 0;
    const bool noAccess =
        data.ftLastAccessTime.dwLowDateTime == 0 && data.ftLastAccessTime.dwHighDateTime == 0;
    status.m_ctime = noCreation ? status.m_mtime : SecondsSince1970(data.ftCreationTime);
    status.m_atime = noAccess ? status.m_mtime : SecondsSince1970(data.ftLastAccessTime);
    status.m_szFullName = FullPathName(path);
    return true;
}

std::unique_ptr<FileHandle> Win32FileLayer::Open(const std::string& path, OpenMode mode, int* cause,
                                                 long* osError) {
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = 0;
    DWORD disposition = CREATE_ALWAYS;
    switch (mode) {
        case OpenMode::kReadWriteExisting:
            disposition = OPEN_EXISTING;
            break;
        case OpenMode::kCreateReadWrite:
            break;
        case OpenMode::kCreateWrite:
            access = GENERIC_WRITE;
            break;
        case OpenMode::kStatusOnly:
            // Attribute access is not held back by another opener's share mode.
            access = FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
            share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
            disposition = OPEN_EXISTING;
            break;
    }
    auto fail = [cause, osError](DWORD error) -> std::unique_ptr<FileHandle> {
        if (cause != nullptr) *cause = CauseFromWin32Error(error);
        if (osError != nullptr) *osError = static_cast<long>(error);
        return nullptr;
    };
    // A link or junction opens as itself, and is refused below, rather than handing the open
    // to whatever it points to.
    HANDLE file = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail(GetLastError());
    // Devices such as NUL or COM1, pipes, folders and links are no files to wipe. (Devices and
    // pipes have no file information either; the type is asked only of data opens, since Wine
    // takes that question as an access of the file and moves its access time.)
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        (mode != OpenMode::kStatusOnly && GetFileType(file) != FILE_TYPE_DISK)) {
        CloseHandle(file);
        return fail(ERROR_ACCESS_DENIED);
    }
    return std::make_unique<Win32OpenFile>(file, path, info, mode == OpenMode::kStatusOnly);
}

void Win32FileLayer::Rename(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail.
    if (!MoveFileA(from.c_str(), to.c_str())) ThrowLastError(from);
}

void Win32FileLayer::Remove(const std::string& path) {
    if (!DeleteFileA(path.c_str())) ThrowLastError(path);
}

bool Win32FileLayer::FindFirst(const std::string& pattern, FindResult& found) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    found.name = data.cFileName;
    found.attributes = data.dwFileAttributes;
    // The search may describe a device name as a plain file.
    const std::string last = pattern.substr(pattern.find_last_of("\\/:") + 1);
    if (last.find_first_of("*?") == std::string::npos && IsDeviceName(last))
        found.attributes |= kAttrDevice;
    return true;
}

size_t Win32FileLayer::Length(const std::string& text) const {
    if (text.empty()) return 0;
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        return std::numeric_limits<size_t>::max();
    const int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                          static_cast<int>(text.size()), nullptr, 0);
    return units > 0 ? static_cast<size_t>(units) : std::numeric_limits<size_t>::max();
}

PathLimits Win32FileLayer::Limits() const {
    // MAX_PATH counts the terminating zero.
    return {MAX_PATH - 1, 255};
}

std::string Win32FileLayer::TempPath() {
    char buffer[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof(buffer), buffer);
    if (n == 0 || n >= sizeof(buffer)) return std::string();
    std::string path(buffer, n);
    if (path.back() != '\\' && path.back() != '/') path += '\\';
    return path;
}
