// The terminal's escape sequences for cursor, editing and function keys, mapped onto the
// program's key codes (platform/keys.hpp). The encodings of xterm, VT220 and the Linux
// console are understood, with or without modifiers (Ctrl+Up reads as Up).
#pragma once

#include <string_view>

#include "platform/keys.hpp"

namespace lotrix {

// `sequence` is what followed the Esc byte, the introducer ('[' or 'O') included.
// keys::kNoKey when the sequence is not one of the keys known here.
[[nodiscard]] keys::TwoCodes DecodeEscapeSequence(std::string_view sequence);

// The terminal's escape sequences end with a byte in this range (after "Esc [").
[[nodiscard]] constexpr bool IsSequenceFinal(unsigned char c) {
    return c >= 0x40 && c <= 0x7E;
}

}  // namespace lotrix
