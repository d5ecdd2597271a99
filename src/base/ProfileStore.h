#pragma once

#include <cstdint>

// Where the options persist: integers by section and entry name. Reads never fail (a value
// that cannot be read yields the default); a failed write is reported but nobody has to care.
class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    virtual int32_t GetProfileInt(const char* section, const char* entry, int32_t nDefault) = 0;
    virtual bool WriteProfileInt(const char* section, const char* entry, int32_t nValue) = 0;
};
