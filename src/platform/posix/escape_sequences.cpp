#include "platform/posix/escape_sequences.hpp"

namespace lotrix {
namespace {

using keys::FunctionKey;
using keys::TwoCodes;

// The letter that ends "Esc [ ... X" or "Esc O X", modifiers ignored.
constexpr TwoCodes FromFinalLetter(char letter) {
    switch (letter) {
        case 'A':
            return keys::kUp;
        case 'B':
            return keys::kDown;
        case 'C':
            return keys::kRight;
        case 'D':
            return keys::kLeft;
        case 'H':
            return keys::kHome;
        case 'F':
            return keys::kEnd;
        case 'P':
        case 'Q':
        case 'R':
        case 'S':
            return FunctionKey(letter - 'P' + 1);
        default:
            return keys::kNoKey;
    }
}

// "Esc [ n ~" (possibly "Esc [ n ; m ~" with a modifier m). The VT220 numbers F1 to F12
// with gaps: 11-15, 17-21, 23-24.
constexpr TwoCodes FromTildeNumber(int number) {
    switch (number) {
        case 1:
        case 7:
            return keys::kHome;
        case 2:
            return keys::kInsert;
        case 3:
            return keys::kDelete;
        case 4:
        case 8:
            return keys::kEnd;
        case 5:
            return keys::kPageUp;
        case 6:
            return keys::kPageDown;
        default:
            break;
    }
    if (number >= 11 && number <= 15) return FunctionKey(number - 10);
    if (number >= 17 && number <= 21) return FunctionKey(number - 11);
    if (number >= 23 && number <= 24) return FunctionKey(number - 12);
    return keys::kNoKey;
}

}  // namespace

TwoCodes DecodeEscapeSequence(std::string_view sequence) {
    if (sequence.size() < 2) return keys::kNoKey;
    const char introducer = sequence[0];
    const std::string_view rest = sequence.substr(1);
    if (introducer == 'O') return rest.size() == 1 ? FromFinalLetter(rest[0]) : keys::kNoKey;
    if (introducer != '[') return keys::kNoKey;
    // The Linux console sends F1 to F5 as "Esc [ [ A" to "Esc [ [ E".
    if (rest.size() == 2 && rest[0] == '[') {
        return rest[1] >= 'A' && rest[1] <= 'E' ? FunctionKey(rest[1] - 'A' + 1) : keys::kNoKey;
    }
    const char final = rest.back();
    int number = 0;
    std::size_t i = 0;
    for (; i + 1 < rest.size() && rest[i] >= '0' && rest[i] <= '9' && number < 1000; ++i) {
        number = number * 10 + (rest[i] - '0');
    }
    // Only digits and modifier parameters ("1;5") may stand between '[' and the final byte.
    for (std::size_t j = i; j + 1 < rest.size(); ++j) {
        if (!((rest[j] >= '0' && rest[j] <= '9') || rest[j] == ';')) return keys::kNoKey;
    }
    if (final == '~') return FromTildeNumber(number);
    return FromFinalLetter(final);
}

}  // namespace lotrix
