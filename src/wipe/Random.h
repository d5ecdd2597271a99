#pragma once

#include <cstddef>
#include <cstdint>

// The job's pseudo-random generator, standing in for the C runtime's rand/srand. Only the low
// byte of each rand result is ever used, so the generator is a stream of bytes: Next() is the
// low byte of one rand call, and Fill() takes the same bytes as that many Next() calls.
//
// Sixteen independent xoshiro128** generators run side by side, made only of 32-bit operations:
// each step is a few vector instructions, on the widest vector unit the processor has, which
// keeps the generator far cheaper per byte than the disk on 32-bit and 64-bit builds alike.
class JobRandom {
public:
    JobRandom() { Seed(1); }

    void Seed(uint32_t seed);

    uint8_t Next() {
        if (m_nUsed == kBlockBytes) {
            Step(m_block);
            m_nUsed = 0;
        }
        return m_block[m_nUsed++];
    }

    void Fill(uint8_t* out, size_t size);

    // The widest vector unit used, in lanes (16, 8 or 4; the default is the widest the
    // processor has). Tests lower it to see that every unit draws the same bytes.
    static void LimitLanes(int lanes);

    static constexpr int kLanes = 16;
    static constexpr size_t kBlockBytes = kLanes * 4;

private:
    // One step of every lane: 64 fresh bytes.
    void Step(uint8_t* out);

    uint32_t m_state[4][kLanes];  // the four words of each lane's state
    uint8_t m_block[kBlockBytes];
    size_t m_nUsed = kBlockBytes;
};
