#pragma once

// Real files for the tests, on UTF-8 paths and outside any file layer.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace realfiles {

namespace fs = std::filesystem;

// A fresh folder of the test's own, removed with everything in it when it goes.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::mt19937 random{std::random_device{}()};
        fs::path path;
        do {
            path = fs::temp_directory_path() / ("tw-" + std::to_string(random()));
        } while (!fs::create_directory(path));
        m_path = (path / "").u8string();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(m_path), ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(fs::u8path(m_path), ignored);
    }
    // The real path, ending in a separator.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline void Write(const std::string& path, const std::string& content) {
    std::ofstream(fs::u8path(path), std::ios::binary) << content;
}

inline std::string Read(const std::string& path) {
    std::ostringstream out;
    out << std::ifstream(fs::u8path(path), std::ios::binary).rdbuf();
    return out.str();
}

// The names in a folder, sorted; folders end in '/'.
inline std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder)))
        names.push_back(entry.path().filename().u8string() + (entry.is_directory() ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace realfiles
