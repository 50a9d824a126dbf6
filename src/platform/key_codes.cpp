#include "platform/key_codes.hpp"

namespace lotrix {
namespace {

constexpr int kFunctionPrefix = 0;
constexpr int kExtendedPrefix = 224;
constexpr KeyCodes kUnknown{-1, 0};

constexpr KeyCodes Extended(int code) {
    return {kExtendedPrefix, code};
}

// F1..F12 by number: the PC gives F1 to F10 the prefix 0, F11 and F12 the prefix 224.
constexpr KeyCodes FunctionKey(int number) {
    if (number >= 1 && number <= 10) return {kFunctionPrefix, 58 + number};
    if (number == 11) return Extended(133);
    if (number == 12) return Extended(134);
    return kUnknown;
}

// The letter that ends "Esc [ ... X" or "Esc O X", modifiers ignored.
constexpr KeyCodes FromFinalLetter(char letter) {
    switch (letter) {
        case 'A':
            return Extended(72);  // Up
        case 'B':
            return Extended(80);  // Down
        case 'C':
            return Extended(77);  // Right
        case 'D':
            return Extended(75);  // Left
        case 'H':
            return Extended(71);  // Home
        case 'F':
            return Extended(79);  // End
        case 'P':
            return FunctionKey(1);
        case 'Q':
            return FunctionKey(2);
        case 'R':
            return FunctionKey(3);
        case 'S':
            return FunctionKey(4);
        default:
            return kUnknown;
    }
}

// "Esc [ n ~" (possibly "Esc [ n ; m ~" with a modifier m).
constexpr KeyCodes FromTildeNumber(int number) {
    switch (number) {
        case 1:
        case 7:
            return Extended(71);  // Home
        case 2:
            return Extended(82);  // Insert
        case 3:
            return Extended(83);  // Delete
        case 4:
        case 8:
            return Extended(79);  // End
        case 5:
            return Extended(73);  // Page Up
        case 6:
            return Extended(81);  // Page Down
        case 11:
        case 12:
        case 13:
        case 14:
        case 15:
            return FunctionKey(number - 10);
        case 17:
        case 18:
        case 19:
        case 20:
        case 21:
            return FunctionKey(number - 11);
        case 23:
        case 24:
            return FunctionKey(number - 12);
        default:
            return kUnknown;
    }
}

}  // namespace

KeyCodes DecodeEscapeSequence(std::string_view sequence) {
    if (sequence.size() < 2) return kUnknown;
    const char introducer = sequence[0];
    const std::string_view rest = sequence.substr(1);
    if (introducer == 'O') return rest.size() == 1 ? FromFinalLetter(rest[0]) : kUnknown;
    if (introducer != '[') return kUnknown;
    // The Linux console sends F1 to F5 as "Esc [ [ A" to "Esc [ [ E".
    if (rest.size() == 2 && rest[0] == '[') {
        return rest[1] >= 'A' && rest[1] <= 'E' ? FunctionKey(rest[1] - 'A' + 1) : kUnknown;
    }
    const char final = rest.back();
    int number = 0;
    std::size_t i = 0;
    for (; i + 1 < rest.size() && rest[i] >= '0' && rest[i] <= '9' && number < 1000; ++i) {
        number = number * 10 + (rest[i] - '0');
    }
    // Only digits and modifier parameters ("1;5") may stand between '[' and the final byte.
    for (std::size_t j = i; j + 1 < rest.size(); ++j) {
        if (!((rest[j] >= '0' && rest[j] <= '9') || rest[j] == ';')) return kUnknown;
    }
    if (final == '~') return FromTildeNumber(number);
    return FromFinalLetter(final);
}

}  // namespace lotrix
