#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class PosixFileLayer;

// A folder named with -r and everything under it, depth first, relative to descriptors all
// the way down: a folder is entered by openat(O_NOFOLLOW) and must be the folder that the look
// at its name saw; a folder that is left for its parent finds that parent again by its own
// descriptor (its ".."), checked against the parent's identity; nothing is ever reached
// through a link. Only a bounded number of folders are open at once, and nothing recurses, so
// neither the depth nor the width of a tree can exhaust the descriptors or the stack. Another
// file system mounted inside the tree is left as it is.
class TreeWipe {
public:
    // What the walk hands out; every callback is optional.
    struct Calls {
        // Wipes the regular file `name` in the open folder `dir`; true when it is gone.
        std::function<bool(int dir, const std::string& name, const std::string& shown)> file;
        // Where set, takes a run of small regular files of the open folder `dir` at once, in
        // place of `file`; for each, true when it is gone.
        std::function<std::vector<bool>(int dir, const std::vector<std::string>& names,
                                        const std::vector<std::string>& shown)>
            files;
        // Runs the dummy stage in the open folder `dir`, which stays and where files went.
        std::function<void(int dir, const std::string& shown)> dummy;
        // A failure, or what -v tells.
        std::function<void(const std::string&shown, const std::string&what)> fail, tell;
        // True when the walk must stop now.
        std::function<bool()> stop;
        // Before each system call that names an entry (the tests attack there).
        std::function<void(const std::string& name)> step;
    };
    struct Totals {
        uint64_t files = 0;
        uint64_t bytes = 0;
    };

    TreeWipe(PosixFileLayer& files, Calls calls) : m_files(files), m_calls(std::move(calls)) {}

    // The regular files under `path` and their bytes, as far as the walk reaches.
    Totals Count(const std::string& path);
    // Wipes the tree; true when it is gone. With `keep` the files stay, wiped, and so do the
    // folders. `rename`: each folder gets a random name before it is removed. `wipedAbove` is
    // set when files were wiped whose folders are all gone: the dummy stage then belongs in
    // the tree's own parent folder.
    bool Wipe(const std::string& path, bool keep, bool rename, bool& wipedAbove);
    // Of the last Wipe: whether the top folder stayed because something in it did.
    bool Held() const { return m_held; }

    // The highest number of folders that a walk holds open at once.
    static constexpr size_t kOpenFolders = 16;
    // What `files` is given: files under this size, this many at most.
    static constexpr int64_t kSmallFile = 1 << 20;
    static constexpr size_t kRun = 64;

private:
    bool Walk(const std::string& path, bool counting, bool keep, bool rename, bool& wipedAbove);
    bool RemoveFolder(int parent, const std::string& name, dev_t device, ino_t inode,
                      const std::string& shown, bool rename);

    PosixFileLayer& m_files;
    Calls m_calls;
    Totals m_totals;
    bool m_held = false;
};
