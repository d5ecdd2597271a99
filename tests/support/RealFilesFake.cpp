// The "real files" of the contract test, kept by the in-memory file layer: the same contract
// test then checks the double that the engine tests rely on.
#include <ctime>
#include <stdexcept>

#include "support/FakeFileLayer.h"
#include "support/RealFiles.h"

namespace realfiles {

namespace {

// One disk for the whole test program; the layer the tests get works on it.
FakeFileLayer& Disk() {
    static FakeFileLayer disk;
    return disk;
}

int g_folders = 0;

// A layer object of the tests' own that forwards to the one disk.
class DiskLayer : public FileLayer {
public:
    bool GetStatus(const std::string& p, FileStatus& s) override { return Disk().GetStatus(p, s); }
    std::unique_ptr<FileHandle> Open(const std::string& p, OpenMode m, int* c, long* e) override {
        return Disk().Open(p, m, c, e);
    }
    void Rename(const std::string& f, const std::string& t) override { Disk().Rename(f, t); }
    void Remove(const std::string& p) override { Disk().Remove(p); }
    bool FindFirst(const std::string& p, FindResult& r) override { return Disk().FindFirst(p, r); }
    std::string TempPath() override { return Disk().TempPath(); }
    size_t Length(const std::string& t) const override { return Disk().Length(t); }
    PathLimits Limits() const override { return Disk().Limits(); }
    PathStyle Style() const override { return Disk().Style(); }
};

}  // namespace

const PlatformTraits& Traits() {
    static const PlatformTraits traits = {
        '\\', kCauseBadPath, false, true, true, true, true, false, kAttrArchive, true,
    };
    return traits;
}

std::unique_ptr<FileLayer> MakeLayer() {
    Disk().AddFolder("C:\\Temp");
    return std::make_unique<DiskLayer>();
}

std::string MakeFolder() {
    const std::string folder = "C:\\scratch" + std::to_string(++g_folders) + "\\";
    Disk().AddFolder(folder);
    return folder;
}

void CreateFolder(const std::string& path) {
    Disk().AddFolder(path);
}

void RemoveTree(const std::string& folder) {
    Disk().RemoveTree(folder);
}

bool Exists(const std::string& path) {
    return Disk().Exists(path);
}

// As a program writes it: a file of now, keeping the attributes of one it replaces.
void Write(const std::string& path, const std::string& content) {
    const uint32_t attributes = Disk().Exists(path) ? Disk().Attributes(path) : kAttrArchive;
    Disk().AddFile(path, content, attributes);
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    Disk().SetTimes(path, now, now, now);
}

std::string Read(const std::string& path) {
    return Disk().Content(path);
}

void SetSize(const std::string& path, int64_t size) {
    Disk().AddSizedFile(path, size);
}

void SetAccessTime(const std::string& path, int64_t seconds) {
    const FileStatus s = Disk().StatusOf(path);
    Disk().SetTimes(path, s.m_ctime, s.m_mtime, seconds);
}

std::vector<std::string> List(const std::string& folder) {
    return Disk().List(folder);
}

void SetReadOnly(const std::string& path, bool readOnly) {
    const uint32_t a = Disk().Attributes(path) & ~static_cast<uint32_t>(kAttrNormal);
    Disk().SetAttributes(path, readOnly ? (a | kAttrReadOnly) : (a & ~kAttrReadOnly));
}

bool IsReadOnly(const std::string& path) {
    return (Disk().Attributes(path) & kAttrReadOnly) != 0;
}

std::string CurrentFolder() {
    return std::string();
}

bool SetCurrentFolder(const std::string&) {
    return false;
}

namespace {
class Locked : public Holder {
public:
    explicit Locked(std::string path) : m_path(std::move(path)) { Disk().Lock(m_path); }
    ~Locked() override { Disk().Unlock(m_path); }

private:
    std::string m_path;
};
}  // namespace

std::unique_ptr<Holder> HoldOpen(const std::string& path) {
    return std::make_unique<Locked>(path);
}

bool MakeLink(const std::string&, const std::string&) {
    return false;
}

bool MakePipe(const std::string&) {
    return false;
}

std::unique_ptr<Holder> MountSmallDisk(const std::string&, size_t, std::string& why) {
    why = "no file systems to mount in memory";
    return nullptr;
}

}  // namespace realfiles
