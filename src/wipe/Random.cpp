#include "wipe/Random.h"

#include <cstring>

namespace {

// splitmix32, to spread a small seed (the clock's seconds) over the whole state.
inline uint32_t SplitMix(uint32_t& x) {
    uint32_t z = (x += 0x9E3779B9u);
    z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
    z = (z ^ (z >> 13)) * 0xC2B2AE35u;
    return z ^ (z >> 16);
}

}  // namespace

void JobRandom::Seed(uint32_t seed) {
    uint32_t x = seed;
    for (int i = 0; i < kLanes; ++i) {
        m_s0[i] = SplitMix(x);
        m_s1[i] = SplitMix(x);
        m_s2[i] = SplitMix(x);
        m_s3[i] = SplitMix(x);
        if ((m_s0[i] | m_s1[i] | m_s2[i] | m_s3[i]) == 0) m_s0[i] = 1;
    }
    m_nUsed = kBlockBytes;
}

namespace {

constexpr int kLanes = JobRandom::kLanes;

// The lanes' steps for `blocks` blocks of output. On x86-64 ELF systems it is compiled for the
// wider vector units too, and the loader picks the widest that the processor has; the bytes are
// the same whichever runs.
#if defined(__x86_64__) && defined(__ELF__)
__attribute__((target_clones("avx512f", "avx2", "default")))
#endif
void StepBlocks(uint32_t* state0, uint32_t* state1, uint32_t* state2, uint32_t* state3,
                uint8_t* out, size_t blocks) {
    // The state is worked on in copies of its own, which the compiler may keep in registers:
    // the output could otherwise overlap it, as far as the compiler knows.
    uint32_t s0[kLanes], s1[kLanes], s2[kLanes], s3[kLanes];
    std::memcpy(s0, state0, sizeof(s0));
    std::memcpy(s1, state1, sizeof(s1));
    std::memcpy(s2, state2, sizeof(s2));
    std::memcpy(s3, state3, sizeof(s3));
    for (size_t b = 0; b < blocks; ++b, out += JobRandom::kBlockBytes) {
        uint32_t result[kLanes];
        // Written lane by lane with shifts and adds (x * 5, x * 9) so that it vectorises on any
        // x86 vector unit, SSE2 included.
        for (int i = 0; i < kLanes; ++i) {
            const uint32_t x1 = s1[i];
            const uint32_t x5 = (x1 << 2) + x1;
            const uint32_t r = (x5 << 7) | (x5 >> 25);
            result[i] = (r << 3) + r;
            const uint32_t t = x1 << 9;
            s2[i] ^= s0[i];
            s3[i] ^= x1;
            s1[i] = x1 ^ s2[i];
            s0[i] ^= s3[i];
            s2[i] ^= t;
            s3[i] = (s3[i] << 11) | (s3[i] >> 21);
        }
        // Little-endian byte order of each word, whatever the host's.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        std::memcpy(out, result, sizeof(result));
#else
        for (int i = 0; i < kLanes; ++i) {
            out[4 * i + 0] = static_cast<uint8_t>(result[i]);
            out[4 * i + 1] = static_cast<uint8_t>(result[i] >> 8);
            out[4 * i + 2] = static_cast<uint8_t>(result[i] >> 16);
            out[4 * i + 3] = static_cast<uint8_t>(result[i] >> 24);
        }
#endif
    }
    std::memcpy(state0, s0, sizeof(s0));
    std::memcpy(state1, s1, sizeof(s1));
    std::memcpy(state2, s2, sizeof(s2));
    std::memcpy(state3, s3, sizeof(s3));
}

}  // namespace

void JobRandom::Step(uint8_t* out) {
    StepBlocks(m_s0, m_s1, m_s2, m_s3, out, 1);
}

void JobRandom::Fill(uint8_t* out, size_t size) {
    // Bytes left over from the last block come first, so that Fill and Next draw one stream.
    while (size > 0 && m_nUsed < kBlockBytes) {
        *out++ = m_block[m_nUsed++];
        --size;
    }
    const size_t blocks = size / kBlockBytes;
    StepBlocks(m_s0, m_s1, m_s2, m_s3, out, blocks);
    out += blocks * kBlockBytes;
    size -= blocks * kBlockBytes;
    if (size > 0) {
        Step(m_block);
        std::memcpy(out, m_block, size);
        m_nUsed = size;
    }
}
