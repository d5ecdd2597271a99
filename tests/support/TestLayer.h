#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "wipe/FileLayer.h"

// The platform's real file layer with what the engine's tests need around it:
// - a record of every call;
// - one injected fault: the n-th call from now fails as that kind of call fails (a result for
//   status reads, searches and opens, a FileException for the rest; a failed Close still
//   releases the file);
// - a hook that runs before each call, to swap a file, take a name or move a clock;
// - sizes reported larger than the file is, with the writes to it dropped, so that a 2 GB
//   file costs nothing;
// - natively, Windows' path rules on real POSIX files (PretendWindows): "\" separates, a
//   leading drive is dropped, lengths count UTF-16 units against 259 and 255, and an open file
//   cannot be removed or renamed.
class TestLayer : public FileLayer {
public:
    enum Op { kStat, kOpen, kMove, kDel, kFind, kTemp, kWrite, kSeek, kCut, kFlush, kClose, kSet };
    struct Call {
        Op op;
        std::string path;
        size_t size;  // of a write
    };

    TestLayer();
    ~TestLayer() override;

    // The n-th call from now (1: the next one) fails with `cause`.
    void FailCall(int n, int cause) {
        m_failIn = n;
        m_cause = cause;
        m_injected = false;
    }
    bool Injected() const { return m_injected; }

    std::vector<Call> calls;
    std::function<void(const Call&)> hook;
    // Path as the engine names it -> the size its status reports.
    std::map<std::string, int64_t> inflated;
    // What TempPath answers, when set.
    std::string tempPath;
    bool pretendWindows = false;
    int openHandles = 0;

    // A path as the engine names it, on the real file system.
    std::string Native(const std::string& path) const;
    // A real path as the engine names it.
    std::string Named(const std::string& native) const;

    bool GetStatus(const std::string& path, FileStatus& status) override;
    std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode mode, int* cause = nullptr,
                                     long* osError = nullptr) override;
    void Rename(const std::string& from, const std::string& to) override;
    void Remove(const std::string& path) override;
    bool FindFirst(const std::string& pattern, FindResult& found) override;
    std::string TempPath() override;
    size_t Length(const std::string& text) const override;
    PathLimits Limits() const override;
    PathStyle Style() const override;

    // Records the call and runs the hook; true when this call is the one to fail.
    bool Enter(Op op, const std::string& path, size_t size = 0);
    FileException Fault(const std::string& path) const { return {m_cause, 1000 + m_cause, path}; }
    std::multiset<std::string> openPaths;

private:
    bool Pretending() const;
    void RefuseIfOpen(const std::string& native) const;

    std::unique_ptr<FileLayer> m_real;
    int m_failIn = 0;
    int m_cause = kCauseGeneric;
    bool m_injected = false;
};

// A fresh folder of the test's own, removed with everything in it when it goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // The real path, ending in a separator.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Real-file helpers on UTF-8 paths, outside any file layer.
namespace realfiles {
void Write(const std::string& path, const std::string& content);
std::string Read(const std::string& path);
void MakeFolder(const std::string& path);
// The names in a folder, sorted; folders end in '/', links in '@', other special entries in '|'.
std::vector<std::string> List(const std::string& folder);
}  // namespace realfiles
