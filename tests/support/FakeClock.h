#pragma once

#include <cstdint>

#include "wipe/Clock.h"

// A clock that reads `now` and then moves it on by `step`, so that a test can make every
// reading a new second, or all of them the same.
class FakeClock : public Clock {
public:
    explicit FakeClock(int64_t start = 0, int64_t stepAfterEachRead = 0)
        : now(start), step(stepAfterEachRead) {}

    int64_t Now() override {
        const int64_t value = now;
        now += step;
        ++reads;
        return value;
    }

    int64_t now;
    int64_t step;
    int reads = 0;
};
