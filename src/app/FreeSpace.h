#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "wipe/Random.h"

// The system's folder for the block device `device` ("/sys/dev/block/MAJOR:MINOR").
std::string SysBlockPath(uint64_t device);

// Wipes the free space of the file system that holds a folder, without touching any file that
// exists: everything goes into a fresh, randomly named scratch folder made there (create-only
// files, readable by their owner alone), and all of it is removed at the end, whatever happens
// (a failure, a stop request, another program that needs the space).
//
// Stages, in order: the free inodes, taken by empty files of long random names; the free
// blocks, filled by files of at most kFileBytes until the system says it is full, each
// flushed; the leftovers that a large file cannot take, by files of one block; while the file
// system is full (so that no folder can grow), the free name entries of the folder itself, by
// long random names linked to a scratch file; further passes over all the data; on ext3 and
// ext4, enough committed changes to go once round the whole journal, so that no old copy of a
// name or of data stays in it (and, where the journal takes the data too, so that the data
// written reaches its blocks before it is removed); then the removal, which leaves only random
// names in the entries it used.
class FreeSpaceWipe {
public:
    enum Stage { kInodes, kFill, kLeftovers, kEntries, kPasses, kJournal, kStages };
    struct Calls {
        // True when the wipe must stop now (then only the removal runs).
        std::function<bool()> stop;
        // Told at each megabyte written and at each stage's end: the stage, its bytes or
        // entries so far, and the free bytes found at the start.
        std::function<void(Stage, uint64_t done, uint64_t free)> progress;
    };
    struct Done {
        uint64_t amount = 0;  // bytes, files or entries, as the stage counts
        double seconds = 0;
    };

    // `passes`: the data stages' passes; `zeros`: zero bytes instead of random ones.
    FreeSpaceWipe(int passes, bool zeros, Calls calls)
        : m_passes(passes), m_zeros(zeros), m_calls(std::move(calls)) {}

    // Empty when all went through; else why it stopped (everything made is removed all the
    // same).
    std::string Run(const std::string& folder);

    const Done& Of(Stage stage) const { return m_done[stage]; }
    // The bytes that only root may use, which a run by another user leaves unreached.
    uint64_t ReservedUnreached() const { return m_reserved; }

    // Each data file stays under the engine's own limit.
    static constexpr uint64_t kFileBytes = 2047ull << 20;

private:
    bool Stopped() const { return m_calls.stop && m_calls.stop(); }
    // One more file of the stage: an empty one (`size` 0), else one of `size` bytes at most,
    // taken from the empty ones while there are any. Sets `full` when the file system had no
    // more room; false, with m_error, on any other failure.
    bool MakeFile(uint64_t size, Stage stage, bool& full);
    std::string FillStage(Stage stage, uint64_t size);
    // Writes `size` bytes of the pass's pattern at the position of `fd`; false with m_error
    // (or `full`) when the system refused.
    bool WriteData(int fd, uint64_t size, Stage stage, bool& full, uint64_t& written);
    void Entries();
    std::string CycleJournal();
    std::string Passes();
    void RemoveAll();
    // As root on ext4 and XFS: lets the leftovers reach the blocks that the file system keeps
    // back for itself (`release`), or gives them back as they were.
    void Reserve(bool release);
    static std::string RandomName(size_t length);

    const int m_passes;
    const bool m_zeros;
    Calls m_calls;
    Done m_done[kStages];
    std::string m_error;
    uint64_t m_reserved = 0;
    uint64_t m_free = 0;     // the free bytes at the start
    uint64_t m_written = 0;  // data bytes in the scratch files
    int m_folder = -1;       // the folder named
    int m_scratch = -1;      // the scratch folder in it
    std::string m_scratchName;
    // What the scratch folder holds, by paths in it: its folders, every file made, the empty
    // ones not yet filled, and the filled ones with their sizes; and the links in the folder.
    std::vector<std::string> m_dirs;
    size_t m_inFolder = 0;
    std::vector<std::string> m_files;
    std::vector<std::string> m_pool;
    std::vector<std::pair<std::string, uint64_t>> m_data;
    std::vector<std::pair<std::string, uint64_t>> m_entries;  // name and inode
    std::vector<uint8_t> m_block;
    unsigned long m_type = 0;  // the file system's, as statfs tells it
    std::string m_reservePath;
    uint64_t m_reserveSaved = 0;
    bool m_xfsReserve = false;
    JobRandom m_random;
};
