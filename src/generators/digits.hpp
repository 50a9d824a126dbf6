// Decimal text of numbers written straight into a buffer, two digits at a time: the
// formatting of the run's lines, which must cost nanoseconds, not a printf call.
#pragma once

#include <array>
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

// The digits of value ending just before `end`, without leading zeros; returns their start.
inline char* WriteDigitsBackward(char* end, std::uint32_t value) {
    while (value >= 100) {
        end -= 2;
        std::memcpy(end, &kDigitPairs[2 * (value % 100)], 2);
        value /= 100;
    }
    if (value >= 10) {
        end -= 2;
        std::memcpy(end, &kDigitPairs[2 * value], 2);
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

constexpr int kFieldWidth = 12;

// A line of the integer rows: the number right-aligned in 12 characters, as "%12d\n",
// "%12u\n" or, with sign '+' or '-', "%+12d\n". Needs 16 bytes of room at out.
inline char* WriteFieldLine(char* out, std::uint32_t magnitude, char sign) {
    std::memcpy(out, "                ", 16);  // the field's blanks, in one store
    char* first = WriteDigitsBackward(out + kFieldWidth, magnitude);
    if (sign != 0) first[-1] = sign;
    out[kFieldWidth] = '\n';
    return out + kFieldWidth + 1;
}

}  // namespace lotrix
