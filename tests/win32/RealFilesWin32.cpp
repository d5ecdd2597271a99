#include "platform/win32/Win32FileLayer.h"
#include "support/RealFiles.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace realfiles {

namespace {
// Wine stores no creation time: it reads back as the write time, as on Linux.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
}  // namespace

const PlatformTraits& Traits() {
    static const PlatformTraits traits = {
        '\\',
        kCauseBadPath,  // ERROR_PATH_NOT_FOUND
        false,         !UnderWine(), true, true,
        true,  // share mode 0 covers deletion too
        true,
        kAttrArchive,  // set by the file system on every new file
        true,
    };
    return traits;
}

std::unique_ptr<FileLayer> MakeLayer() {
    return std::make_unique<Win32FileLayer>();
}

std::string MakeFolder() {
    char temp[MAX_PATH];
    if (GetTempPathA(MAX_PATH, temp) == 0) throw std::runtime_error("no temporary folder");
    for (unsigned n = GetTickCount();; ++n) {
        const std::string folder = std::string(temp) + "tw-real-" +
                                   std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n);
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder + "\\";
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot make folder");
    }
}

void CreateFolder(const std::string& path) {
    if (!CreateDirectoryA(path.c_str(), nullptr)) throw std::runtime_error("cannot make " + path);
}

void RemoveTree(const std::string& folder) {
    for (const std::string& name : List(folder)) {
        const std::string path = folder + name;
        const DWORD attrs = GetFileAttributesA(path.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
            RemoveTree(path + "\\");
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
    RemoveDirectoryA(folder.c_str());
}

void Write(const std::string& path, const std::string& content) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path);
    DWORD written = 0;
    WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(h);
}

std::string Read(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string out;
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0)
        out.append(buf, n);
    CloseHandle(h);
    return out;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetSize(const std::string& path, int64_t size) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool done = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    if (!done) throw std::runtime_error("cannot resize " + path);
}

void SetAccessTime(const std::string& path, int64_t seconds) {
    HANDLE h =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    const ULONGLONG ticks = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL;
    const FILETIME access = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const bool done = SetFileTime(h, nullptr, &access, nullptr);
    CloseHandle(h);
    if (!done) throw std::runtime_error("cannot set the access time of " + path);
}

std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

void SetReadOnly(const std::string& path, bool readOnly) {
    SetFileAttributesA(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

bool IsReadOnly(const std::string& path) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY) != 0;
}

std::string CurrentFolder() {
    char folder[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(sizeof(folder), folder);
    return n == 0 || n >= sizeof(folder) ? std::string() : std::string(folder, n);
}

bool SetCurrentFolder(const std::string& folder) {
    return SetCurrentDirectoryA(folder.c_str()) != 0;
}

namespace {
class HandleHolder : public Holder {
public:
    explicit HandleHolder(const std::string& path)
        : m_handle(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {
        if (m_handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot hold " + path);
    }
    ~HandleHolder() override { CloseHandle(m_handle); }

private:
    HANDLE m_handle;
};
}  // namespace

std::unique_ptr<Holder> HoldOpen(const std::string& path) {
    return std::make_unique<HandleHolder>(path);
}

// Wine shows a Unix link as the file it points to, and makes neither links nor pipes that a
// Windows program can see as such.
bool MakeLink(const std::string&, const std::string&) {
    return false;
}

bool MakePipe(const std::string&) {
    return false;
}

std::unique_ptr<Holder> MountSmallDisk(const std::string&, size_t, std::string& why) {
    why = "no small file system to mount from a Windows program";
    return nullptr;
}

}  // namespace realfiles
