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
//
// The division needs no multiplication: with p = width * r = a * 2^31 + b and
// 2^31 = M + 1, p = a * M + (a + b), and a + b < 2M for every p below M^2, so the
// quotient is a, or a + 1 when a + b reaches M.
[[nodiscard]] constexpr std::int32_t ScaleStep(std::int32_t width, std::int32_t r) {
    const std::uint64_t product = static_cast<std::uint64_t>(static_cast<std::uint32_t>(width)) *
                                  static_cast<std::uint32_t>(r);
    const std::uint64_t high = product >> 31;
    const std::uint64_t low = product & static_cast<std::uint64_t>(kModulus);
    const std::uint64_t quotient =
        high + (high + low >= static_cast<std::uint64_t>(kModulus) ? 1 : 0);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(quotient) + 1u);
}

// The number of values from lower to upper, taken in 64 bits: it exceeds the 32-bit range
// for bounds further apart than 2147483646.
[[nodiscard]] constexpr std::int64_t IntervalWidth(std::int32_t lower, std::int32_t upper) {
    return static_cast<std::int64_t>(upper) - lower + 1;
}

// The value's offset from the lower bound for a step r: 0..width-1.
[[nodiscard]] constexpr std::uint32_t IntervalOffset(std::int32_t width, std::int32_t r) {
    return static_cast<std::uint32_t>(ScaleStep(width, r) - 1);
}
// The value at `offset` from `lower`, the sum taken in wrapping arithmetic: the result
// always lies within the bounds.
[[nodiscard]] constexpr std::int32_t OffsetValue(std::int32_t lower, std::uint32_t offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(lower) + offset);
}
// The value that a step r of the generator gives in [lower, upper], for lower < upper.
[[nodiscard]] constexpr std::int32_t IntervalValue(std::int32_t lower, std::int32_t width,
                                                   std::int32_t r) {
    return OffsetValue(lower, IntervalOffset(width, r));
}

// A value in [lower, upper] for lower < upper; lower when they are equal; 0 when
// lower > upper (the dialogue lets neither case through to a run, and neither draws).
inline std::int32_t DrawInInterval(std::int32_t lower, std::int32_t upper) {
    if (lower < upper) {
        const auto width = static_cast<std::int32_t>(IntervalWidth(lower, upper));
        return IntervalValue(lower, width, NextMinimalStandard());
    }
    return lower == upper ? lower : 0;
}

}  // namespace lotrix
