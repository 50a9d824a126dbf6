#include <gtest/gtest.h>

#include "platform/posix/escape_sequences.hpp"

namespace lotrix {
namespace {

void ExpectKey(std::string_view sequence, int prefix, int code) {
    const keys::TwoCodes got = DecodeEscapeSequence(sequence);
    EXPECT_EQ(got.prefix, prefix) << sequence;
    if (prefix >= 0) {
        EXPECT_EQ(got.code, code) << sequence;
    }
}

// The PC's codes: Up 72, Down 80, Left 75, Right 77, Home 71, End 79, Page Up 73,
// Page Down 81, Insert 82, Delete 83 after 224; F1 to F10 59 to 68 after 0; F11, F12 133,
// 134 after 224.
TEST(EscapeSequences, CursorAndEditingKeysInEveryCommonEncoding) {
    for (const std::string prefix : {"[", "O", "[1;5", "[1;2"}) {
        for (const auto& [final, code] :
             {std::pair{'A', 72}, {'B', 80}, {'D', 75}, {'C', 77}, {'H', 71}, {'F', 79}}) {
            ExpectKey(prefix + final, 224, code);
        }
    }
    for (const auto& [sequence, code] : {std::pair{"[1~", 71},
                                         {"[7~", 71},
                                         {"[4~", 79},
                                         {"[8~", 79},
                                         {"[5~", 73},
                                         {"[6~", 81},
                                         {"[2~", 82},
                                         {"[3~", 83},
                                         {"[3;5~", 83}}) {
        ExpectKey(sequence, 224, code);
    }
}

TEST(EscapeSequences, FunctionKeysInTheirVt220XtermAndLinuxConsoleForms) {
    for (const auto& [sequence, code] : {std::pair{"OP", 59},
                                         {"OS", 62},
                                         {"[[A", 59},
                                         {"[[E", 63},
                                         {"[11~", 59},
                                         {"[15~", 63},
                                         {"[17~", 64},
                                         {"[21~", 68},
                                         {"[1;2P", 59}}) {
        ExpectKey(sequence, 0, code);
    }
    ExpectKey("[23~", 224, 133);
    ExpectKey("[24~", 224, 134);
}

TEST(EscapeSequences, UnknownSequencesAreRefused) {
    for (const auto* sequence :
         {"", "[", "[Z", "[99~", "[16~", "[22~", "x", "[[Z", "[1$5A", "OZ", "[200~"}) {
        ExpectKey(sequence, -1, 0);
    }
}

}  // namespace
}  // namespace lotrix
