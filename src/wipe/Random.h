#pragma once

#include <cstddef>
#include <cstdint>

// The job's pseudo-random generator, standing in for the C runtime's rand/srand. Only the low
// byte of each rand result is ever used, so the generator is a stream of bytes: Next() is the
// low byte of one rand call, and Fill() takes the same bytes as that many Next() calls.
// xoshiro128** made only of 32-bit operations, cheap on 32-bit targets.
class JobRandom {
public:
    JobRandom() { Seed(1); }

    void Seed(uint32_t seed);

    uint8_t Next() {
        if (m_nLeft == 0) Refill();
        const uint8_t b = static_cast<uint8_t>(m_word);
        m_word >>= 8;
        --m_nLeft;
        return b;
    }

    void Fill(uint8_t* out, size_t size);

private:
    uint32_t NextWord();
    void Refill() {
        m_word = NextWord();
        m_nLeft = 4;
    }

    uint32_t m_s[4];
    uint32_t m_word = 0;
    int m_nLeft = 0;
};
