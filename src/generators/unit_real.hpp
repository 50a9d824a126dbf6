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

namespace lotrix {

// The scale factor as recorded files have it: the double nearest 4.656612875e-10, a little
// below 1/2147483647, so the values differ from r / 2147483647 from the tenth digit on.
inline constexpr double kUnitScale = std::bit_cast<double>(std::uint64_t{0x3E000000001C5F68});

// One step r of the generator as a real: r times the scale, rounded once.
[[nodiscard]] constexpr double UnitRealFrom(std::int32_t r) {
    return static_cast<double>(r) * kUnitScale;
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
char* WriteUnitRealLines(char* out, const std::int32_t* steps, int count, std::string_view lineEnd);

}  // namespace lotrix
