#pragma once

#include <cstdint>
#include <string>

// Why overwriting a file in place may not reach its old data on a file system of this type
// (statfs's f_type), or empty when nothing is known against it.
std::string FileSystemWarning(uint64_t type);

// The same for ext3 and ext4 given the options of the mount, which say whether the journal
// keeps the data too (data=journal).
std::string FileSystemWarning(uint64_t type, const std::string& mountOptions);
