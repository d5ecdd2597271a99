#include <dirent.h>
#include <sys/mount.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/posix/PosixFileLayer.h"
#include "support/RealFiles.h"

namespace realfiles {

const PlatformTraits& Traits() {
    static const PlatformTraits traits = {
        '/',
        kCauseFileNotFound,  // ENOENT names no folder
        true,
        false,  // a birth time, where kept, cannot be set
        false,
        false,  // removal is the folder's business, not the file's
        false,  // the lock binds openers, not the name
        false,
        kAttrNormal,
        false,
    };
    return traits;
}

std::unique_ptr<FileLayer> MakeLayer() {
    return std::make_unique<PosixFileLayer>();
}

std::string MakeFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tw-real-XXXXXX";
    if (mkdtemp(&templ[0]) == nullptr) throw std::runtime_error("mkdtemp failed");
    return templ + "/";
}

void CreateFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0) throw std::runtime_error("cannot make " + path);
}

void RemoveTree(const std::string& folder) {
    for (const std::string& name : List(folder)) {
        const std::string path = folder + name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            RemoveTree(path + "/");
        } else {
            chmod(path.c_str(), 0600);
            unlink(path.c_str());
        }
    }
    rmdir(folder.c_str());
}

void Write(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void SetSize(const std::string& path, int64_t size) {
    if (truncate(path.c_str(), static_cast<off_t>(size)) != 0)
        throw std::runtime_error("cannot resize " + path);
}

void SetAccessTime(const std::string& path, int64_t seconds) {
    struct timespec times[2] = {};
    times[0].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = UTIME_OMIT;
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the access time of " + path);
}

std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void SetReadOnly(const std::string& path, bool readOnly) {
    chmod(path.c_str(), readOnly ? 0444 : 0644);
}

bool IsReadOnly(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

bool SetCurrentFolder(const std::string& folder) {
    return chdir(folder.c_str()) == 0;
}

namespace {
// Holds the file through the layer itself: its exclusive lock is what keeps others out.
class LayerHolder : public Holder {
public:
    explicit LayerHolder(const std::string& path)
        : m_file(m_layer.Open(path, OpenMode::kReadWriteExisting)) {
        if (!m_file) throw std::runtime_error("cannot hold " + path);
    }

private:
    PosixFileLayer m_layer;
    std::unique_ptr<FileHandle> m_file;
};
}  // namespace

std::unique_ptr<Holder> HoldOpen(const std::string& path) {
    return std::make_unique<LayerHolder>(path);
}

bool MakeLink(const std::string& target, const std::string& link) {
    return symlink(target.c_str(), link.c_str()) == 0;
}

bool MakePipe(const std::string& path) {
    return mkfifo(path.c_str(), 0644) == 0;
}

namespace {
class Mounted : public Holder {
public:
    explicit Mounted(std::string folder) : m_folder(std::move(folder)) {}
    ~Mounted() override { umount2(m_folder.c_str(), MNT_DETACH); }

private:
    std::string m_folder;
};
}  // namespace

std::unique_ptr<Holder> MountSmallDisk(const std::string& folder, size_t bytes, std::string& why) {
    const std::string options = "size=" + std::to_string(bytes);
    if (mount("tidewipe-test", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) !=
        0) {
        why = std::string("cannot mount a small file system here: ") + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<Mounted>(folder);
}

}  // namespace realfiles
