#include "platform/win32/Win32FileLayer.h"
#include "support/RealFiles.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace realfiles {

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

}  // namespace realfiles
