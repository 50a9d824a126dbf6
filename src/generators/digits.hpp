// Decimal text of numbers written straight into a buffer, two digits at a time: the
// formatting of the run's lines, which must cost nanoseconds, not a printf call.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace lotrix {

inline constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Exactly `count` digits of value (zero-filled on the left) at out[0..count).
inline void WriteDigits(char* out, std::uint32_t value, int count) {
    char* cursor = out + count;
    while (cursor - out >= 2) {
        cursor -= 2;
        std::memcpy(cursor, &kDigitPairs[2 * (value % 100)], 2);
        value /= 100;
    }
    if (cursor != out) *out = static_cast<char>('0' + value % 10);
}

constexpr int kFieldWidth = 12;

// How many decimal digits value has (1 for 0).
[[nodiscard]] inline int DecimalDigits(std::uint32_t value) {
    static constexpr std::array<std::uint32_t, 10> kPowers{
        1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
    // Setting the lowest bit changes no digit count (an even value is never 10^k - 1) and
    // lets 0 count as the one digit it is printed with.
    const std::uint32_t odd = value | 1u;
    const int estimate = (std::bit_width(odd) * 1233) >> 12;  // log10 from log2, or one less
    return estimate + (odd >= kPowers[static_cast<std::size_t>(estimate)] ? 1 : 0);
}

// A line of the integer rows: the number right-aligned in 12 characters, as "%12d\n",
// "%12u\n" or, with sign '+' or '-', "%+12d\n". Needs 16 bytes of room at out.
//
// All ten digit places are made, zeros included, from a shallow tree of divisions (a
// chain of one division per digit pair would bound the speed), gathered in registers,
// and the leading zeros are turned into blanks before one store: '0' - ' ' is 0x10, so
// subtracting it from the first 10 - digits bytes blanks exactly those. Tables rather
// than branches, because the digit count of random numbers is not predictable.
inline char* WriteFieldLine(char* out, std::uint32_t magnitude, char sign) {
    static_assert(std::endian::native == std::endian::little);
    static constexpr std::array<std::uint64_t, 11> kBlankFirst = [] {
        std::array<std::uint64_t, 11> masks{};
        for (int zeros = 1; zeros <= 10; ++zeros) {
            masks[static_cast<std::size_t>(zeros)] =
                zeros >= 8 ? 0x1010101010101010u : (std::uint64_t{1} << (8 * zeros)) / 255 * 0x10;
        }
        return masks;
    }();
    const auto pair = [](std::uint32_t twoDigits) {
        std::uint16_t bytes;
        std::memcpy(&bytes, &kDigitPairs[2 * twoDigits], 2);
        return std::uint64_t{bytes};
    };
    const std::uint32_t high = magnitude / 100'000'000;  // at most 42
    const std::uint32_t low = magnitude % 100'000'000;
    const std::uint32_t upper4 = low / 10'000, lower4 = low % 10'000;
    const int digits = DecimalDigits(magnitude);
    const auto zeros = static_cast<std::size_t>(10 - digits);  // at most 9
    const std::uint64_t first8 = (pair(high) | pair(upper4 / 100) << 16 | pair(upper4 % 100) << 32 |
                                  pair(lower4 / 100) << 48) -
                                 kBlankFirst[zeros];
    const auto last2 = static_cast<std::uint16_t>(pair(lower4 % 100) - (zeros == 9 ? 0x10 : 0));
    std::memcpy(out, "  ", 2);
    std::memcpy(out + 2, &first8, 8);
    std::memcpy(out + 10, &last2, 2);
    out[kFieldWidth] = '\n';
    if (sign != 0) out[kFieldWidth - 1 - digits] = sign;
    return out + kFieldWidth + 1;
}

}  // namespace lotrix
