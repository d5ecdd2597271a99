#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wipe/FileLayer.h"

// The platform pieces that the real-file tests need, implemented once for POSIX and once for
// Windows (tests/native/RealFilesPosix.cpp, tests/win32/RealFilesWin32.cpp).
namespace realfiles {

// Where the platforms legitimately differ, the shared tests ask here rather than leave the
// check out.
struct PlatformTraits {
    char separator;
    int missingFolderCause;        // of an open in a folder that does not exist
    bool caseSensitiveNames;       // "ABC.TMP" does not find "abc.tmp"
    bool keepsCreationTime;        // otherwise it reads back as the write time
    bool keepsHiddenAndSystem;     // otherwise setting them does nothing
    bool readOnlyRefusesRemoval;   // otherwise a read-only file goes like any other
    bool openFileRefusesRemoval;   // removing a file that the layer holds open
    bool searchReportsDotEntries;  // a search for every name meets the folder's own "." first
    uint32_t plainFileAttributes;  // what a new ordinary file reports
    bool limitsCountUtf16;         // path limits count UTF-16 code units (else bytes)
};
const PlatformTraits& Traits();

// The platform's real file layer.
std::unique_ptr<FileLayer> MakeLayer();
// A new empty folder of the test's own; the path ends in a separator.
std::string MakeFolder();
void CreateFolder(const std::string& path);
void RemoveTree(const std::string& folder);
bool Exists(const std::string& path);
void Write(const std::string& path, const std::string& content);
std::string Read(const std::string& path);
// Makes the file that long; the new part is a hole where the file system has them.
void SetSize(const std::string& path, int64_t size);
// Sets the access time by other means than the layer, leaving the write time as it is.
void SetAccessTime(const std::string& path, int64_t seconds);
// The names in a folder, sorted.
std::vector<std::string> List(const std::string& folder);
void SetReadOnly(const std::string& path, bool readOnly);
bool IsReadOnly(const std::string& path);
// The process's current folder, without a trailing separator.
std::string CurrentFolder();
bool SetCurrentFolder(const std::string& folder);

// A fresh folder of the test's own, removed with everything in it at the latest when it goes.
class ScratchFolder {
public:
    ScratchFolder() : m_folder(MakeFolder()) {}
    ~ScratchFolder() { RemoveTree(m_folder); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Ends in a separator.
    const std::string& Folder() const { return m_folder; }
    // An entry inside; '/' in `name` stands for the platform's separator.
    std::string Path(std::string name) const {
        std::replace(name.begin(), name.end(), '/', Traits().separator);
        return m_folder + name;
    }
    // Whether the folder is gone afterwards.
    bool Remove() {
        RemoveTree(m_folder);
        return !Exists(m_folder);
    }

private:
    std::string m_folder;
};

// Another program holding the file open without sharing it, until destroyed.
class Holder {
public:
    virtual ~Holder() = default;
};
std::unique_ptr<Holder> HoldOpen(const std::string& path);

// Entries that only some platforms let a test make: false (or nullptr, with the reason in
// `why`) where this one does not, and the test skips.
bool MakeLink(const std::string& target, const std::string& link);
bool MakePipe(const std::string& path);
// A file system of `bytes` mounted on the empty folder `folder`, until destroyed.
std::unique_ptr<Holder> MountSmallDisk(const std::string& folder, size_t bytes, std::string& why);

// The cause of the FileException that `action` throws; kCauseNone when it throws none.
inline int CauseOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const FileException& e) {
        return e.m_cause;
    }
    return kCauseNone;
}

}  // namespace realfiles
