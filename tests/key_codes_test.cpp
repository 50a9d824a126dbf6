#include <gtest/gtest.h>

#include "platform/key_codes.hpp"

namespace lotrix {
namespace {

void ExpectKey(std::string_view sequence, int prefix, int code) {
    const KeyCodes got = DecodeEscapeSequence(sequence);
    EXPECT_EQ(got.prefix, prefix) << sequence;
    if (prefix >= 0) {
        EXPECT_EQ(got.code, code) << sequence;
    }
}

TEST(KeyCodes, CursorAndEditingKeysInEveryCommonEncoding) {
    for (const auto* prefix : {"[", "O", "[1;5", "[1;2"}) {
        const std::string p = prefix;
        ExpectKey(p + "A", 224, 72);
        ExpectKey(p + "B", 224, 80);
        ExpectKey(p + "D", 224, 75);
        ExpectKey(p + "C", 224, 77);
        ExpectKey(p + "H", 224, 71);
        ExpectKey(p + "F", 224, 79);
    }
    ExpectKey("[1~", 224, 71);
    ExpectKey("[7~", 224, 71);
    ExpectKey("[4~", 224, 79);
    ExpectKey("[8~", 224, 79);
    ExpectKey("[5~", 224, 73);
    ExpectKey("[6~", 224, 81);
    ExpectKey("[2~", 224, 82);
    ExpectKey("[3~", 224, 83);
    ExpectKey("[3;5~", 224, 83);
}

TEST(KeyCodes, FunctionKeys) {
    ExpectKey("OP", 0, 59);
    ExpectKey("OS", 0, 62);
    ExpectKey("[[A", 0, 59);
    ExpectKey("[[E", 0, 63);
    ExpectKey("[11~", 0, 59);
    ExpectKey("[15~", 0, 63);
    ExpectKey("[17~", 0, 64);
    ExpectKey("[21~", 0, 68);
    ExpectKey("[23~", 224, 133);
    ExpectKey("[24~", 224, 134);
    ExpectKey("[1;2P", 0, 59);
}

TEST(KeyCodes, UnknownSequencesAreRefused) {
    for (const auto* sequence :
         {"", "[", "[Z", "[99~", "[16~", "[22~", "x", "[[Z", "[1$5A", "OZ", "[200~"}) {
        ExpectKey(sequence, -1, 0);
    }
}

}  // namespace
}  // namespace lotrix
