// Choice 2: reals in (0, 1), one step r of the minimal-standard generator times K, and
// their text: the exact binary value rounded to 17 significant digits, fixed style from
// 0.0001 up and exponent style (three-digit exponent, as e-006) below, trailing zeros
// dropped. For every value the generator gives, the text is made by exact integer
// arithmetic and depends on nothing but the value: no locale, no rounding mode.
#pragma once

#include <bit>
#include <cstdint>
#include <string_view>

#include "generators/minimal_standard.hpp"
#include "generators/wide_product.hpp"

namespace lotrix {

// The scale factor as recorded files have it: the double nearest 4.656612875e-10, a little
// below 1/2147483647, so the values differ from r / 2147483647 from the tenth digit on.
inline constexpr double kUnitScale = std::bit_cast<double>(std::uint64_t{0x3E000000001C5F68});

// One step r of the generator (0 to 2^31 - 2) as a real: r times the scale, rounded once to
// the nearest double (ties to even), as an IEEE multiplication rounds it. Made by exact
// integer arithmetic, because a processor may evaluate a double product in a wider format
// and round it twice (the x87 unit of 32-bit x86 does), which changes the last digit of
// about 240 values in a million.
[[nodiscard]] constexpr double UnitRealFrom(std::int32_t r) {
    if (r == 0) return 0.0;
    constexpr std::uint64_t kScaleBits = std::bit_cast<std::uint64_t>(kUnitScale);
    constexpr std::uint64_t kImplicitBit = std::uint64_t{1} << 52;
    // kUnitScale = kSignificand * 2^kScaleExponent, a 53-bit integer significand.
    constexpr std::uint64_t kSignificand = (kScaleBits & (kImplicitBit - 1)) | kImplicitBit;
    constexpr int kScaleExponent = static_cast<int>(kScaleBits >> 52) - 1075;
    const auto magnitude = static_cast<std::uint32_t>(r);  // a step is never negative
    // The exact product has 53 to 84 bits; `drop` of them go, rounded to nearest even.
    const WideProduct exact = MultiplyWide(magnitude, kSignificand);
    const int width =
        exact.high != 0 ? 128 - std::countl_zero(exact.high) : 64 - std::countl_zero(exact.low);
    const int drop = width - 53;  // 0 to 31
    std::uint64_t kept = drop == 0 ? exact.low : exact.low >> drop | exact.high << (64 - drop);
    const std::uint64_t rest = exact.low & ((std::uint64_t{1} << drop) - 1);
    const std::uint64_t half = drop == 0 ? 0 : std::uint64_t{1} << (drop - 1);
    if (drop > 0 && (rest > half || (rest == half && (kept & 1) != 0))) ++kept;
    int exponent = kScaleExponent + drop;  // the value is kept * 2^exponent
    if (kept == kImplicitBit << 1) {
        kept >>= 1;
        ++exponent;
    }
    return std::bit_cast<double>(static_cast<std::uint64_t>(exponent + 1075) << 52 |
                                 (kept - kImplicitBit));
}

inline double NextUnitReal() {
    return UnitRealFrom(NextMinimalStandard());
}

// Writes the text of x (finite, not negative) at `out` and returns the end of it.
char* FormatReal(double x, char* out);

// A whole line of choice 2: seven blanks, the text of x as FormatReal writes it, and the
// line end (one or two bytes). Values from 0.0001 up to 1, nearly all of them, take a
// short way with stores of fixed size (up to 32 bytes from `out` are stored to); the
// others FormatReal's.
char* WriteUnitRealLine(char* out, double x, std::string_view lineEnd);

// The lines of `count` steps of the generator, one by one.
char* WriteRealLines(char* out, const std::int32_t* steps, int count, std::string_view lineEnd);

}  // namespace lotrix
