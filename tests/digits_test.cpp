#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "generators/digits.hpp"

namespace lotrix {
namespace {

// The field line against printf's own "%12u", "%12d" and "%+12d", with either line end.
void ExpectLikePrintf(std::int64_t value) {
    char expected[32], got[32];
    const auto magnitude = static_cast<std::uint32_t>(value < 0 ? -value : value);
    for (const std::string_view lineEnd : {"\n", "\r\n"}) {
        const std::string end(lineEnd);
        if (value >= 0 && value <= UINT32_MAX) {
            std::snprintf(expected, sizeof expected, "%12u%s", static_cast<unsigned>(value),
                          end.c_str());
            ASSERT_EQ(std::string(got, WriteFieldLine(got, magnitude, Sign::none, lineEnd)),
                      expected)
                << value;
        }
        if (value >= INT32_MIN && value <= INT32_MAX) {
            std::snprintf(expected, sizeof expected, "%+12d%s", static_cast<int>(value),
                          end.c_str());
            const Sign sign = value < 0 ? Sign::minus : Sign::plus;
            ASSERT_EQ(std::string(got, WriteFieldLine(got, magnitude, sign, lineEnd)), expected)
                << value;
        }
    }
}

TEST(Digits, FieldLinesMatchPrintfAtEveryDigitCountAndAtRandom) {
    for (std::int64_t power = 1; power <= 10'000'000'000; power *= 10) {
        for (const std::int64_t near : {power - 1, power, power + 1}) {
            ExpectLikePrintf(near);
            ExpectLikePrintf(-near);
        }
    }
    for (const std::int64_t edge : {std::int64_t{0}, std::int64_t{INT32_MAX},
                                    std::int64_t{INT32_MIN}, std::int64_t{UINT32_MAX}}) {
        ExpectLikePrintf(edge);
    }
    std::mt19937 random(5);
    std::uniform_int_distribution<std::int64_t> any(INT32_MIN, UINT32_MAX);
    for (int i = 0; i < 1'000'000; ++i)
        ExpectLikePrintf(any(random));
    for (std::uint32_t digits = 0; digits <= 9; ++digits) {
        EXPECT_EQ(DecimalDigits(digits), 1);
    }
}

TEST(Digits, EightDigitsAreExactForEveryValueBelowTenToTheEighth) {
    for (std::uint32_t value = 0; value < 100'000'000; ++value) {
        std::uint64_t expected = 0;
        std::uint32_t rest = value;
        for (int place = 7; place >= 0; --place, rest /= 10) {
            expected |= std::uint64_t{static_cast<unsigned char>('0' + rest % 10)} << (8 * place);
        }
        ASSERT_EQ(EightDigits(value), expected) << value;
    }
}

}  // namespace
}  // namespace lotrix
