#include "wipe/Random.h"

#include <cstring>

namespace {

inline uint32_t Rotl(uint32_t x, int k) {
    return (x << k) | (x >> (32 - k));
}

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
    for (uint32_t& s : m_s)
        s = SplitMix(x);
    if ((m_s[0] | m_s[1] | m_s[2] | m_s[3]) == 0) m_s[0] = 1;
    m_nLeft = 0;
    m_word = 0;
}

uint32_t JobRandom::NextWord() {
    const uint32_t result = Rotl(m_s[1] * 5, 7) * 9;
    const uint32_t t = m_s[1] << 9;
    m_s[2] ^= m_s[0];
    m_s[3] ^= m_s[1];
    m_s[1] ^= m_s[2];
    m_s[0] ^= m_s[3];
    m_s[2] ^= t;
    m_s[3] = Rotl(m_s[3], 11);
    return result;
}

void JobRandom::Fill(uint8_t* out, size_t size) {
    // Use up the bytes left over from the last word first, so that Fill and Next draw the
    // same stream.
    while (size > 0 && m_nLeft > 0) {
        *out++ = Next();
        --size;
    }
    while (size >= 4) {
        const uint32_t w = NextWord();
        out[0] = static_cast<uint8_t>(w);
        out[1] = static_cast<uint8_t>(w >> 8);
        out[2] = static_cast<uint8_t>(w >> 16);
        out[3] = static_cast<uint8_t>(w >> 24);
        out += 4;
        size -= 4;
    }
    while (size > 0) {
        *out++ = Next();
        --size;
    }
}
