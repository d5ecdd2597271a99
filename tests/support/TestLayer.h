#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "wipe/FileLayer.h"

#ifdef _WIN32
#include "platform/win32/Win32FileLayer.h"
using PlatformLayer = Win32FileLayer;
constexpr bool kOnWindows = true;  // where Windows' own rules need no pretending
#else
#include "platform/posix/PosixFileLayer.h"
using PlatformLayer = PosixFileLayer;
constexpr bool kOnWindows = false;
#endif

// The platform's real file layer with what the engine's tests need around it:
// - a record of every call, folder steps named by folder and name together, as paths;
// - one injected fault: the n-th call from now fails as that kind of call fails (a result for
//   status reads, searches and opens, a FileException for the rest; a failed Close still
//   releases the file);
// - a hook that runs before each call, to swap a file, take a name or move a clock;
// - sizes reported larger than the file is, with the writes to it dropped, so that a 2 GB
//   file costs nothing;
// - natively, Windows' path rules on real POSIX files (pretendWindows): "\" separates, a
//   leading drive is dropped, lengths count UTF-16 units against 259 and 255, and an open file
//   cannot be removed or renamed.
class TestLayer : public FileLayer {
public:
    // (A folder's open is recorded as an open of its path; the temporary folder's look-up as
    // a status read of no path.)
    enum Op { kStat, kOpen, kMove, kDel, kFind, kWrite, kSeek, kCut, kFlush, kClose, kSet, kSize };
    struct Call {
        Op op;
        std::string path;
        size_t size;  // of a write
    };

    std::vector<Call> calls;
    std::function<void(const Call&)> hook;
    // Path as the engine names it -> the size its status reports, until it is cut.
    std::map<std::string, int64_t> inflated;
    // What TempPath answers, when set.
    std::string tempPath;
    bool pretendWindows = false;
    std::multiset<std::string> openPaths;  // real paths of the open handles

    // The n-th call from now (1: the next one) fails with `cause`.
    void FailCall(int n, int cause) {
        m_failIn = n;
        m_cause = cause;
        m_injected = false;
    }
    bool Injected() const { return m_injected; }

    // Records the call and runs the hook; true when this call is the one to fail.
    bool Enter(Op op, const std::string& path, size_t size = 0) {
        calls.push_back({op, path, size});
        if (hook) hook(calls.back());
        if (m_failIn <= 0 || --m_failIn != 0) return false;
        m_injected = true;
        return true;
    }
    FileException Fault(const std::string& path) const { return {m_cause, 1000 + m_cause, path}; }
    // What a failed open reports for the injected fault.
    void Refuse(int* cause, long* osError) const {
        if (cause != nullptr) *cause = m_cause;
        if (osError != nullptr) *osError = 1000 + m_cause;
    }

    bool Pretending() const { return pretendWindows && !kOnWindows; }
    // A path as the engine names it, on the real file system.
    std::string Native(const std::string& path) const {
        if (!Pretending()) return path;
        std::string out = path.size() >= 2 && path[1] == ':' ? path.substr(2) : path;
        std::replace(out.begin(), out.end(), '\\', '/');
        return out;
    }

    std::unique_ptr<FolderHandle> OpenFolder(const std::string& folder, int* cause = nullptr,
                                             long* osError = nullptr) override;
    std::string TempPath() override {
        if (Enter(kStat, "")) return "";
        return tempPath.empty() ? m_real.TempPath() : tempPath;
    }
    size_t Length(const std::string& text) const override {
        if (!Pretending()) return m_real.Length(text);
        size_t units = 0;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            units += ((byte & 0xC0) != 0x80) + (byte >= 0xF0);  // a pair for 4 bytes
        }
        return units;
    }
    PathLimits Limits() const override {
        return Pretending() ? PathLimits{259, 255} : m_real.Limits();
    }
    PathStyle Style() const override { return Pretending() ? PathStyle::kWindows : m_real.Style(); }

private:
    PlatformLayer m_real;
    int m_failIn = 0;
    int m_cause = kCauseGeneric;
    bool m_injected = false;
};

// A handle of the test layer: each call recorded, and the one to fail failing.
class TestHandle : public FileHandle {
public:
    TestHandle(TestLayer& layer, std::unique_ptr<FileHandle> real, std::string path)
        : m_layer(layer), m_real(std::move(real)), m_path(std::move(path)) {
        m_layer.openPaths.insert(m_layer.Native(m_path));
    }
    ~TestHandle() override { Release(); }

    uint8_t* WriteRoom(size_t size) override { return m_real->WriteRoom(size); }
    void Write(const void* data, size_t size) override {
        Check(TestLayer::kWrite, size);
        if (m_layer.inflated.count(m_path) == 0) m_real->Write(data, size);
    }
    int64_t SeekToEnd() override { return Check(TestLayer::kSeek).SeekToEnd(); }
    void Truncate() override {
        Check(TestLayer::kCut).Truncate();
        m_layer.inflated.erase(m_path);
    }
    void Flush() override { Check(TestLayer::kFlush).Flush(); }
    int64_t Size() override {
        const int64_t real = Check(TestLayer::kSize).Size();
        const auto it = m_layer.inflated.find(m_path);
        return it != m_layer.inflated.end() ? it->second : real;
    }
    bool SetStatus(const FileStatus& status) override {
        return Check(TestLayer::kSet).SetStatus(status);
    }
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
        m_layer.openPaths.erase(m_layer.openPaths.find(m_layer.Native(m_path)));
    }

    TestLayer& m_layer;
    std::unique_ptr<FileHandle> m_real;
    std::string m_path;
    bool m_open = true;
};

// A folder of the test layer: its steps recorded under the folder's path and the name.
class TestFolder : public FolderHandle {
public:
    TestFolder(TestLayer& layer, std::unique_ptr<FolderHandle> real, std::string path)
        : m_layer(layer), m_real(std::move(real)), m_path(std::move(path)) {}

    bool GetStatus(const std::string& name, FileStatus& status) override {
        const std::string path = m_path + name;
        if (m_layer.Enter(TestLayer::kStat, path) || !m_real->GetStatus(name, status)) return false;
        const auto it = m_layer.inflated.find(path);
        if (it != m_layer.inflated.end()) status.m_size = it->second;
        return true;
    }
    std::unique_ptr<FileHandle> Open(const std::string& name, OpenMode mode, int* cause = nullptr,
                                     long* osError = nullptr) override {
        const std::string path = m_path + name;
        if (m_layer.Enter(TestLayer::kOpen, path)) {
            m_layer.Refuse(cause, osError);
            return nullptr;
        }
        std::unique_ptr<FileHandle> real = m_real->Open(name, mode, cause, osError);
        if (!real) return nullptr;
        return std::make_unique<TestHandle>(m_layer, std::move(real), path);
    }
    void Rename(const std::string& from, const std::string& to,
                const FileIdentity& expected) override {
        Change(TestLayer::kMove, from).Rename(from, to, expected);
    }
    void Remove(const std::string& name, const FileIdentity& expected) override {
        Change(TestLayer::kDel, name).Remove(name, expected);
    }
    bool FindFirst(const std::string& pattern, FindResult& found) override {
        return !m_layer.Enter(TestLayer::kFind, m_path + pattern) &&
               m_real->FindFirst(pattern, found);
    }

private:
    FolderHandle& Change(TestLayer::Op op, const std::string& name) {
        const std::string path = m_path + name;
        if (m_layer.Enter(op, path)) throw m_layer.Fault(path);
        if (m_layer.Pretending() && m_layer.openPaths.count(m_layer.Native(path)) != 0)
            throw FileException(kCauseSharingViolation, 32, path);  // as Windows refuses
        return *m_real;
    }

    TestLayer& m_layer;
    std::unique_ptr<FolderHandle> m_real;
    std::string m_path;
};

inline std::unique_ptr<FolderHandle> TestLayer::OpenFolder(const std::string& folder, int* cause,
                                                           long* osError) {
    if (Enter(kOpen, folder)) {
        Refuse(cause, osError);
        return nullptr;
    }
    std::unique_ptr<FolderHandle> real = m_real.OpenFolder(Native(folder), cause, osError);
    if (!real) return nullptr;
    return std::make_unique<TestFolder>(*this, std::move(real), folder);
}
