// Decimal text of numbers written straight into a buffer, two digits at a time: the
// formatting of the run's lines, which must cost nanoseconds, not a printf call.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace lotrix {

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

// What stands before the digits of a field line.
enum class Sign : int { none = 0, plus = 1, minus = 2 };

namespace detail {

// For each count of leading zeros among the ten digit places (0 to 9) and each Sign, the
// bytes that turn the zero-filled field into the printed one, applied by XOR to the
// field's two 8-byte words (bytes 0-7 and 8-15): '0' ^ ' ' blanks a leading zero, and the
// sign replaces the blank or zero just before the first digit. XOR carries nothing from
// byte to byte, so one operation per word does every place at once.
struct FieldMasks {
    std::uint64_t first, second;
};

inline constexpr std::array<FieldMasks, 30> kFieldMasks = [] {
    std::array<FieldMasks, 30> table{};
    for (int zeros = 0; zeros <= 9; ++zeros) {
        for (int sign = 0; sign <= 2; ++sign) {
            std::array<unsigned char, 16> flip{};  // the field: 2 blanks, then 10 digit places
            for (int place = 0; place < zeros; ++place)
                flip[2 + place] = '0' ^ ' ';
            const int signAt = 1 + zeros;  // byte 1 is a blank; later ones are zeros
            const unsigned char under = signAt == 1 ? ' ' : '0';
            if (sign == 1) flip[signAt] = under ^ '+';
            if (sign == 2) flip[signAt] = under ^ '-';
            FieldMasks& masks = table[static_cast<std::size_t>(zeros * 3 + sign)];
            for (int i = 7; i >= 0; --i) {
                masks.first = masks.first << 8 | flip[static_cast<std::size_t>(i)];
                masks.second = masks.second << 8 | flip[static_cast<std::size_t>(8 + i)];
            }
        }
    }
    return table;
}();

// The two characters of each number 0 to 99 as one 16-bit word, first character lowest,
// so that a pair is a single indexed load.
inline constexpr std::array<std::uint16_t, 100> kPairWords = [] {
    std::array<std::uint16_t, 100> words{};
    for (std::size_t i = 0; i < 100; ++i) {
        words[i] = static_cast<std::uint16_t>(('0' + i / 10) | ('0' + i % 10) << 8);
    }
    return words;
}();

[[nodiscard]] inline std::uint64_t Pair(std::uint32_t twoDigits) {
    return kPairWords[twoDigits];
}

}  // namespace detail

// The eight digits of value < 10^8 as four digit pairs in one word, lowest byte first.
// value / 10^6 is held as a fixed-point number with 48 fraction bits, taken a little
// high so that every digit comes out exact (checked for every value below 10^8): each
// multiplication by 100 brings the next two digits above the fraction.
[[nodiscard]] inline std::uint64_t EightDigits(std::uint32_t value) {
    constexpr std::uint64_t kFraction = (std::uint64_t{1} << 48) - 1;
    std::uint64_t y = std::uint64_t{value} * 281'474'977u;  // ceil(2^48 / 10^6)
    std::uint64_t pairs = detail::Pair(static_cast<std::uint32_t>(y >> 48));
    for (int shift = 16; shift < 64; shift += 16) {
        y = (y & kFraction) * 100;
        pairs |= detail::Pair(static_cast<std::uint32_t>(y >> 48)) << shift;
    }
    return pairs;
}

// The words of text here hold their first character in the lowest byte, whatever the
// processor's byte order; this stores the first `bytes` characters of one in order.
inline void StoreText(char* out, std::uint64_t text, std::size_t bytes = 8) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &text, bytes);
    } else {
        for (std::size_t i = 0; i < bytes; ++i)
            out[i] = static_cast<char>(text >> (8 * i));
    }
}

// A line end of one or two bytes (LF, or CR LF) as the low bytes of a word, first byte
// lowest.
[[nodiscard]] constexpr std::uint64_t LineEndWord(std::string_view lineEnd) {
    std::uint64_t word = 0;
    for (std::size_t i = lineEnd.size(); i-- > 0;)
        word = word << 8 | static_cast<unsigned char>(lineEnd[i]);
    return word;
}

// A line of the integer rows: the number right-aligned in 12 characters, as "%12d" or
// "%12u" (Sign::none) or "%+12d", then the line end of one or two bytes. Writes 16 bytes
// at out; returns the line's end.
//
// All ten digit places are made, zeros included, without a chain of divisions, gathered
// in two words and finished by the masks above: tables rather than branches, because
// the digit count of random numbers is not predictable.
inline char* WriteFieldLine(char* out, std::uint32_t magnitude, Sign sign,
                            std::uint64_t lineEndWord, std::size_t lineEndSize) {
    const std::uint32_t high = magnitude / 100'000'000;  // at most 42
    const std::uint64_t low = EightDigits(magnitude % 100'000'000);
    const int zeros = 10 - DecimalDigits(magnitude);
    const detail::FieldMasks& masks =
        detail::kFieldMasks[static_cast<std::size_t>(zeros * 3 + static_cast<int>(sign))];
    const std::uint64_t first = (0x2020u | detail::Pair(high) << 16 | low << 32) ^ masks.first;
    const std::uint64_t second = (low >> 32 | lineEndWord << 32) ^ masks.second;
    StoreText(out, first);
    StoreText(out + 8, second);
    return out + kFieldWidth + lineEndSize;
}

inline char* WriteFieldLine(char* out, std::uint32_t magnitude, Sign sign,
                            std::string_view lineEnd) {
    return WriteFieldLine(out, magnitude, sign, LineEndWord(lineEnd), lineEnd.size());
}

// A line of "%+12d": the value's sign, then its magnitude (2^31 for the least value).
inline char* WriteSignedFieldLine(char* out, std::int32_t value, std::uint64_t lineEndWord,
                                  std::size_t lineEndSize) {
    const auto bits = static_cast<std::uint32_t>(value);
    return WriteFieldLine(out, value < 0 ? 0u - bits : bits, value < 0 ? Sign::minus : Sign::plus,
                          lineEndWord, lineEndSize);
}

inline char* WriteSignedFieldLine(char* out, std::int32_t value, std::string_view lineEnd) {
    return WriteSignedFieldLine(out, value, LineEndWord(lineEnd), lineEnd.size());
}

}  // namespace lotrix
