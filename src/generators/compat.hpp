// The previous version's generator (choice 1): a 32-bit linear congruential generator
// with a state of its own (one a thread, as the minimal-standard one) that yields 15 bits,
// 0 to 32767, per step.
#pragma once

#include <cstdint>

namespace lotrix {

extern constinit thread_local std::uint32_t g_compatState;

// A signed seed is taken by its 32 bits.
void SeedCompat(std::uint32_t seed);

[[nodiscard]] constexpr std::uint32_t CompatAdvance(std::uint32_t state) {
    return state * 214013u + 2531011u;
}

// The number a state yields: its bits 16 to 30.
[[nodiscard]] constexpr std::int32_t CompatValue(std::uint32_t state) {
    return static_cast<std::int32_t>((state >> 16) & 0x7FFFu);
}

// The state `steps` steps after s: the step x -> a x + c composed with itself by
// squaring, modulo 2^32.
[[nodiscard]] constexpr std::uint32_t CompatJump(std::uint32_t s, std::uint64_t steps) {
    std::uint32_t multiplier = 214013u, increment = 2531011u;  // the step, then its squares
    for (; steps != 0; steps >>= 1) {
        if ((steps & 1) != 0) s = s * multiplier + increment;
        increment = increment * multiplier + increment;
        multiplier = multiplier * multiplier;
    }
    return s;
}

inline std::int32_t NextCompat() {
    g_compatState = CompatAdvance(g_compatState);
    return CompatValue(g_compatState);
}

}  // namespace lotrix
