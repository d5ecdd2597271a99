#include "app/FileSystemWarning.h"

namespace {

struct Kind {
    uint64_t type;
    const char* name;
    const char* why;
};

const char kCopyOnWrite[] = "writes new data to new places, so the old blocks may survive";
const char kNetwork[] = "the server decides where the data goes, and may keep copies";

// The types' numbers as the kernel reports them.
const Kind kKinds[] = {
    {0x9123683E, "btrfs", kCopyOnWrite},
    {0x2FC12FC1, "ZFS", kCopyOnWrite},
    {0xCA451A4E, "bcachefs", kCopyOnWrite},
    {0xF2F52010, "F2FS", kCopyOnWrite},
    {0x3434, "NILFS", kCopyOnWrite},
    {0x6969, "NFS", kNetwork},
    {0xFF534D42, "CIFS", kNetwork},
    {0xFE534D42, "SMB2", kNetwork},
    {0x517B, "SMB", kNetwork},
    {0x01021994, "tmpfs", "lives in memory, and swap may hold copies of its pages"},
};

}  // namespace

std::string FileSystemWarning(uint64_t type) {
    for (const Kind& k : kKinds) {
        if (k.type == type)
            return std::string("on ") + k.name + ", which " + k.why +
                   "; overwriting in place may not reach the old data";
    }
    return std::string();
}

std::string FileSystemWarning(uint64_t type, const std::string& mountOptions) {
    const uint64_t kExt = 0xEF53;  // ext2, ext3 and ext4 alike
    if (type != kExt || ("," + mountOptions + ",").find(",data=journal,") == std::string::npos)
        return FileSystemWarning(type);
    return "on ext4 with data=journal, whose journal keeps a copy of the data written; "
           "overwriting in place may not reach the old data";
}
