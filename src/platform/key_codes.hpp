// Translation of the terminal's escape sequences into the PC keyboard's two-code form:
// a prefix (0 for F1 to F10, 224 for the others) and the key's own code.
#pragma once

#include <string_view>

namespace lotrix {

struct KeyCodes {
    int prefix;  // 0 or 224; -1 when the sequence is not one of the keys known here
    int code;
};

// `sequence` is what followed the Esc byte, the introducer ('[' or 'O') included.
[[nodiscard]] KeyCodes DecodeEscapeSequence(std::string_view sequence);

// The terminal's escape sequences end with a byte in this range (after "Esc [").
[[nodiscard]] constexpr bool IsSequenceFinal(unsigned char c) {
    return c >= 0x40 && c <= 0x7E;
}

}  // namespace lotrix
