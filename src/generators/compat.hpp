// The previous version's generator (choice 1): a 32-bit linear congruential generator
// with a state of its own that yields 15 bits, 0 to 32767, per step.
#pragma once

#include <cstdint>

namespace lotrix {

extern std::uint32_t g_compatState;

// A signed seed is taken by its 32 bits.
void SeedCompat(std::uint32_t seed);

inline std::int32_t NextCompat() {
    g_compatState = g_compatState * 214013u + 2531011u;
    return static_cast<std::int32_t>((g_compatState >> 16) & 0x7FFFu);
}

}  // namespace lotrix
