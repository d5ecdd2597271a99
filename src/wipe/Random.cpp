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

void JobRandom::Step(uint8_t* out) {
    uint32_t result[kLanes];
    // Written lane by lane with shifts and adds (x * 5, x * 9) so that it vectorises on any
    // x86 vector unit, SSE2 included.
    for (int i = 0; i < kLanes; ++i) {
        const uint32_t s1 = m_s1[i];
        const uint32_t x5 = (s1 << 2) + s1;
        const uint32_t r = (x5 << 7) | (x5 >> 25);
        result[i] = (r << 3) + r;
        const uint32_t t = s1 << 9;
        m_s2[i] ^= m_s0[i];
        m_s3[i] ^= s1;
        m_s1[i] = s1 ^ m_s2[i];
        m_s0[i] ^= m_s3[i];
        m_s2[i] ^= t;
        m_s3[i] = (m_s3[i] << 11) | (m_s3[i] >> 21);
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

void JobRandom::Fill(uint8_t* out, size_t size) {
    // Bytes left over from the last block come first, so that Fill and Next draw one stream.
    while (size > 0 && m_nUsed < kBlockBytes) {
        *out++ = m_block[m_nUsed++];
        --size;
    }
    while (size >= kBlockBytes) {
        Step(out);
        out += kBlockBytes;
        size -= kBlockBytes;
    }
    if (size > 0) {
        Step(m_block);
        std::memcpy(out, m_block, size);
        m_nUsed = size;
    }
}
