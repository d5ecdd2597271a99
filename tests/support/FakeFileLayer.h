#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "wipe/FileLayer.h"

// An in-memory, Windows-like file system behind the FileLayer interface, for tests of the wipe
// engine and the job: it records every call, and chosen calls can be made to fail.
//
// Paths are Windows paths ("C:\\Work\\a.txt"); '/' counts as '\\'. The folder of a path is
// everything up to its last separator; a path without one lies in the current folder, which
// always exists. Names compare without regard to ASCII case; other bytes compare exactly.
//
// What it emulates, with the causes of FileException and of Open's failure:
// - Open, any mode: a folder, or an entry added with kAttrReparsePoint or kAttrDevice (a link
//   or a device, never followed) -> 5. Data modes: a read-only file, or (create modes) a hidden
//   or system file -> 5; a file that is open or Lock()ed -> 11 (exclusive sharing).
//   kReadWriteExisting and kStatusOnly on a missing file -> 2. A missing folder -> 3. Create
//   modes make a missing file (archive attribute, times 0) or cut an existing one to 0 bytes.
//   kStatusOnly opens read-only, open and locked files alike; its handle writes no data.
// - Each file has an identity of its own: a file added again under the same path (AddFile,
//   AddSizedFile) is another file; renaming keeps it.
// - Close releases the file even when it fails, as the framework's file class does.
// - A full disk shows where the real layers' 64 KiB write blocks show it: the write that
//   completes the block, or the next SeekToEnd, Truncate, Flush, SetStatus or Close of the
//   file; the bytes that did not fit are lost.
// - Rename: missing source -> 2; source open or locked -> 11; existing target, in any case,
//   -> 5 with nothing changed; missing target folder -> 3. A change of case only is allowed.
//   The entry keeps its attributes, times and content. Folders can be renamed unless something
//   inside is open (-> 5).
// - Remove: missing -> 2; folder or read-only file -> 5; open or locked -> 11.
// - GetStatus works on files and folders; m_szFullName is the path as passed.
// - SetStatus (of a handle): writes the settable attribute bits (read-only, hidden, system,
//   archive, normal, temporary, offline); the others, directory and sparse among them, stay.
//   With m_mtime != 0 it writes the times too (a zero m_ctime or m_atime keeps that time).
// - Lengths count UTF-16 code units; a path holds 259 of them, a name 255, as on Windows.
// - A file reports kAttrNormal exactly when it has no other attribute bit.
// - FindFirst: the last component may hold '*' and '?'; a final ".*" may also match nothing,
//   so "*.*" matches names without a dot, and "*k.*" matches "a.bak". The first match in name order
//   wins (names sorted without regard to case). No "." or ".." entries and no short 8.3 aliases.
//   Nothing found -> cause 2 in the record, a missing folder -> 3.
// - Writes do not change times.
//
// Files added with AddFile or created through Open are tracked: their bytes are kept. Files
// added with AddSizedFile are not: only their size moves, so a 2 GB file costs nothing. A
// tracked file that grows beyond the tracking limit (SetTrackLimit, 128 MiB by default) stops
// being tracked.
//
// Queries about an entry that does not exist, and Content of an untracked file, throw
// std::logic_error: they are mistakes in the test.
//
// Trace lines (Describe), with " !<cause>" appended to any call that failed:
//   GetStatus <path>
//   SetStatus <path> attr=0x<hex>            the attributes asked for
//   SetStatus <path> attr=0x<hex> m=<mtime>  when times were asked for too
//   Open <path> rw|create-rw|create-w|status kReadWriteExisting, kCreateReadWrite, kCreateWrite,
//                                            kStatusOnly
//   Write <size>                             one write
//   Write <size> x<count>                    consecutive equal successful writes to one file
//   SeekToEnd | Truncate | Flush | Close
//   Rename <from> -> <to>
//   Remove <path>
//   FindFirst <pattern>                      a failure here means nothing matched
//   TempPath

enum class CallKind {
    GetStatus,
    SetStatus,
    Open,
    Write,
    SeekToEnd,
    Truncate,
    Flush,
    Close,
    Rename,
    Remove,
    FindFirst,
    TempPath,
};
constexpr int kCallKindCount = static_cast<int>(CallKind::TempPath) + 1;

struct Call {
    CallKind kind = CallKind::GetStatus;
    // The path, the pattern, "from -> to", or for calls on an open file the path it was opened by.
    std::string path;
    int64_t size = 0;   // Write: bytes per write; SeekToEnd: the new position
    int64_t count = 1;  // Write: how many equal writes this record stands for
    int cause = kCauseNone;
    OpenMode mode = OpenMode::kReadWriteExisting;  // Open only
    uint32_t attributes = 0;  // SetStatus: asked for; GetStatus, FindFirst: what was reported
    int64_t mtime = 0;        // SetStatus: m_mtime asked for
    std::string found;        // FindFirst: the name found
    int file = 0;             // calls on an open file: which opening (1, 2, ...)
};

std::string Describe(const Call& call);
void PrintTo(const Call& call, std::ostream* os);

class FakeFileLayer : public FileLayer {
public:
    FakeFileLayer();
    ~FakeFileLayer() override;
    FakeFileLayer(const FakeFileLayer&) = delete;
    FakeFileLayer& operator=(const FakeFileLayer&) = delete;

    // Setting up. Missing folders on the way are made; an existing file is replaced.
    void AddFolder(const std::string& path);
    void AddFile(const std::string& path, std::string content, uint32_t attributes = kAttrArchive);
    void AddSizedFile(const std::string& path, int64_t size, uint32_t attributes = kAttrArchive);
    void SetTimes(const std::string& path, int64_t ctime, int64_t mtime, int64_t atime);
    void SetAttributes(const std::string& path, uint32_t attributes);
    // Removes a folder with everything in it (nothing may be open there).
    void RemoveTree(const std::string& folder);
    // Another program holds the file open: opens, renames and removals see a sharing violation.
    void Lock(const std::string& path);
    void Unlock(const std::string& path);
    void SetTempPath(const std::string& path) { m_tempPath = path; }
    // From now on the files may grow by this many bytes in all; removing or truncating files
    // gives space back. A negative value removes the limit (the default).
    void SetFreeBytes(int64_t bytes);
    int64_t FreeBytes() const;
    void SetTrackLimit(int64_t bytes) { m_trackLimit = bytes; }

    // Looking at the result.
    bool Exists(const std::string& path) const;
    bool IsTracked(const std::string& path) const;
    std::string Content(const std::string& path) const;
    int64_t Size(const std::string& path) const;
    uint32_t Attributes(const std::string& path) const;
    FileStatus StatusOf(const std::string& path) const;
    // The names in a folder, sorted without regard to case.
    std::vector<std::string> List(const std::string& folder) const;
    // Every entry's path, sorted; folders end in '\\'. For checking that nothing else changed.
    std::vector<std::string> Paths() const;
    // Files open through this layer now; a test ends with none.
    int OpenCount() const;

    // The record.
    const std::vector<Call>& Calls() const { return m_calls; }
    std::vector<std::string> Trace() const;
    void ClearCalls() { m_calls.clear(); }

    // Faults. FailNth fails the n-th call of a kind counted from now (1 = the next one);
    // FailPath fails every call of a kind whose path contains `part`, until ClearFaults.
    // A failing call changes nothing (a failing Close still releases the file) and fails as
    // its kind does: Open returns nullptr with the cause, GetStatus and FindFirst return false,
    // TempPath returns "", the others throw FileException.
    void FailNth(CallKind kind, int n, int cause);
    void FailPath(CallKind kind, const std::string& part, int cause);
    void ClearFaults();
    // Runs before each call is carried out, with the call as it will be recorded (count 1,
    // no cause yet). It may change the file system; calls it makes itself are recorded but do
    // not run it again.
    void OnCall(std::function<void(const Call&)> hook) { m_hook = std::move(hook); }

    // FileLayer
    bool GetStatus(const std::string& path, FileStatus& status) override;
    std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode mode, int* cause = nullptr,
                                     long* osError = nullptr) override;
    void Rename(const std::string& from, const std::string& to) override;
    void Remove(const std::string& path) override;
    bool FindFirst(const std::string& pattern, FindResult& found) override;
    std::string TempPath() override;
    size_t Length(const std::string& text) const override;
    PathLimits Limits() const override;
    PathStyle Style() const override { return PathStyle::kWindows; }

private:
    class Handle;
    friend class Handle;

    struct Entry {
        std::string path;  // as first given, without a trailing separator
        bool folder = false;
        bool tracked = true;
        std::string content;
        int64_t size = 0;
        uint32_t attributes = 0;
        int64_t ctime = 0;
        int64_t mtime = 0;
        int64_t atime = 0;
        bool open = false;
        bool locked = false;
        uint64_t id = 0;  // which file this is
    };
    struct ArmedFault {
        CallKind kind;
        int remaining;
        int cause;
    };
    struct PathFault {
        CallKind kind;
        std::string part;
        int cause;
    };

    Entry* Find(const std::string& path);
    Entry* FindById(uint64_t id);
    const Entry* Find(const std::string& path) const;
    const Entry& Get(const std::string& path) const;
    Entry& Get(const std::string& path);
    bool FolderExists(const std::string& key) const;
    int MissingCause(const std::string& key) const;
    Entry& Make(const std::string& path, bool folder);
    bool AnythingOpenUnder(const std::string& key) const;
    std::vector<const Entry*> Children(const std::string& folderKey) const;
    void SetSize(Entry& entry, int64_t size);

    // Runs the hook and the faults for a call; returns the injected cause or 0.
    int Begin(const Call& call);
    void Record(Call call, int cause);
    [[noreturn]] static void Throw(int cause, const std::string& path);

    void HandleWrite(Handle& handle, const void* data, size_t size);
    int64_t HandleSeekToEnd(Handle& handle);
    void HandleTruncate(Handle& handle);
    void HandleFlush(Handle& handle);
    void HandleClose(Handle& handle);
    void HandleSetStatus(Handle& handle, const FileStatus& status);
    // A call on an open file: the injected cause, else a closed handle's or an unreported full
    // disk's.
    int BeginOnFile(Call& call, Handle& handle);
    void Release(Handle& handle);

    std::map<std::string, Entry> m_entries;  // by folded path
    std::set<Handle*> m_handles;             // live FileHandle objects, open or closed
    std::vector<Call> m_calls;
    std::vector<ArmedFault> m_armed;
    std::vector<PathFault> m_pathFaults;
    int m_faultKinds[kCallKindCount] = {};  // armed and path faults per kind, for the fast path
    std::function<void(const Call&)> m_hook;
    std::string m_tempPath = "C:\\Temp\\";
    int64_t m_totalBytes = 0;
    int64_t m_capacity = -1;
    int64_t m_trackLimit = int64_t{128} << 20;
    int m_nextFile = 1;
    uint64_t m_nextId = 1;
    bool m_inHook = false;
};
