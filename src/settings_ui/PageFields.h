#pragma once

#include <cstdint>

// The options are signed; five of them are exchanged with their edits as unsigned numbers, so
// that a stored negative value shows as the large number it is and fails the range check.
inline uint32_t& AsUnsigned(int32_t& field) {
    return reinterpret_cast<uint32_t&>(field);
}
