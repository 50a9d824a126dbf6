#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/console.hpp"

namespace lotrix {
namespace {

struct Read {
    ReadOutcome outcome;
    std::int32_t value;
};

// Successive reads over one input, each into a field that starts at 99.
std::vector<Read> ReadAll(const std::string& input, int reads) {
    ConsoleUseInputText(input);
    std::vector<Read> results;
    for (int i = 0; i < reads; ++i) {
        std::int32_t field = 99;
        const ReadOutcome outcome = ReadInteger(field);
        results.push_back({outcome, field});
    }
    return results;
}

void ExpectReads(const std::string& input, const std::vector<Read>& expected) {
    const auto got = ReadAll(input, static_cast<int>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(got[i].outcome, expected[i].outcome) << "read " << i << " of '" << input << "'";
        EXPECT_EQ(got[i].value, expected[i].value) << "read " << i << " of '" << input << "'";
    }
}

constexpr auto kStored = ReadOutcome::stored;
constexpr auto kNotANumber = ReadOutcome::notANumber;
constexpr auto kEnd = ReadOutcome::endOfInput;

TEST(ReadInteger, SkipsWhiteSpaceAndEmptyLinesAndTakesOneSign) {
    ExpectReads("  \t-7\n", {{kStored, -7}});
    ExpectReads("\n\n\r\n\v\f 42", {{kStored, 42}});
    ExpectReads("+7 -0 007", {{kStored, 7}, {kStored, 0}, {kStored, 7}});
    ExpectReads("3\n5\n1\n1\n", {{kStored, 3}, {kStored, 5}, {kStored, 1}, {kStored, 1}});
}

TEST(ReadInteger, StopsAtTheFirstNonDigitWhichStaysPending) {
    // The letters that stop one read stop every following read too.
    ExpectReads("12abc", {{kStored, 12}, {kNotANumber, 99}, {kNotANumber, 99}});
    ExpectReads("x 5", {{kNotANumber, 99}, {kNotANumber, 99}});
    ExpectReads("4.5", {{kStored, 4}, {kNotANumber, 99}});
}

TEST(ReadInteger, ALoneSignIsConsumedAndStoresNothing) {
    ExpectReads("-a", {{kNotANumber, 99}, {kNotANumber, 99}});
    ExpectReads("- 7", {{kNotANumber, 99}, {kStored, 7}});
    ExpectReads("+-3", {{kNotANumber, 99}, {kStored, -3}});
}

TEST(ReadInteger, AccumulatesModulo2To32) {
    ExpectReads("2147483647 2147483648 4294967297 -2147483648 4294967295 99999999999",
                {{kStored, 2147483647},
                 {kStored, INT32_MIN},
                 {kStored, 1},
                 {kStored, INT32_MIN},
                 {kStored, -1},
                 {kStored, static_cast<std::int32_t>(99999999999ull % 4294967296ull)}});
    ExpectReads("-4294967295", {{kStored, 1}});
}

TEST(ReadInteger, EndOfInputStoresNothingButDigitsBeforeItCount) {
    ExpectReads("", {{kEnd, 99}, {kEnd, 99}});
    ExpectReads("   \n", {{kEnd, 99}});
    ExpectReads("-", {{kEnd, 99}});
    ExpectReads("15", {{kStored, 15}, {kEnd, 99}});
}

// The reader fetches its input in blocks; a number may straddle two of them.
TEST(ReadInteger, ANumberStraddlingTwoBlocksOfInputIsReadWhole) {
    static std::string input;
    static std::size_t handedOut;
    input = std::string(4094, ' ') + "123456 -8\n";
    handedOut = 0;
    ConsoleUseSource([](char* buffer, std::size_t size) {
        const std::size_t take = std::min(size, input.size() - handedOut);
        input.copy(buffer, take, handedOut);
        handedOut += take;
        return take;
    });
    std::int32_t first = 0, second = 0, third = 5;
    EXPECT_EQ(ReadInteger(first), kStored);
    EXPECT_EQ(ReadInteger(second), kStored);
    EXPECT_EQ(ReadInteger(third), kEnd);
    EXPECT_EQ(first, 123456);
    EXPECT_EQ(second, -8);
    EXPECT_EQ(third, 5);
    ConsoleUseInputText("");
}

}  // namespace
}  // namespace lotrix
