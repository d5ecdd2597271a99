#include "wipe/WriteGatherer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "wipe/FileLayer.h"

namespace {

// Keeps every block it is handed; the failAt-th call (from 1) and all after it throw.
class RecordingSink : public BlockSink {
public:
    void WriteOut(const uint8_t* data, size_t size) override {
        ++m_nCalls;
        if (m_nFailAt != 0 && m_nCalls >= m_nFailAt)
            throw FileException(kCauseDiskFull, 112, "sink");
        m_blocks.emplace_back(data, data + size);
    }

    std::vector<size_t> Sizes() const {
        std::vector<size_t> sizes;
        for (const auto& b : m_blocks)
            sizes.push_back(b.size());
        return sizes;
    }

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> all;
        for (const auto& b : m_blocks)
            all.insert(all.end(), b.begin(), b.end());
        return all;
    }

    int m_nFailAt = 0;
    int m_nCalls = 0;
    std::vector<std::vector<uint8_t>> m_blocks;
};

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 31 + i / 251) % 253);
    return bytes;
}

std::vector<size_t> Repeat(size_t count, size_t size, size_t tail = 0) {
    std::vector<size_t> sizes(count, size);
    if (tail != 0) sizes.push_back(tail);
    return sizes;
}

struct GatherCase {
    const char* name;
    int64_t startOffset;  // where the file position was put before the writes
    std::vector<size_t> writes;
    std::vector<size_t> blocks;  // what the sink sees, in order
    size_t blocksBeforeDrain;    // how many of them came out of the writes themselves
};

void PrintTo(const GatherCase& c, std::ostream* os) {
    *os << c.name;
}

class WriteGathererBlocks : public ::testing::TestWithParam<GatherCase> {};

TEST_P(WriteGathererBlocks, HandsOutAlignedBlocksWithTheExactBytes) {
    const GatherCase& c = GetParam();
    RecordingSink sink;
    WriteGatherer gather(sink);
    gather.Reset(c.startOffset);

    size_t total = 0;
    for (size_t size : c.writes)
        total += size;
    const std::vector<uint8_t> data = Pattern(total);
    size_t at = 0;
    for (size_t size : c.writes) {
        gather.Write(data.data() + at, size);
        at += size;
    }
    EXPECT_EQ(sink.m_blocks.size(), c.blocksBeforeDrain);
    gather.Drain();
    EXPECT_EQ(sink.Sizes(), c.blocks);
    EXPECT_EQ(sink.Bytes(), data);
    EXPECT_EQ(gather.Pending(), 0u);

    // Every block but the last ends on a 64 KiB boundary of the file.
    int64_t offset = c.startOffset;
    for (size_t i = 0; i + 1 < sink.m_blocks.size(); ++i) {
        offset += static_cast<int64_t>(sink.m_blocks[i].size());
        EXPECT_EQ(offset % 65536, 0) << "block " << i;
    }

    const int calls = sink.m_nCalls;
    gather.Drain();
    EXPECT_EQ(sink.m_nCalls, calls) << "a second drain has nothing to write";
}

INSTANTIATE_TEST_SUITE_P(
    Writes, WriteGathererBlocks,
    ::testing::Values(
        GatherCase{"nothing", 0, {}, {}, 0}, GatherCase{"zero-length write", 0, {0}, {}, 0},
        GatherCase{"5000 bytes in writes of 2048", 0, {2048, 2048, 904}, {5000}, 0},
        GatherCase{"33 writes of 2048", 0, Repeat(33, 2048), {65536, 2048}, 1},
        GatherCase{"32 writes of 2048 fill one block", 0, Repeat(32, 2048), {65536}, 1},
        GatherCase{"writes of 904 straddle the boundary", 0, Repeat(73, 904), {65536, 456}, 1},
        GatherCase{"160 writes of 2048 and a 904-byte tail",
                   0,
                   Repeat(160, 2048, 904),
                   {65536, 65536, 65536, 65536, 65536, 904},
                   5},
        GatherCase{"after a seek to 5000", 5000, Repeat(40, 2048), {60536, 21384}, 1},
        GatherCase{"after a seek to a boundary", 65536, Repeat(32, 2048), {65536}, 1},
        GatherCase{"one write larger than a block", 0, {200000}, {65536, 65536, 65536, 3392}, 3},
        GatherCase{"one byte at the end of a block", 65535, {1, 1}, {1, 1}, 1}));

TEST(WriteGatherer, FailedBlockIsThrownByTheWriteThatFilledItAndStaysBroken) {
    RecordingSink sink;
    sink.m_nFailAt = 2;
    WriteGatherer gather(sink);
    const std::vector<uint8_t> data = Pattern(2048);

    // 32 writes fill the first block (written), 32 more fill the second (fails).
    for (int i = 0; i < 63; ++i)
        gather.Write(data.data(), data.size());
    EXPECT_FALSE(gather.Failed());
    try {
        gather.Write(data.data(), data.size());
        FAIL() << "the failed block write was not reported";
    } catch (const FileException& e) {
        EXPECT_EQ(e.m_cause, kCauseDiskFull);
        EXPECT_EQ(e.m_lOsError, 112);
    }
    EXPECT_TRUE(gather.Failed());
    EXPECT_EQ(gather.Pending(), 0u);

    // Later calls report the same failure without touching the sink again.
    EXPECT_THROW(gather.Write(data.data(), 1), FileException);
    EXPECT_THROW(gather.Drain(), FileException);
    EXPECT_THROW(gather.Reset(0), FileException);
    EXPECT_EQ(sink.m_nCalls, 2);
    EXPECT_EQ(sink.Sizes(), std::vector<size_t>{65536});
}

TEST(WriteGatherer, FailureOfTheLastPartialBlockComesFromDrain) {
    RecordingSink sink;
    sink.m_nFailAt = 1;
    WriteGatherer gather(sink);
    const std::vector<uint8_t> data = Pattern(904);
    gather.Write(data.data(), data.size());
    EXPECT_EQ(sink.m_nCalls, 0);
    EXPECT_THROW(gather.Drain(), FileException);
    EXPECT_THROW(gather.Drain(), FileException);
    EXPECT_EQ(sink.m_nCalls, 1);
}

}  // namespace
