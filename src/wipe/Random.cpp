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

constexpr int kLanes = JobRandom::kLanes;
constexpr size_t kBlockBytes = JobRandom::kBlockBytes;

int g_maxLanes = kLanes;

// The four state words of every lane.
typedef uint32_t (*State)[kLanes];

// `blocks` steps of every lane, W lanes at a time, each group's state kept in one vector
// register per word. A group runs through all its blocks before the next one starts, so that a
// 32-bit build with its eight vector registers never runs short of them; each group's words
// land at their place in every 64-byte block.
template <int W>
inline __attribute__((always_inline)) void StepGroups(State state, uint8_t* out, size_t blocks) {
    typedef uint32_t Vec __attribute__((vector_size(4 * W)));
    for (int first = 0; first < kLanes; first += W) {
        Vec s0, s1, s2, s3;
        std::memcpy(&s0, state[0] + first, sizeof(Vec));
        std::memcpy(&s1, state[1] + first, sizeof(Vec));
        std::memcpy(&s2, state[2] + first, sizeof(Vec));
        std::memcpy(&s3, state[3] + first, sizeof(Vec));
        uint8_t* o = out + 4 * first;
        for (size_t b = 0; b < blocks; ++b, o += kBlockBytes) {
            const Vec x1 = s1;
            const Vec x5 = (x1 << 2) + x1;
            const Vec r = (x5 << 7) | (x5 >> 25);
            const Vec result = (r << 3) + r;
            const Vec t = x1 << 9;
            s2 ^= s0;
            s3 ^= x1;
            s1 = x1 ^ s2;
            s0 ^= s3;
            s2 ^= t;
            s3 = (s3 << 11) | (s3 >> 21);
            // Little-endian byte order of each word, whatever the host's.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            std::memcpy(o, &result, sizeof(Vec));
#else
            for (int i = 0; i < W; ++i) {
                for (int k = 0; k < 4; ++k)
                    o[4 * i + k] = static_cast<uint8_t>(result[i] >> (8 * k));
            }
#endif
        }
        std::memcpy(state[0] + first, &s0, sizeof(Vec));
        std::memcpy(state[1] + first, &s1, sizeof(Vec));
        std::memcpy(state[2] + first, &s2, sizeof(Vec));
        std::memcpy(state[3] + first, &s3, sizeof(Vec));
    }
}

// Four lanes: SSE2, which every 64-bit x86 and the 32-bit build's target have, or whatever
// vector unit (or none) another processor offers.
void StepBy4(State state, uint8_t* out, size_t blocks) {
    StepGroups<4>(state, out, blocks);
}

#if defined(__i386__) || defined(__x86_64__)
// The wider units are used only where the processor and the system have them, so one program
// runs on every x86; the bytes are the same whichever runs.
__attribute__((target("avx2"))) void StepBy8(State state, uint8_t* out, size_t blocks) {
    StepGroups<8>(state, out, blocks);
}
__attribute__((target("avx512f"))) void StepBy16(State state, uint8_t* out, size_t blocks) {
    StepGroups<16>(state, out, blocks);
}
#endif

void StepBlocks(State state, uint8_t* out, size_t blocks) {
#if defined(__i386__) || defined(__x86_64__)
    if (g_maxLanes >= 16 && __builtin_cpu_supports("avx512f")) return StepBy16(state, out, blocks);
    if (g_maxLanes >= 8 && __builtin_cpu_supports("avx2")) return StepBy8(state, out, blocks);
#endif
    StepBy4(state, out, blocks);
}

}  // namespace

void JobRandom::LimitLanes(int lanes) {
    g_maxLanes = lanes;
}

void JobRandom::Seed(uint32_t seed) {
    uint32_t x = seed;
    for (int i = 0; i < kLanes; ++i) {
        for (auto& word : m_state)
            word[i] = SplitMix(x);
        if ((m_state[0][i] | m_state[1][i] | m_state[2][i] | m_state[3][i]) == 0) m_state[0][i] = 1;
    }
    m_nUsed = kBlockBytes;
}

void JobRandom::Step(uint8_t* out) {
    StepBlocks(m_state, out, 1);
}

void JobRandom::Fill(uint8_t* out, size_t size) {
    // Bytes left over from the last block come first, so that Fill and Next draw one stream.
    while (size > 0 && m_nUsed < kBlockBytes) {
        *out++ = m_block[m_nUsed++];
        --size;
    }
    const size_t blocks = size / kBlockBytes;
    StepBlocks(m_state, out, blocks);
    out += blocks * kBlockBytes;
    size -= blocks * kBlockBytes;
    if (size > 0) {
        Step(m_block);
        std::memcpy(out, m_block, size);
        m_nUsed = size;
    }
}
