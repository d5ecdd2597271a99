#include "support/FakeFileLayer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <utility>

namespace {

constexpr uint32_t kSettableAttributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive |
                                         kAttrNormal | kAttrTemporary | kAttrOffline;

char FoldChar(char c) {
    if (c == '/') return '\\';
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

std::string StripTrailing(std::string path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

// The map key of a path: separators unified, ASCII case folded, no trailing separator.
std::string Fold(const std::string& path) {
    std::string key = StripTrailing(path);
    for (char& c : key)
        c = FoldChar(c);
    return key;
}

std::string ParentKey(const std::string& key) {
    const size_t pos = key.rfind('\\');
    return pos == std::string::npos ? std::string() : key.substr(0, pos);
}

std::string NameOf(const std::string& path) {
    const size_t pos = path.find_last_of("\\/");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

bool IsDriveRoot(const std::string& key) {
    return !key.empty() && key.back() == ':' && key.find('\\') == std::string::npos;
}

// Windows reports "normal" only for a file with no other attribute.
uint32_t Normalised(uint32_t attributes) {
    attributes &= ~static_cast<uint32_t>(kAttrNormal);
    return attributes == 0 ? static_cast<uint32_t>(kAttrNormal) : attributes;
}

bool MatchPlain(const std::string& pattern, const std::string& name) {
    size_t p = 0, n = 0;
    size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || FoldChar(pattern[p]) == FoldChar(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// As on Windows, a final ".*" may also match nothing at all, dot included: "*.*" matches every
// name and "qhzt*.*" every name that begins with qhzt.
bool Match(const std::string& pattern, const std::string& name) {
    if (MatchPlain(pattern, name)) return true;
    const size_t n = pattern.size();
    return n >= 2 && pattern.compare(n - 2, 2, ".*") == 0 &&
           MatchPlain(pattern.substr(0, n - 2), name);
}

long OsErrorFor(int cause) {
    switch (cause) {
        case kCauseFileNotFound:
            return 2;
        case kCauseBadPath:
            return 3;
        case kCauseTooManyOpenFiles:
            return 4;
        case kCauseAccessDenied:
            return 5;
        case kCauseInvalidFile:
            return 6;
        case kCauseBadSeek:
            return 131;
        case kCauseHardIO:
            return 1117;
        case kCauseSharingViolation:
            return 32;
        case kCauseLockViolation:
            return 33;
        case kCauseDiskFull:
            return 112;
        case kCauseEndOfFile:
            return 38;
        default:
            return 0;
    }
}

std::string Hex(uint32_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    do {
        s.insert(s.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + s;
}

const char* ModeName(OpenMode mode) {
    switch (mode) {
        case OpenMode::kReadWriteExisting:
            return "rw";
        case OpenMode::kCreateReadWrite:
            return "create-rw";
        case OpenMode::kCreateWrite:
            return "create-w";
        case OpenMode::kStatusOnly:
            return "status";
    }
    return "?";
}

Call MakeCall(CallKind kind, std::string path) {
    Call call;
    call.kind = kind;
    call.path = std::move(path);
    return call;
}

}  // namespace

std::string Describe(const Call& call) {
    std::string s;
    switch (call.kind) {
        case CallKind::GetStatus:
            s = "GetStatus " + call.path;
            break;
        case CallKind::SetStatus:
            s = "SetStatus " + call.path + " attr=" + Hex(call.attributes);
            if (call.mtime != 0) s += " m=" + std::to_string(call.mtime);
            break;
        case CallKind::Open:
            s = "Open " + call.path + " " + ModeName(call.mode);
            break;
        case CallKind::Write:
            s = "Write " + std::to_string(call.size);
            if (call.count > 1) s += " x" + std::to_string(call.count);
            break;
        case CallKind::SeekToEnd:
            s = "SeekToEnd";
            break;
        case CallKind::Truncate:
            s = "Truncate";
            break;
        case CallKind::Flush:
            s = "Flush";
            break;
        case CallKind::Close:
            s = "Close";
            break;
        case CallKind::Rename:
            s = "Rename " + call.path;
            break;
        case CallKind::Remove:
            s = "Remove " + call.path;
            break;
        case CallKind::FindFirst:
            s = "FindFirst " + call.path;
            break;
        case CallKind::TempPath:
            s = "TempPath";
            break;
    }
    if (call.cause != kCauseNone) s += " !" + std::to_string(call.cause);
    return s;
}

void PrintTo(const Call& call, std::ostream* os) {
    *os << Describe(call);
}

// One opening of a file. A data handle outlives neither its entry (entries cannot be removed
// or renamed while open) nor, usefully, the layer: once the layer is gone every call fails. A
// status handle holds no entry and finds its file by identity.
class FakeFileLayer::Handle : public FileHandle {
public:
    Handle(FakeFileLayer* layer, Entry* entry, std::string path, int id, bool statusOnly)
        : m_layer(layer),
          m_entry(statusOnly ? nullptr : entry),
          m_path(std::move(path)),
          m_id(id),
          m_fileId(entry->id) {
        m_layer->m_handles.insert(this);
    }
    ~Handle() override {
        if (m_layer) m_layer->Release(*this);
    }

    void Write(const void* data, size_t size) override { Layer().HandleWrite(*this, data, size); }
    int64_t SeekToEnd() override { return Layer().HandleSeekToEnd(*this); }
    void Truncate() override { Layer().HandleTruncate(*this); }
    void Flush() override { Layer().HandleFlush(*this); }
    void Close() override { Layer().HandleClose(*this); }
    void SetStatus(const FileStatus& status) override { Layer().HandleSetStatus(*this, status); }
    FileIdentity Identity() const override { return {1, m_fileId}; }

    FakeFileLayer& Layer() {
        if (!m_layer) throw FileException(kCauseInvalidFile, OsErrorFor(kCauseInvalidFile), m_path);
        return *m_layer;
    }

    FakeFileLayer* m_layer;
    Entry* m_entry;
    std::string m_path;
    int m_id;
    uint64_t m_fileId;
    int64_t m_pos = 0;
    bool m_open = true;
    int m_lost = kCauseNone;    // bytes were lost to a full disk, not reported yet
    int m_failed = kCauseNone;  // reported; every later call reports it again
};

FakeFileLayer::FakeFileLayer() = default;

FakeFileLayer::~FakeFileLayer() {
    for (Handle* handle : m_handles)
        handle->m_layer = nullptr;
}

// ---- Entries ----

FakeFileLayer::Entry* FakeFileLayer::Find(const std::string& path) {
    const auto it = m_entries.find(Fold(path));
    return it == m_entries.end() ? nullptr : &it->second;
}

FakeFileLayer::Entry* FakeFileLayer::FindById(uint64_t id) {
    for (auto& item : m_entries) {
        if (item.second.id == id) return &item.second;
    }
    return nullptr;
}

const FakeFileLayer::Entry* FakeFileLayer::Find(const std::string& path) const {
    const auto it = m_entries.find(Fold(path));
    return it == m_entries.end() ? nullptr : &it->second;
}

const FakeFileLayer::Entry& FakeFileLayer::Get(const std::string& path) const {
    const Entry* entry = Find(path);
    if (!entry) throw std::logic_error("FakeFileLayer: no entry " + path);
    return *entry;
}

FakeFileLayer::Entry& FakeFileLayer::Get(const std::string& path) {
    return const_cast<Entry&>(static_cast<const FakeFileLayer*>(this)->Get(path));
}

bool FakeFileLayer::FolderExists(const std::string& key) const {
    if (key.empty()) return true;  // the current folder
    const auto it = m_entries.find(key);
    return it != m_entries.end() && it->second.folder;
}

int FakeFileLayer::MissingCause(const std::string& key) const {
    return FolderExists(ParentKey(key)) ? kCauseFileNotFound : kCauseBadPath;
}

FakeFileLayer::Entry& FakeFileLayer::Make(const std::string& path, bool folder) {
    const std::string clean = StripTrailing(path);
    if (clean.empty()) throw std::logic_error("FakeFileLayer: empty path");
    // The folders on the way, from the top down.
    for (size_t pos = clean.find_first_of("\\/"); pos != std::string::npos;
         pos = clean.find_first_of("\\/", pos + 1)) {
        const std::string prefix = StripTrailing(clean.substr(0, pos));
        if (prefix.empty()) continue;
        Entry& parent = m_entries[Fold(prefix)];
        if (parent.path.empty()) {
            parent.path = prefix;
            parent.folder = true;
            parent.attributes = kAttrDirectory;
        } else if (!parent.folder) {
            throw std::logic_error("FakeFileLayer: a file is in the way of " + path);
        }
    }
    Entry& entry = m_entries[Fold(clean)];
    if (entry.path.empty()) {
        entry.path = clean;
        entry.id = m_nextId++;
        entry.folder = folder;
        entry.attributes = folder ? kAttrDirectory : kAttrArchive;
    } else if (entry.folder != folder || entry.open) {
        throw std::logic_error("FakeFileLayer: cannot replace " + path);
    }
    return entry;
}

bool FakeFileLayer::AnythingOpenUnder(const std::string& key) const {
    const std::string prefix = key + "\\";
    for (auto it = m_entries.lower_bound(prefix);
         it != m_entries.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->second.open || it->second.locked) return true;
    }
    return false;
}

std::vector<const FakeFileLayer::Entry*> FakeFileLayer::Children(
    const std::string& folderKey) const {
    std::vector<const Entry*> children;
    if (folderKey.empty()) {
        for (const auto& [key, entry] : m_entries) {
            if (key.find('\\') == std::string::npos && !IsDriveRoot(key))
                children.push_back(&entry);
        }
        return children;
    }
    // Keys share the prefix, so map order is name order without regard to case.
    const std::string prefix = folderKey + "\\";
    for (auto it = m_entries.lower_bound(prefix);
         it != m_entries.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->first.find('\\', prefix.size()) == std::string::npos)
            children.push_back(&it->second);
    }
    return children;
}

void FakeFileLayer::SetSize(Entry& entry, int64_t size) {
    m_totalBytes += size - entry.size;
    entry.size = size;
    if (entry.tracked) entry.content.resize(static_cast<size_t>(size));
}

// ---- Setting up ----

void FakeFileLayer::AddFolder(const std::string& path) {
    Make(path, true);
}

void FakeFileLayer::AddFile(const std::string& path, std::string content, uint32_t attributes) {
    Entry& entry = Make(path, false);
    entry.id = m_nextId++;
    m_totalBytes -= entry.size;
    entry.tracked = true;
    entry.size = static_cast<int64_t>(content.size());
    entry.content = std::move(content);
    entry.attributes = Normalised(attributes & ~static_cast<uint32_t>(kAttrDirectory));
    entry.ctime = entry.mtime = entry.atime = 0;
    m_totalBytes += entry.size;
}

void FakeFileLayer::AddSizedFile(const std::string& path, int64_t size, uint32_t attributes) {
    if (size < 0) throw std::logic_error("FakeFileLayer: negative size");
    Entry& entry = Make(path, false);
    entry.id = m_nextId++;
    m_totalBytes -= entry.size;
    entry.tracked = false;
    entry.content.clear();
    entry.size = size;
    entry.attributes = Normalised(attributes & ~static_cast<uint32_t>(kAttrDirectory));
    entry.ctime = entry.mtime = entry.atime = 0;
    m_totalBytes += size;
}

void FakeFileLayer::SetTimes(const std::string& path, int64_t ctime, int64_t mtime, int64_t atime) {
    Entry& entry = Get(path);
    entry.ctime = ctime;
    entry.mtime = mtime;
    entry.atime = atime;
}

void FakeFileLayer::SetAttributes(const std::string& path, uint32_t attributes) {
    Entry& entry = Get(path);
    entry.attributes = Normalised((entry.attributes & kAttrDirectory) | attributes);
}

void FakeFileLayer::RemoveTree(const std::string& folder) {
    const std::string key = Fold(folder);
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        const bool inside =
            it->first == key || it->first.compare(0, key.size() + 1, key + "\\") == 0;
        if (!inside) {
            ++it;
            continue;
        }
        m_totalBytes -= it->second.size;
        it = m_entries.erase(it);
    }
}

void FakeFileLayer::Lock(const std::string& path) {
    Get(path).locked = true;
}

void FakeFileLayer::Unlock(const std::string& path) {
    Get(path).locked = false;
}

void FakeFileLayer::SetFreeBytes(int64_t bytes) {
    m_capacity = bytes < 0 ? -1 : m_totalBytes + bytes;
}

int64_t FakeFileLayer::FreeBytes() const {
    return m_capacity < 0 ? std::numeric_limits<int64_t>::max() : m_capacity - m_totalBytes;
}

// ---- Looking at the result ----

bool FakeFileLayer::Exists(const std::string& path) const {
    return Find(path) != nullptr;
}

bool FakeFileLayer::IsTracked(const std::string& path) const {
    const Entry& entry = Get(path);
    return !entry.folder && entry.tracked;
}

std::string FakeFileLayer::Content(const std::string& path) const {
    const Entry& entry = Get(path);
    if (entry.folder || !entry.tracked)
        throw std::logic_error("FakeFileLayer: contents not kept for " + path);
    return entry.content;
}

int64_t FakeFileLayer::Size(const std::string& path) const {
    return Get(path).size;
}

uint32_t FakeFileLayer::Attributes(const std::string& path) const {
    return Get(path).attributes;
}

FileStatus FakeFileLayer::StatusOf(const std::string& path) const {
    const Entry& entry = Get(path);
    FileStatus status;
    status.m_ctime = entry.ctime;
    status.m_mtime = entry.mtime;
    status.m_atime = entry.atime;
    status.m_size = entry.size;
    status.m_attribute = entry.attributes;
    status.m_szFullName = path;
    return status;
}

std::vector<std::string> FakeFileLayer::List(const std::string& folder) const {
    const std::string key = Fold(folder);
    if (!FolderExists(key)) throw std::logic_error("FakeFileLayer: no folder " + folder);
    std::vector<std::string> names;
    for (const Entry* entry : Children(key))
        names.push_back(NameOf(entry->path));
    return names;
}

std::vector<std::string> FakeFileLayer::Paths() const {
    std::vector<std::string> paths;
    for (const auto& item : m_entries)
        paths.push_back(item.second.folder ? item.second.path + "\\" : item.second.path);
    return paths;
}

int FakeFileLayer::OpenCount() const {
    return static_cast<int>(std::count_if(m_handles.begin(), m_handles.end(),
                                          [](const Handle* handle) { return handle->m_open; }));
}

std::vector<std::string> FakeFileLayer::Trace() const {
    std::vector<std::string> lines;
    lines.reserve(m_calls.size());
    for (const Call& call : m_calls)
        lines.push_back(Describe(call));
    return lines;
}

// ---- Faults and the record ----

void FakeFileLayer::FailNth(CallKind kind, int n, int cause) {
    if (n < 1) throw std::logic_error("FakeFileLayer: FailNth counts from 1");
    m_armed.push_back({kind, n, cause});
    ++m_faultKinds[static_cast<int>(kind)];
}

void FakeFileLayer::FailPath(CallKind kind, const std::string& part, int cause) {
    m_pathFaults.push_back({kind, part, cause});
    ++m_faultKinds[static_cast<int>(kind)];
}

void FakeFileLayer::ClearFaults() {
    m_armed.clear();
    m_pathFaults.clear();
    std::fill(std::begin(m_faultKinds), std::end(m_faultKinds), 0);
}

int FakeFileLayer::Begin(const Call& call) {
    if (m_hook && !m_inHook) {
        m_inHook = true;
        try {
            m_hook(call);
        } catch (...) {
            m_inHook = false;
            throw;
        }
        m_inHook = false;
    }
    const int kind = static_cast<int>(call.kind);
    if (m_faultKinds[kind] == 0) return kCauseNone;
    int cause = kCauseNone;
    // Every armed countdown of this kind counts the call, also when another one fires.
    for (auto it = m_armed.begin(); it != m_armed.end();) {
        if (it->kind == call.kind && --it->remaining == 0) {
            if (cause == kCauseNone) cause = it->cause;
            --m_faultKinds[kind];
            it = m_armed.erase(it);
        } else {
            ++it;
        }
    }
    for (const PathFault& fault : m_pathFaults) {
        if (cause == kCauseNone && fault.kind == call.kind &&
            call.path.find(fault.part) != std::string::npos)
            cause = fault.cause;
    }
    return cause;
}

void FakeFileLayer::Record(Call call, int cause) {
    call.cause = cause;
    m_calls.push_back(std::move(call));
}

void FakeFileLayer::Throw(int cause, const std::string& path) {
    throw FileException(cause, OsErrorFor(cause), path);
}

// ---- FileLayer ----

bool FakeFileLayer::GetStatus(const std::string& path, FileStatus& status) {
    Call call = MakeCall(CallKind::GetStatus, path);
    int cause = Begin(call);
    if (cause == kCauseNone) {
        if (const Entry* entry = Find(path)) {
            status = StatusOf(path);
            call.attributes = entry->attributes;
        } else {
            cause = MissingCause(Fold(path));
        }
    }
    Record(std::move(call), cause);
    return cause == kCauseNone;
}

std::unique_ptr<FileHandle> FakeFileLayer::Open(const std::string& path, OpenMode mode,
                                                int* causeOut, long* osError) {
    Call call = MakeCall(CallKind::Open, path);
    call.mode = mode;
    int cause = Begin(call);
    const bool statusOnly = mode == OpenMode::kStatusOnly;
    const bool create = mode == OpenMode::kCreateReadWrite || mode == OpenMode::kCreateWrite;
    Entry* entry = Find(path);
    if (cause == kCauseNone) {
        const std::string key = Fold(path);
        if (!entry) {
            if (key.empty() || !FolderExists(ParentKey(key)))
                cause = kCauseBadPath;
            else if (!create)
                cause = kCauseFileNotFound;
        } else if (entry->folder || (entry->attributes & (kAttrReparsePoint | kAttrDevice))) {
            cause = kCauseAccessDenied;
        } else if (statusOnly) {
        } else if (entry->attributes & kAttrReadOnly) {
            cause = kCauseAccessDenied;
        } else if (create && (entry->attributes & (kAttrHidden | kAttrSystem))) {
            // Creating over a hidden or system file without asking for those attributes.
            cause = kCauseAccessDenied;
        } else if (entry->open || entry->locked) {
            cause = kCauseSharingViolation;
        }
    }
    std::unique_ptr<Handle> handle;
    if (cause == kCauseNone) {
        if (!entry) {
            entry = &Make(path, false);
        } else if (create) {
            entry->tracked = true;
            SetSize(*entry, 0);
            entry->attributes = Normalised(entry->attributes | kAttrArchive);
        }
        if (!statusOnly) entry->open = true;
        call.file = m_nextFile++;
        handle = std::make_unique<Handle>(this, entry, path, call.file, statusOnly);
    }
    Record(std::move(call), cause);
    if (cause != kCauseNone && causeOut) *causeOut = cause;
    if (cause != kCauseNone && osError) *osError = OsErrorFor(cause);
    return handle;
}

void FakeFileLayer::Rename(const std::string& from, const std::string& to) {
    Call call = MakeCall(CallKind::Rename, from + " -> " + to);
    int cause = Begin(call);
    const std::string fromKey = Fold(from);
    const std::string toKey = Fold(to);
    Entry* entry = Find(from);
    if (cause == kCauseNone) {
        if (!entry)
            cause = MissingCause(fromKey);
        else if (entry->open || entry->locked)
            cause = kCauseSharingViolation;
        else if (toKey.empty() || !FolderExists(ParentKey(toKey)))
            cause = kCauseBadPath;
        else if (toKey != fromKey && m_entries.count(toKey) != 0)
            cause = kCauseAccessDenied;  // never replaces
        else if (entry->folder && (AnythingOpenUnder(fromKey) ||
                                   toKey.compare(0, fromKey.size() + 1, fromKey + "\\") == 0))
            cause = kCauseAccessDenied;
    }
    if (cause == kCauseNone) {
        // The entry and, for a folder, everything inside it move to the new keys.
        std::vector<std::pair<std::string, Entry>> moved;
        const std::string prefix = fromKey + "\\";
        for (auto it = m_entries.lower_bound(prefix);
             it != m_entries.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
            moved.emplace_back(it->first, std::move(it->second));
            it = m_entries.erase(it);
        }
        Entry self = std::move(*entry);
        m_entries.erase(fromKey);
        self.path = StripTrailing(to);
        for (auto& [key, child] : moved) {
            child.path = self.path + child.path.substr(fromKey.size());
            m_entries[toKey + key.substr(fromKey.size())] = std::move(child);
        }
        m_entries[toKey] = std::move(self);
    }
    Record(std::move(call), cause);
    if (cause != kCauseNone) Throw(cause, from);
}

void FakeFileLayer::Remove(const std::string& path) {
    Call call = MakeCall(CallKind::Remove, path);
    int cause = Begin(call);
    Entry* entry = Find(path);
    if (cause == kCauseNone) {
        if (!entry)
            cause = MissingCause(Fold(path));
        else if (entry->folder)
            cause = kCauseAccessDenied;
        else if (entry->open || entry->locked)
            cause = kCauseSharingViolation;
        else if (entry->attributes & kAttrReadOnly)
            cause = kCauseAccessDenied;
    }
    if (cause == kCauseNone) {
        m_totalBytes -= entry->size;
        m_entries.erase(Fold(path));
    }
    Record(std::move(call), cause);
    if (cause != kCauseNone) Throw(cause, path);
}

bool FakeFileLayer::FindFirst(const std::string& pattern, FindResult& found) {
    Call call = MakeCall(CallKind::FindFirst, pattern);
    int cause = Begin(call);
    if (cause == kCauseNone) {
        const size_t pos = pattern.find_last_of("\\/");
        const std::string folderKey =
            pos == std::string::npos ? std::string() : Fold(pattern.substr(0, pos));
        const std::string last = pos == std::string::npos ? pattern : pattern.substr(pos + 1);
        if (!FolderExists(folderKey)) {
            cause = kCauseBadPath;
        } else {
            cause = kCauseFileNotFound;
            if (!last.empty()) {
                for (const Entry* entry : Children(folderKey)) {
                    const std::string name = NameOf(entry->path);
                    if (Match(last, name)) {
                        found.name = name;
                        found.attributes = entry->attributes;
                        call.found = name;
                        call.attributes = entry->attributes;
                        cause = kCauseNone;
                        break;
                    }
                }
            }
        }
    }
    Record(std::move(call), cause);
    return cause == kCauseNone;
}

std::string FakeFileLayer::TempPath() {
    Call call = MakeCall(CallKind::TempPath, std::string());
    const int cause = Begin(call);
    Record(std::move(call), cause);
    return cause == kCauseNone ? m_tempPath : std::string();
}

size_t FakeFileLayer::Length(const std::string& text) const {
    // UTF-16 code units of UTF-8: one per sequence, two for those beyond the first plane.
    size_t units = 0;
    for (const char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) units += b >= 0xF0 ? 2 : 1;
    }
    return units;
}

PathLimits FakeFileLayer::Limits() const {
    return {259, 255};
}

// ---- Open files ----

namespace {
constexpr int64_t kBlock = 64 * 1024;
}  // namespace

int FakeFileLayer::BeginOnFile(Call& call, Handle& handle) {
    call.file = handle.m_id;
    int cause = Begin(call);
    if (cause == kCauseNone && !handle.m_open) cause = kCauseInvalidFile;
    if (cause == kCauseNone && handle.m_failed == kCauseNone) handle.m_failed = handle.m_lost;
    if (cause == kCauseNone) cause = handle.m_failed;
    return cause;
}

void FakeFileLayer::HandleWrite(Handle& handle, const void* data, size_t size) {
    const int64_t bytes = static_cast<int64_t>(size);
    int cause = kCauseNone;
    // A pass over a large file is a million writes: build no record unless someone looks.
    if (m_hook || m_faultKinds[static_cast<int>(CallKind::Write)] != 0) {
        Call call = MakeCall(CallKind::Write, handle.m_path);
        call.size = bytes;
        call.file = handle.m_id;
        cause = Begin(call);
    }
    if (cause == kCauseNone && !handle.m_open) cause = kCauseInvalidFile;
    if (cause == kCauseNone && !handle.m_entry) cause = kCauseAccessDenied;  // status only
    if (cause == kCauseNone) cause = handle.m_failed;
    if (cause == kCauseNone) {
        Entry& entry = *handle.m_entry;
        const int64_t end = handle.m_pos + bytes;
        const int64_t growth = std::max<int64_t>(0, end - entry.size);
        if (handle.m_lost != kCauseNone ||
            (m_capacity >= 0 && m_totalBytes + growth > m_capacity)) {
            handle.m_lost = kCauseDiskFull;
        } else {
            if (entry.tracked && end > m_trackLimit) {
                entry.tracked = false;
                std::string().swap(entry.content);
            }
            if (entry.tracked) {
                if (end > entry.size) entry.content.resize(static_cast<size_t>(end));
                if (size != 0)
                    std::memcpy(&entry.content[static_cast<size_t>(handle.m_pos)], data, size);
            }
            entry.size += growth;
            m_totalBytes += growth;
        }
        // The block that this write completes goes out now.
        if (handle.m_lost != kCauseNone && end / kBlock != handle.m_pos / kBlock)
            cause = handle.m_failed = handle.m_lost;
        handle.m_pos = end;
    }
    if (cause == kCauseNone && !m_calls.empty()) {
        Call& last = m_calls.back();
        if (last.kind == CallKind::Write && last.file == handle.m_id && last.size == bytes &&
            last.cause == kCauseNone) {
            ++last.count;
            return;
        }
    }
    Call call = MakeCall(CallKind::Write, handle.m_path);
    call.size = bytes;
    call.file = handle.m_id;
    Record(std::move(call), cause);
    if (cause != kCauseNone) Throw(cause, handle.m_path);
}

int64_t FakeFileLayer::HandleSeekToEnd(Handle& handle) {
    Call call = MakeCall(CallKind::SeekToEnd, handle.m_path);
    int cause = BeginOnFile(call, handle);
    if (cause == kCauseNone && !handle.m_entry) cause = kCauseAccessDenied;
    if (cause == kCauseNone) {
        handle.m_pos = handle.m_entry->size;
        call.size = handle.m_pos;
    }
    Record(std::move(call), cause);
    if (cause != kCauseNone) Throw(cause, handle.m_path);
    return handle.m_pos;
}

void FakeFileLayer::HandleTruncate(Handle& handle) {
    Call call = MakeCall(CallKind::Truncate, handle.m_path);
    int cause = BeginOnFile(call, handle);
    if (cause == kCauseNone && !handle.m_entry) cause = kCauseAccessDenied;
    if (cause == kCauseNone) {
        SetSize(*handle.m_entry, 0);
        handle.m_pos = 0;
    }
    Record(std::move(call), cause);
    if (cause != kCauseNone) Throw(cause, handle.m_path);
}

void FakeFileLayer::HandleFlush(Handle& handle) {
    Call call = MakeCall(CallKind::Flush, handle.m_path);
    const int cause = BeginOnFile(call, handle);
    Record(std::move(call), cause);
    if (cause != kCauseNone) Throw(cause, handle.m_path);
}

void FakeFileLayer::HandleClose(Handle& handle) {
    Call call = MakeCall(CallKind::Close, handle.m_path);
    call.file = handle.m_id;
    int cause = Begin(call);
    // Closing a closed file does nothing; a failed close still lets go of the file. Bytes lost
    // to a full disk are reported here unless they were already.
    if (handle.m_open) {
        if (cause == kCauseNone && handle.m_failed == kCauseNone) cause = handle.m_lost;
        handle.m_open = false;
        if (handle.m_entry) handle.m_entry->open = false;
    }
    Record(std::move(call), cause);
    if (cause != kCauseNone) Throw(cause, handle.m_path);
}

void FakeFileLayer::HandleSetStatus(Handle& handle, const FileStatus& status) {
    Call call = MakeCall(CallKind::SetStatus, handle.m_path);
    call.attributes = status.m_attribute;
    call.mtime = status.m_mtime;
    int cause = BeginOnFile(call, handle);
    Entry* entry = cause == kCauseNone ? FindById(handle.m_fileId) : nullptr;
    if (cause == kCauseNone && !entry) cause = kCauseFileNotFound;
    if (cause == kCauseNone) {
        const uint32_t kept = entry->attributes & ~kSettableAttributes;
        entry->attributes = Normalised(kept | (status.m_attribute & kSettableAttributes));
        if (status.m_mtime != 0) {
            entry->mtime = status.m_mtime;
            if (status.m_ctime != 0) entry->ctime = status.m_ctime;
            if (status.m_atime != 0) entry->atime = status.m_atime;
        }
    }
    Record(std::move(call), cause);
    if (cause != kCauseNone) Throw(cause, handle.m_path);
}

void FakeFileLayer::Release(Handle& handle) {
    if (handle.m_open) {
        handle.m_open = false;
        if (handle.m_entry) handle.m_entry->open = false;
    }
    m_handles.erase(&handle);
}
