// The vector paths' way to the blanks and signs of the field format ("%12u", "%+12d").
// Each number's line is made from 16 bytes in four vectors of 4 bytes a number: `head`
// (the two bytes before the digits), `top` (digit places 0-1, then the line end), `hundreds`
// (places 2-3 and 6-7) and `rest` (places 4-5 and 8-9). Bytes the digit arithmetic leaves
// at 0 (head, and every leading zero) get their character by adding an offset that depends
// only on the number's count of leading zeros and its sign: ' ', or the sign just before
// the first digit; the other places get '0'.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lotrix {

enum class FieldVector { head = 0, top = 1, hundreds = 2, rest = 3 };

// The byte of the line that each byte of a vector becomes (-1: none, or the line end):
// 0-1 the two bytes before the digits, 2-11 the ten places.
inline constexpr std::array<std::array<int, 4>, 4> kFieldPositions = {{
    {0, 1, -1, -1},  // head; bytes 2 and 3 unused
    {2, 3, -1, -1},  // top, then the line end
    {4, 5, 8, 9},    // hundreds
    {6, 7, 10, 11},  // rest
}};

// The four offsets of one vector for a number with `zeros` leading zeros (0-9) and the
// character `sign` ('+', '-', or ' ' for none), lowest byte first.
constexpr std::uint32_t FieldOffsets(FieldVector vector, int zeros, char sign) {
    std::uint32_t word = 0;
    for (std::size_t byte = 4; byte-- > 0;) {
        const int position = kFieldPositions[static_cast<std::size_t>(vector)][byte];
        const int firstDigit = 2 + zeros;
        int offset = '0';
        if (position < 0)
            offset = 0;
        else if (position < firstDigit - 1)
            offset = ' ';
        else if (position == firstDigit - 1)
            offset = sign;
        word = word << 8 | static_cast<std::uint32_t>(offset);
    }
    return word;
}

}  // namespace lotrix
