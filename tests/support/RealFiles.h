#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wipe/FileLayer.h"

// The platform pieces that the real-file tests need, implemented once for POSIX and once for
// Windows (tests/native/RealFilesPosix.cpp, tests/win32/RealFilesWin32.cpp).
namespace realfiles {

// The platform's real file layer.
std::unique_ptr<FileLayer> MakeLayer();
// A new empty folder of the test's own; the path ends in a separator.
std::string MakeFolder();
void RemoveTree(const std::string& folder);
void Write(const std::string& path, const std::string& content);
std::string Read(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> List(const std::string& folder);
void SetReadOnly(const std::string& path, bool readOnly);
bool IsReadOnly(const std::string& path);

// Another program holding the file open without sharing it, until destroyed.
class Holder {
public:
    virtual ~Holder() = default;
};
std::unique_ptr<Holder> HoldOpen(const std::string& path);

}  // namespace realfiles
