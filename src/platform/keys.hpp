// The codes the program reads keys as, whatever the platform: a key with a character is
// that character's code; a cursor, editing or function key is read as two codes, as the
// PC keyboard reports it, a prefix (0 for F1 to F10, 224 for the others) and then the
// key's own code. Each platform maps its own keyboard input onto the names here.
#pragma once

namespace lotrix::keys {

inline constexpr int kEsc = 27;
inline constexpr int kEndOfInput = -1;  // there is no keyboard, or it has gone

struct TwoCodes {
    int prefix;  // kFunctionPrefix or kExtendedPrefix; -1 for kNoKey
    int code;
};

inline constexpr int kFunctionPrefix = 0;
inline constexpr int kExtendedPrefix = 224;
inline constexpr TwoCodes kNoKey{-1, 0};

inline constexpr TwoCodes kUp{kExtendedPrefix, 72};
inline constexpr TwoCodes kDown{kExtendedPrefix, 80};
inline constexpr TwoCodes kLeft{kExtendedPrefix, 75};
inline constexpr TwoCodes kRight{kExtendedPrefix, 77};
inline constexpr TwoCodes kHome{kExtendedPrefix, 71};
inline constexpr TwoCodes kEnd{kExtendedPrefix, 79};
inline constexpr TwoCodes kPageUp{kExtendedPrefix, 73};
inline constexpr TwoCodes kPageDown{kExtendedPrefix, 81};
inline constexpr TwoCodes kInsert{kExtendedPrefix, 82};
inline constexpr TwoCodes kDelete{kExtendedPrefix, 83};

// F1 to F12 by number: F1 to F10 have the prefix 0 and the codes 59 to 68, F11 and F12
// the prefix 224 and the codes 133 and 134. kNoKey for any other number.
[[nodiscard]] constexpr TwoCodes FunctionKey(int number) {
    if (number >= 1 && number <= 10) return {kFunctionPrefix, 58 + number};
    if (number == 11 || number == 12) return {kExtendedPrefix, 122 + number};
    return kNoKey;
}

}  // namespace lotrix::keys
