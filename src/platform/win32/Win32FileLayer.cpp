#include "platform/win32/Win32FileLayer.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstring>
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

// A path's UTF-16 form; empty when it has none.
std::wstring Widen(const std::string& text) {
    if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int units =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, &wide[0], units);
    return wide;
}

// The name a rename through a handle takes: the full NT path ("\??\C:\dir\name",
// "\??\UNC\server\share\name"), which both routes pass on as it is. Empty when there is none.
std::wstring NtPath(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty()) return wide;
    std::vector<wchar_t> buffer(MAX_PATH);
    std::wstring full;
    for (;;) {
        const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()),
                                         buffer.data(), nullptr);
        if (n == 0) return std::wstring();
        if (n < buffer.size()) {
            full.assign(buffer.data(), n);
            break;
        }
        buffer.resize(n);
    }
    if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0)
        return L"\\??\\" + full.substr(4);
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

// One name in a folder: no separator, so that a step cannot reach into another folder.
bool IsSingleName(const std::string& name) {
    return !name.empty() && name.find_first_of("\\/") == std::string::npos;
}

// A name that a step may act on: a single name, no wildcard, no device.
bool IsFileName(const std::string& name) {
    return IsSingleName(name) && name.find_first_of("*?") == std::string::npos &&
           !IsDeviceName(name);
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    FileIdentity identity;
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return identity;
}

class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle) : m_handle(handle) {}
    ~ScopedHandle() {
        if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Release() {
        HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle;
    }
    // Closes now, reporting failure.
    bool Close() {
        HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle;
};

// --- Setting information through a handle -------------------------------------------------

// The call's status block; its first member is a status or a pointer.
struct NtIoStatusBlock {
    ULONG_PTR status;
    ULONG_PTR information;
};
using SetFileInformationByHandleCall = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                                     DWORD);
using NtSetInformationFileCall = LONG(NTAPI*)(HANDLE, NtIoStatusBlock*, PVOID, ULONG, ULONG);
using RtlNtStatusToDosErrorCall = ULONG(NTAPI*)(LONG);

// kernel32's own structures have the layouts of ntdll's; only the class numbers differ.
const ULONG kNtFileBasicInformation = 4;
const ULONG kNtFileRenameInformation = 10;
const ULONG kNtFileDispositionInformation = 13;

template <typename Call>
Call Lookup(const wchar_t* module, const char* name) {
    const HMODULE handle = GetModuleHandleW(module);
    if (handle == nullptr) return nullptr;
    // Through the generic function type, which any other converts to without a warning.
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name)));
}

struct InfoCalls {
    SetFileInformationByHandleCall kernel32 =
        Lookup<SetFileInformationByHandleCall>(L"kernel32.dll", "SetFileInformationByHandle");
    NtSetInformationFileCall ntdll =
        Lookup<NtSetInformationFileCall>(L"ntdll.dll", "NtSetInformationFile");
    RtlNtStatusToDosErrorCall toDosError =
        Lookup<RtlNtStatusToDosErrorCall>(L"ntdll.dll", "RtlNtStatusToDosError");
};

const InfoCalls& Calls() {
    static const InfoCalls calls;
    return calls;
}

// Sets one class of information by the route; NO_ERROR or the Win32 error.
DWORD SetInformation(HANDLE file, InfoRoute route, FILE_INFO_BY_HANDLE_CLASS kind, void* info,
                     DWORD size) {
    const InfoCalls& calls = Calls();
    if (route == InfoRoute::kKernel32) {
        if (calls.kernel32 == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
        return calls.kernel32(file, kind, info, size) ? NO_ERROR : GetLastError();
    }
    if (calls.ntdll == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
    ULONG ntKind = kNtFileBasicInformation;
    if (kind == FileRenameInfo) ntKind = kNtFileRenameInformation;
    if (kind == FileDispositionInfo) ntKind = kNtFileDispositionInformation;
    NtIoStatusBlock io = {};
    const LONG status = calls.ntdll(file, &io, info, size, ntKind);
    if (status >= 0) return NO_ERROR;
    return calls.toDosError != nullptr ? calls.toDosError(status) : ERROR_GEN_FAILURE;
}

// Opens `path` for a change by handle, once it holds `expected` and is a plain file.
HANDLE OpenChecked(const std::string& path, const FileIdentity& expected) {
    // Other openers may share; one that does not share deletion keeps this out, as it keeps
    // a rename or removal by name out.
    HANDLE file =
        CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) ThrowLastError(path);
    ScopedHandle handle(file);
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) ThrowLastError(path);
    if (IdentityOf(info) != expected) throw FileReplaced(path);
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        ThrowError(ERROR_ACCESS_DENIED, path);
    return handle.Release();
}

// Starts the write-back of a long pass while the pass goes on. Windows has no call that starts
// it without waiting for it, so a thread of its own flushes the file each time a few more
// megabytes are written, and the flush after the pass has little left to wait for. Only
// advice: a failure there is the pass's own flush's to report, and the data is safe only once
// that flush returns.
class WriteBehind {
public:
    // Started at the first step of a long pass, so that a small file never pays for a thread.
    void Written(HANDLE file, size_t size) {
        m_pending += size;
        if (m_pending < kStep || m_done) return;
        m_pending = 0;
        if (m_thread == nullptr && !Start(file)) return;
        // A flush still running takes the new data as well; none is queued behind it.
        if (WaitForSingleObject(m_idle, 0) != WAIT_OBJECT_0) return;
        ResetEvent(m_idle);
        SetEvent(m_wake);
    }

    // Waits for a flush under way, so that the file's own calls find none running.
    void Settle() {
        if (m_thread != nullptr) WaitForSingleObject(m_idle, INFINITE);
        m_pending = 0;
    }

    // Ends the thread for good, before the file is closed.
    void Stop() {
        m_done = true;
        if (m_thread == nullptr) return;
        Settle();
        m_stop = true;
        SetEvent(m_wake);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        CloseHandle(m_wake);
        CloseHandle(m_idle);
        m_thread = nullptr;
    }

    ~WriteBehind() { Stop(); }

private:
    // Without a thread the pass goes on as it would have: only its flush waits longer.
    bool Start(HANDLE file) {
        m_done = true;
        m_file = file;
        m_wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        m_idle = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        if (m_wake != nullptr && m_idle != nullptr)
            m_thread = CreateThread(nullptr, 64 << 10, Run, this, 0, nullptr);
        if (m_thread == nullptr) {
            if (m_wake != nullptr) CloseHandle(m_wake);
            if (m_idle != nullptr) CloseHandle(m_idle);
            return false;
        }
        m_done = false;
        return true;
    }

    static DWORD WINAPI Run(void* self) {
        auto* behind = static_cast<WriteBehind*>(self);
        for (;;) {
            WaitForSingleObject(behind->m_wake, INFINITE);
            if (behind->m_stop) return 0;
            FlushFileBuffers(behind->m_file);
            SetEvent(behind->m_idle);
        }
    }

    static constexpr size_t kStep = 16 << 20;
    size_t m_pending = 0;
    bool m_done = false;  // stopped, or could not start
    std::atomic<bool> m_stop{false};
    HANDLE m_file = nullptr;
    HANDLE m_wake = nullptr;
    HANDLE m_idle = nullptr;
    HANDLE m_thread = nullptr;
};

class Win32OpenFile : public GatheringFileHandle {
public:
    Win32OpenFile(HANDLE file, std::string path, const BY_HANDLE_FILE_INFORMATION& info,
                  bool statusOnly)
        : GatheringFileHandle(statusOnly),
          m_hFile(file),
          m_strPath(std::move(path)),
          m_identity(IdentityOf(info)) {}

    FileIdentity Identity() const override { return m_identity; }

    // Gathered data that was not written out is dropped: the engine only gets here after a
    // failure.
    ~Win32OpenFile() override {
        m_behind.Stop();
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
        m_behind.Written(m_hFile, size);
    }

    int64_t SystemSeekToEnd() override {
        LARGE_INTEGER distance;
        distance.QuadPart = 0;
        LARGE_INTEGER position;
        if (!SetFilePointerEx(m_hFile, distance, &position, FILE_END)) ThrowLastError(m_strPath);
        return position.QuadPart;
    }

    void SystemTruncate() override {
        m_behind.Settle();
        LARGE_INTEGER start;
        start.QuadPart = 0;
        if (!SetFilePointerEx(m_hFile, start, nullptr, FILE_BEGIN) || !SetEndOfFile(m_hFile))
            ThrowLastError(m_strPath);
    }

    void SystemFlush() override {
        m_behind.Settle();
        if (!FlushFileBuffers(m_hFile)) ThrowLastError(m_strPath);
    }

    int64_t SystemSize() override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(m_hFile, &size)) ThrowLastError(m_strPath);
        return size.QuadPart;
    }

    bool SystemSetStatus(const FileStatus& status) override {
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

        // Only what differs is written. In the times' record a zero time leaves that time as
        // it is, and zero attributes leave the attributes.
        FILE_BASIC_INFO attributes = {};
        attributes.FileAttributes = AttributesToWrite(status.m_attribute);
        const bool newAttributes =
            attributes.FileAttributes != AttributesToWrite(info.dwFileAttributes);
        FILE_BASIC_INFO times = {};
        bool newTimes = false;
        // A status holds whole seconds: a time already within the second stays as it is, to
        // its last tick.
        auto take = [&newTimes](int64_t seconds, const FILETIME& wanted, const FILETIME& now,
                                LARGE_INTEGER& field) {
            if (seconds == 0 || SecondsSince1970(now) == seconds) return;
            field = FileTimeValue(wanted);
            newTimes = true;
        };
        if (status.m_mtime != 0) {
            take(status.m_ctime, creation, info.ftCreationTime, times.CreationTime);
            take(status.m_atime, access, info.ftLastAccessTime, times.LastAccessTime);
            take(status.m_mtime, write, info.ftLastWriteTime, times.LastWriteTime);
        }

        // A read-only file takes no new times: clear that first, and otherwise set the
        // attributes last, so that a file made read-only now still gets its times.
        const bool readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        if (readOnly && newAttributes) SetBasicInfo(attributes);
        if (newTimes) SetBasicInfo(times);
        if (!readOnly && newAttributes) SetBasicInfo(attributes);
        return true;
    }

    void SystemClose() override {
        m_behind.Stop();
        HANDLE file = m_hFile;
        m_hFile = INVALID_HANDLE_VALUE;
        if (!CloseHandle(file)) ThrowLastError(m_strPath);
    }

    void SetBasicInfo(FILE_BASIC_INFO& info) {
        const DWORD error =
            SetInformation(m_hFile, SystemInfoRoute(), FileBasicInfo, &info, sizeof(info));
        if (error != NO_ERROR) ThrowError(error, m_strPath);
    }

    HANDLE m_hFile;
    std::string m_strPath;
    FileIdentity m_identity;
    WriteBehind m_behind;
};

// A folder is its prefix, exactly as the engine split it; each step appends a single name.
class Win32Folder : public FolderHandle {
public:
    explicit Win32Folder(std::string prefix) : m_prefix(std::move(prefix)) {}

    bool GetStatus(const std::string& name, FileStatus& status) override;
    std::unique_ptr<FileHandle> Open(const std::string& name, OpenMode mode, int* cause,
                                     long* osError) override;
    void Rename(const std::string& from, const std::string& to,
                const FileIdentity& expected) override;
    void Remove(const std::string& name, const FileIdentity& expected) override;
    bool FindFirst(const std::string& pattern, FindResult& found) override;

private:
    std::string m_prefix;
};

bool Win32Folder::GetStatus(const std::string& name, FileStatus& status) {
    if (!IsFileName(name)) return false;
    const std::string path = m_prefix + name;
    // Attribute access alone is not held back by another opener's share mode; a folder or a
    // link opens as itself and describes itself.
    ScopedHandle file(
        CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.Valid() || !GetFileInformationByHandle(file.Get(), &info)) return false;

    status.m_size =
        static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    status.m_attribute = info.dwFileAttributes;
    status.m_mtime = SecondsSince1970(info.ftLastWriteTime);
    // File systems that keep no creation or access time report zero; the write time stands in.
    const bool noCreation =
        info.ftCreationTime.dwLowDateTime == 0 && info.ftCreationTime.dwHighDateTime == 0;
    const bool noAccess =
        info.ftLastAccessTime.dwLowDateTime == 0 && info.ftLastAccessTime.dwHighDateTime == 0;
    status.m_ctime = noCreation ? status.m_mtime : SecondsSince1970(info.ftCreationTime);
    status.m_atime = noAccess ? status.m_mtime : SecondsSince1970(info.ftLastAccessTime);
    status.m_szFullName = FullPathName(path);
    status.m_identity = IdentityOf(info);
    return true;
}

std::unique_ptr<FileHandle> Win32Folder::Open(const std::string& name, OpenMode mode, int* cause,
                                              long* osError) {
    auto fail = [cause, osError](int why, DWORD error) -> std::unique_ptr<FileHandle> {
        if (cause != nullptr) *cause = why;
        if (osError != nullptr) *osError = static_cast<long>(error);
        return nullptr;
    };
    // A device name means the device in every folder: it is never opened.
    if (!IsSingleName(name)) return fail(kCauseBadPath, NO_ERROR);
    if (IsDeviceName(name)) return fail(kCauseAccessDenied, NO_ERROR);
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = 0;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
        case OpenMode::kReadWriteExisting:
            break;
        case OpenMode::kCreateNew:
            // Fails on any existing entry, a link too, rather than open or empty it.
            disposition = CREATE_NEW;
            break;
        case OpenMode::kStatusOnly:
            // Attribute access is not held back by another opener's share mode.
            access = FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
            share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
            break;
    }
    const std::string path = m_prefix + name;
    // A link or junction opens as itself, and is refused below, rather than handing the open
    // to whatever it points to.
    HANDLE file = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return fail(CauseFromWin32Error(error), error);
    }
    // Pipes, folders and links are no files to wipe. (Pipes have no file information either;
    // the type is asked only of data opens, since Wine takes that question as an access of
    // the file and moves its access time.)
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        (mode != OpenMode::kStatusOnly && GetFileType(file) != FILE_TYPE_DISK)) {
        CloseHandle(file);
        return fail(kCauseAccessDenied, ERROR_ACCESS_DENIED);
    }
    return std::make_unique<Win32OpenFile>(file, path, info, mode == OpenMode::kStatusOnly);
}

void Win32Folder::Rename(const std::string& from, const std::string& to,
                         const FileIdentity& expected) {
    if (!IsFileName(from)) ThrowError(ERROR_INVALID_NAME, m_prefix + from);
    if (!IsFileName(to)) ThrowError(ERROR_INVALID_NAME, m_prefix + to);
    RenameChecked(m_prefix + from, m_prefix + to, expected, SystemInfoRoute());
}

void Win32Folder::Remove(const std::string& name, const FileIdentity& expected) {
    if (!IsFileName(name)) ThrowError(ERROR_INVALID_NAME, m_prefix + name);
    RemoveChecked(m_prefix + name, expected, SystemInfoRoute());
}

bool Win32Folder::FindFirst(const std::string& pattern, FindResult& found) {
    if (!IsSingleName(pattern)) return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((m_prefix + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    found.name = data.cFileName;
    found.attributes = data.dwFileAttributes;
    // The search may describe a device name as a plain file.
    if (pattern.find_first_of("*?") == std::string::npos && IsDeviceName(pattern))
        found.attributes |= kAttrDevice;
    return true;
}

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

InfoRoute SystemInfoRoute() {
    return Calls().kernel32 != nullptr ? InfoRoute::kKernel32 : InfoRoute::kNtdll;
}

void RenameChecked(const std::string& path, const std::string& newPath,
                   const FileIdentity& expected, InfoRoute route) {
    const std::wstring name = NtPath(newPath);
    if (name.empty()) ThrowError(ERROR_INVALID_NAME, newPath);
    const size_t bytes = name.size() * sizeof(wchar_t);
    // UNICODE_STRING counts bytes in 16 bits.
    if (bytes > 0xFFFC) ThrowError(ERROR_FILENAME_EXCED_RANGE, newPath);
    // The record ends in the name; room for a terminating zero too, which Wine reads up to.
    std::vector<uint8_t> buffer(offsetof(FILE_RENAME_INFO, FileName) + bytes + sizeof(wchar_t));
    FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(info->FileName, name.c_str(), bytes + sizeof(wchar_t));

    ScopedHandle file(OpenChecked(path, expected));
    const DWORD error =
        SetInformation(file.Get(), route, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
    if (error != NO_ERROR) ThrowError(error, path);
}

void RemoveChecked(const std::string& path, const FileIdentity& expected, InfoRoute route) {
    ScopedHandle file(OpenChecked(path, expected));
    FILE_DISPOSITION_INFO info = {};
    info.DeleteFile = TRUE;
    // A read-only file refuses this with access denied.
    const DWORD error = SetInformation(file.Get(), route, FileDispositionInfo, &info, sizeof(info));
    if (error != NO_ERROR) ThrowError(error, path);
    // The entry goes with the last handle.
    if (!file.Close()) ThrowLastError(path);
}

std::unique_ptr<FolderHandle> Win32FileLayer::OpenFolder(const std::string& folder, int* cause,
                                                         long* osError) {
    // The current folder, or the drive's: its attributes are asked, no volume is opened.
    std::string probe = folder;
    if (probe.empty() || probe.back() == ':') probe += '.';
    const DWORD attributes = GetFileAttributesA(probe.c_str());
    DWORD error = NO_ERROR;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = GetLastError();
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = ERROR_DIRECTORY;
    }
    if (error != NO_ERROR) {
        if (cause != nullptr)
            *cause = error == ERROR_DIRECTORY ? kCauseBadPath : CauseFromWin32Error(error);
        if (osError != nullptr) *osError = static_cast<long>(error);
        return nullptr;
    }
    return std::make_unique<Win32Folder>(folder);
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
