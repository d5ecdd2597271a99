#include "support/TestLayer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include "platform/win32/Win32FileLayer.h"
using PlatformLayer = Win32FileLayer;
constexpr bool kOnWindows = true;  // where Windows' own rules need no pretending
#else
#include "platform/posix/PosixFileLayer.h"
using PlatformLayer = PosixFileLayer;
constexpr bool kOnWindows = false;
#endif

namespace fs = std::filesystem;

namespace {

class TestHandle : public FileHandle {
public:
    TestHandle(TestLayer& layer, std::unique_ptr<FileHandle> real, std::string path, bool drop)
        : m_layer(layer), m_real(std::move(real)), m_path(std::move(path)), m_drop(drop) {
        ++m_layer.openHandles;
        m_layer.openPaths.insert(m_layer.Native(m_path));
    }
    ~TestHandle() override { Release(); }

    void Write(const void* data, size_t size) override {
        Check(TestLayer::kWrite, size);
        if (!m_drop) m_real->Write(data, size);
    }
    int64_t SeekToEnd() override { return Check(TestLayer::kSeek).SeekToEnd(); }
    void Truncate() override { Check(TestLayer::kCut).Truncate(); }
    void Flush() override { Check(TestLayer::kFlush).Flush(); }
    void SetStatus(const FileStatus& status) override { Check(TestLayer::kSet).SetStatus(status); }
    void Close() override {
        const bool fail = m_layer.Enter(TestLayer::kClose, m_path);
        Release();  // the real Close lets go of the file whatever it reports
        m_real->Close();
        if (fail) throw m_layer.Fault(m_path);
    }
    FileIdentity Identity() const override { return m_real->Identity(); }

private:
    FileHandle& Check(TestLayer::Op op, size_t size = 0) {
        if (m_layer.Enter(op, m_path, size)) throw m_layer.Fault(m_path);
        return *m_real;
    }
    void Release() {
        if (!m_open) return;
        m_open = false;
        --m_layer.openHandles;
        m_layer.openPaths.erase(m_layer.openPaths.find(m_layer.Native(m_path)));
    }

    TestLayer& m_layer;
    std::unique_ptr<FileHandle> m_real;
    std::string m_path;
    bool m_drop;
    bool m_open = true;
};

}  // namespace

TestLayer::TestLayer() : m_real(std::make_unique<PlatformLayer>()) {}

bool TestLayer::Pretending() const {
    return pretendWindows && !kOnWindows;
}
TestLayer::~TestLayer() = default;

bool TestLayer::Enter(Op op, const std::string& path, size_t size) {
    calls.push_back({op, path, size});
    if (hook) hook(calls.back());
    if (m_failIn > 0 && --m_failIn == 0) {
        m_injected = true;
        return true;
    }
    return false;
}

std::string TestLayer::Native(const std::string& path) const {
    if (!Pretending()) return path;
    std::string out = path.size() >= 2 && path[1] == ':' ? path.substr(2) : path;
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::string TestLayer::Named(const std::string& native) const {
    if (!Pretending()) return native;
    std::string out = "C:" + native;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

void TestLayer::RefuseIfOpen(const std::string& native) const {
    if (Pretending() && openPaths.count(native) != 0)
        throw FileException(kCauseSharingViolation, 32, native);
}

bool TestLayer::GetStatus(const std::string& path, FileStatus& status) {
    if (Enter(kStat, path)) return false;
    if (!m_real->GetStatus(Native(path), status)) return false;
    const auto it = inflated.find(path);
    if (it != inflated.end()) status.m_size = it->second;
    return true;
}

std::unique_ptr<FileHandle> TestLayer::Open(const std::string& path, OpenMode mode, int* cause,
                                            long* osError) {
    if (Enter(kOpen, path)) {
        if (cause != nullptr) *cause = m_cause;
        if (osError != nullptr) *osError = 1000 + m_cause;
        return nullptr;
    }
    std::unique_ptr<FileHandle> real = m_real->Open(Native(path), mode, cause, osError);
    if (!real) return nullptr;
    return std::make_unique<TestHandle>(*this, std::move(real), path, inflated.count(path) != 0);
}

void TestLayer::Rename(const std::string& from, const std::string& to) {
    if (Enter(kMove, from)) throw Fault(from);
    RefuseIfOpen(Native(from));
    m_real->Rename(Native(from), Native(to));
}

void TestLayer::Remove(const std::string& path) {
    if (Enter(kDel, path)) throw Fault(path);
    RefuseIfOpen(Native(path));
    m_real->Remove(Native(path));
}

bool TestLayer::FindFirst(const std::string& pattern, FindResult& found) {
    return !Enter(kFind, pattern) && m_real->FindFirst(Native(pattern), found);
}

std::string TestLayer::TempPath() {
    if (Enter(kTemp, "")) return "";
    return tempPath.empty() ? m_real->TempPath() : tempPath;
}

size_t TestLayer::Length(const std::string& text) const {
    if (!Pretending()) return m_real->Length(text);
    size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) != 0x80 ? 1 : 0;
        units += byte >= 0xF0 ? 1 : 0;  // a surrogate pair
    }
    return units;
}

PathLimits TestLayer::Limits() const {
    return Pretending() ? PathLimits{259, 255} : m_real->Limits();
}

PathStyle TestLayer::Style() const {
    return Pretending() ? PathStyle::kWindows : m_real->Style();
}

ScratchFolder::ScratchFolder() {
    static std::mt19937 random{std::random_device{}()};
    fs::path path;
    do {
        path = fs::temp_directory_path() / ("tw-" + std::to_string(random()));
    } while (!fs::create_directory(path));
    m_path = (path / "").u8string();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(m_path), ignored))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(fs::u8path(m_path), ignored);
}

namespace realfiles {

void Write(const std::string& path, const std::string& content) {
    std::ofstream(fs::u8path(path), std::ios::binary) << content;
}

std::string Read(const std::string& path) {
    std::ostringstream out;
    out << std::ifstream(fs::u8path(path), std::ios::binary).rdbuf();
    return out.str();
}

void MakeFolder(const std::string& path) {
    fs::create_directories(fs::u8path(path));
}

std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder))) {
        const fs::file_type type = entry.symlink_status().type();
        const char* mark = type == fs::file_type::directory ? "/"
                           : type == fs::file_type::symlink ? "@"
                           : type == fs::file_type::regular ? ""
                                                            : "|";
        names.push_back(entry.path().filename().u8string() + mark);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace realfiles
