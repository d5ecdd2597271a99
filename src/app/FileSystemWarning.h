#pragma once

#include <cstdint>
#include <string>

// Why overwriting a file in place may not reach its old data on a file system of this type
// (statfs's f_type), or empty when nothing is known against it.
std::string FileSystemWarning(uint64_t type);
