// Speed never costs a byte: a long record of every choice equals the same numbers
// formatted the straightforward way, with printf and plain arithmetic.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "dialogue_support.hpp"
#include "generators/unit_real.hpp"
#include "real_oracle.hpp"
#include "texts.hpp"

namespace lotrix::testing {
namespace {

constexpr int kCount = 1'000'000;
constexpr std::int64_t kM = 2147483647;

std::string Head(const char* header) {
    return SeedLine(1, kCount) + header;
}

const std::string kTail = SummaryStart(kCount) + "1 secondi\n\n\n\n\n";

class Identity : public ::testing::Test {
  protected:
    std::string Record(const std::string& entries) {
        std::filesystem::remove("lotrix20.txt");
        return RunDialogueWith(entries).record;
    }
    TempDir dir_;
};

TEST_F(Identity, IntegerChoicesMatchPrintf) {
    std::string expected = Head("(interi tra 0 e 2.147.483.647)\n\n");
    std::minstd_rand0 minimal(1);
    char line[32];
    for (int i = 0; i < kCount; ++i) {
        expected.append(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, "%12d\n",
                                                                     static_cast<int>(minimal()))));
    }
    EXPECT_TRUE(Record("3 " + std::to_string(kCount) + " 1 1") == expected + kTail);

    expected = Head("(interi tra 0 e 32.767)\n\n");
    std::uint32_t state = 1;
    for (int i = 0; i < kCount; ++i) {
        state = state * 214013u + 2531011u;
        expected.append(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, "%12u\n",
                                                                     (state >> 16) & 0x7FFFu)));
    }
    EXPECT_TRUE(Record("1 " + std::to_string(kCount) + " 1 1") == expected + kTail);
}

TEST_F(Identity, IntervalChoiceMatchesPrintfForEveryKindOfWidth) {
    const std::pair<std::int32_t, std::int32_t> bounds[] = {
        {1, 10}, {-3, 2}, {-500000, 499999}, {0, 1073741824}, {INT32_MIN, -2}, {-1, 2147483645}};
    char line[64];
    for (const auto& [lower, upper] : bounds) {
        std::snprintf(line, sizeof line, "intervallo scelto: da %+d a %+d\n\n", lower, upper);
        std::string expected = Head("(interi tra -2.147.483.648 e +2.147.483.647)\n") + line;
        std::minstd_rand0 minimal(1);
        const std::int64_t width = std::int64_t{upper} - lower + 1;
        for (int i = 0; i < kCount; ++i) {
            const std::int64_t value = lower + width * static_cast<std::int64_t>(minimal()) / kM;
            expected.append(line, static_cast<std::size_t>(std::snprintf(
                                      line, sizeof line, "%+12d\n", static_cast<int>(value))));
        }
        const std::string entries = "4 " + std::to_string(lower) + " " + std::to_string(upper) +
                                    " " + std::to_string(kCount) + " 1 1";
        EXPECT_TRUE(Record(entries) == expected + kTail) << entries;
    }
}

TEST_F(Identity, RealChoiceMatchesTheCorrectlyRoundedText) {
    std::string expected = Head("(reali tra 0 e 1)\n\n");
    std::minstd_rand0 minimal(1);
    for (int i = 0; i < kCount; ++i) {
        expected +=
            "       " + OracleText(OracleUnitReal(static_cast<std::int64_t>(minimal()))) + "\n";
    }
    EXPECT_TRUE(Record("2 " + std::to_string(kCount) + " 1 1") == expected + kTail);
}

}  // namespace
}  // namespace lotrix::testing
