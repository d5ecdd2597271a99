#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "platform/posix/PosixFileLayer.h"
#include "support/RealFiles.h"

namespace realfiles {

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

}  // namespace realfiles
