#pragma once

#include <cstdint>
#include <ctime>

// The seconds clock that seeds the generator; tests replace it to control the seeds.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t Now() = 0;
};

class SystemClock : public Clock {
public:
    int64_t Now() override { return static_cast<int64_t>(std::time(nullptr)); }
};
