#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>

#include "wipe/FileLayer.h"

// Where gathered blocks go: the platform's write call. WriteOut writes all of its bytes or
// throws.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    virtual void WriteOut(const uint8_t* data, size_t size) = 0;
};

// Collects the engine's small writes (at most 2048 bytes each) into 1 MiB blocks, so that the
// system sees few large writes (each write call costs about as much as copying 64 KiB). Blocks
// end on multiples of 1 MiB of the file offset, so a file written from offset 0 gets block
// writes at 0, 1 Mi, 2 Mi, ...
//
// A failure of the sink is thrown from the Write or Drain that met it. The gathered bytes are
// then lost, so the gatherer stays broken: every later Write and Drain throws the same error
// again rather than put bytes at the wrong place or report a flush that did not happen.
class WriteGatherer {
public:
    static constexpr size_t kBlockSize = 1024 * 1024;

    explicit WriteGatherer(BlockSink& sink) : m_sink(sink) {}

    void Write(const void* data, size_t size);
    // The place where the next `size` bytes would be gathered, when they fit in the block.
    uint8_t* Room(size_t size);
    // Writes out whatever is gathered.
    void Drain();
    // The file position moved (with nothing pending): the next block ends at the boundary
    // after `offset`.
    void Reset(int64_t offset);

    bool Failed() const { return m_failure != nullptr; }
    size_t Pending() const { return m_nUsed; }

private:
    void ThrowIfFailed() const;
    void WriteOutGathered();
    size_t Capacity() const;

    BlockSink& m_sink;
    std::unique_ptr<uint8_t[]> m_buffer;  // allocated at the first write
    size_t m_nUsed = 0;
    int64_t m_nBlockStart = 0;  // file offset of m_buffer[0]
    std::exception_ptr m_failure;
};

// An open file whose writes go through a gatherer. The platforms supply only the system calls;
// the order of draining, syncing and closing, and the rule that a write-out failure is
// reported once, live here.
class GatheringFileHandle : public FileHandle, private BlockSink {
public:
    void Write(const void* data, size_t size) final;
    uint8_t* WriteRoom(size_t size) final;
    int64_t SeekToEnd() final;
    void Truncate() final;
    void Flush() final;
    // A write-out failure that an earlier call already reported is not reported again.
    void Close() final;
    // Gathered data goes out first, so that it cannot change the times afterwards.
    bool SetStatus(const FileStatus& status) final;
    int64_t Size() final {
        CheckOpen();
        return SystemSize();
    }

protected:
    // A status-only handle refuses data calls at once, as a closed one does.
    explicit GatheringFileHandle(bool statusOnly) : m_statusOnly(statusOnly) {}

    // The platform's calls on the open file; each throws FileException on failure.
    virtual bool IsOpen() const = 0;
    virtual void ThrowNotOpen() const = 0;
    virtual void WriteAll(const uint8_t* data, size_t size) = 0;
    virtual int64_t SystemSeekToEnd() = 0;
    // Cuts the file to zero bytes and moves to its start.
    virtual void SystemTruncate() = 0;
    virtual void SystemFlush() = 0;
    virtual bool SystemSetStatus(const FileStatus& status) = 0;
    virtual int64_t SystemSize() = 0;
    // Releases the file in every case, and throws only after that.
    virtual void SystemClose() = 0;

private:
    void WriteOut(const uint8_t* data, size_t size) final { WriteAll(data, size); }
    void CheckOpen() const {
        if (!IsOpen()) ThrowNotOpen();
    }
    void CheckData() const {
        if (!IsOpen() || m_statusOnly) ThrowNotOpen();
    }

    const bool m_statusOnly;
    WriteGatherer m_gather{*this};
};
