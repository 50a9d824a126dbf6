// The exact 128-bit product of two 64-bit numbers and its rounded shift: what the reals'
// text needs beyond 64 bits. GCC and Clang multiply with their unsigned __int128; another
// compiler (MSVC has none) takes the portable path, four 32-bit products.
#pragma once

#include <cstdint>

namespace lotrix {

struct WideProduct {
    std::uint64_t high;
    std::uint64_t low;
};

[[nodiscard]] constexpr WideProduct MultiplyWidePortable(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t aLow = a & 0xFFFF'FFFFu, aHigh = a >> 32;
    const std::uint64_t bLow = b & 0xFFFF'FFFFu, bHigh = b >> 32;
    const std::uint64_t lowLow = aLow * bLow;
    const std::uint64_t highLow = aHigh * bLow;
    const std::uint64_t lowHigh = aLow * bHigh;
    const std::uint64_t middle = (lowLow >> 32) + (highLow & 0xFFFF'FFFFu) + lowHigh;
    return {aHigh * bHigh + (highLow >> 32) + (middle >> 32),
            (middle << 32) | (lowLow & 0xFFFF'FFFFu)};
}

[[nodiscard]] constexpr WideProduct MultiplyWide(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
    __extension__ using Wide = unsigned __int128;
    const Wide product = static_cast<Wide>(a) * b;
    return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
#else
    return MultiplyWidePortable(a, b);
#endif
}

// (product + 2^(shift - 1)) >> shift, rounding halves up, for 1 <= shift <= 127 and a
// product below 2^127; the result must fit in 64 bits.
[[nodiscard]] constexpr std::uint64_t ShiftRounded(WideProduct product, int shift) {
    const std::uint64_t half = shift <= 64 ? std::uint64_t{1} << (shift - 1) : 0;
    const std::uint64_t halfHigh = shift > 64 ? std::uint64_t{1} << (shift - 65) : 0;
    const std::uint64_t low = product.low + half;
    const std::uint64_t high = product.high + halfHigh + (low < half ? 1 : 0);
    if (shift >= 64) return high >> (shift - 64);
    return (high << (64 - shift)) | (low >> shift);
}

}  // namespace lotrix
