// Choice 4: integers within the user's bounds, both included. A step r of the
// minimal-standard generator becomes lower + floor(width * r / 2147483647), where width
// is the number of values in the interval (at most 2147483647). The value is computed
// exactly and in constant time with 64-bit arithmetic, so no number of a run takes
// longer than another.
#pragma once

#include <cstdint>

#include "generators/minimal_standard.hpp"

namespace lotrix {

// floor(width * r / M) + 1: a value in 1..width for r in 1..M-1 (1 for the stuck state 0).
[[nodiscard]] constexpr std::int32_t ScaleStep(std::int32_t width, std::int32_t r) {
    const std::uint64_t product = static_cast<std::uint64_t>(static_cast<std::uint32_t>(width)) *
                                  static_cast<std::uint32_t>(r);
    return static_cast<std::int32_t>(product / static_cast<std::uint64_t>(kModulus)) + 1;
}

// One step of the generator scaled into 1..width, for 1 <= width <= 2147483647.
inline std::int32_t ScaleToCount(std::int32_t width) {
    return ScaleStep(width, NextMinimalStandard());
}

// The number of values from lower to upper, taken in 64 bits: it exceeds the 32-bit range
// for bounds further apart than 2147483646.
[[nodiscard]] constexpr std::int64_t IntervalWidth(std::int32_t lower, std::int32_t upper) {
    return static_cast<std::int64_t>(upper) - lower + 1;
}

// A value in [lower, upper] for lower < upper; lower when they are equal; 0 when
// lower > upper (the dialogue lets neither case through to a run).
inline std::int32_t DrawInInterval(std::int32_t lower, std::int32_t upper) {
    if (lower < upper) {
        const auto width = static_cast<std::int32_t>(IntervalWidth(lower, upper));
        const auto offset = static_cast<std::uint32_t>(ScaleToCount(width) - 1);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(lower) + offset);
    }
    return lower == upper ? lower : 0;
}

}  // namespace lotrix
