// Each path of the rows against its scalar twin, byte for byte: the digit
// writer on every 32-bit magnitude, and long streams of each row. A path the processor
// lacks is never chosen, and its tests say so and skip.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/modes.hpp"
#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/fast_lines.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/unit_real.hpp"
#include "real_oracle.hpp"

namespace lotrix {
namespace {

// Sanitized and unoptimised builds check a sample; the others every value.
#if defined(NDEBUG)
constexpr std::uint64_t kStride = 1;
constexpr std::int32_t kStreamLines = 20'000'000;
#else
constexpr std::uint64_t kStride = 9973;
constexpr std::int32_t kStreamLines = 200'000;
#endif

class FastLinesTest : public ::testing::TestWithParam<const FastLines*> {
  protected:
    void SetUp() override {
        if (GetParam()->minimalStandard == nullptr || !GetParam()->runsHere())
            GTEST_SKIP() << "no " << GetParam()->name << " here";
    }
    const FastLines& path = *GetParam();
};

INSTANTIATE_TEST_SUITE_P(EachPath, FastLinesTest, ::testing::ValuesIn(kFastPaths),
                         [](const auto& info) {
                             return info.param->lanes == 16  ? "Avx512"
                                    : info.param->lanes == 8 ? "Avx2"
                                                             : "ScalarLanes";
                         });

TEST_P(FastLinesTest, TheDigitWriterMatchesTheScalarOneForEveryMagnitude) {
    if (&path == &kScalarLines) GTEST_SKIP() << "its digits are the scalar writer's own";
    const auto lanes = static_cast<std::uint64_t>(path.lanes);
    std::uint32_t magnitudes[kFastUnit];
    const char noSigns[kFastUnit] = {};
    const char signs[kFastUnit] = {'+', '-', '+', '-', '-', '+', '-', '+',
                                   '-', '-', '+', '+', '-', '+', '+', '-'};
    char vector[kFastUnit * 14 + 64], scalar[kFastUnit * 14 + 64];
    for (const std::string_view lineEnd : {"\n", "\r\n"}) {
        const std::size_t length = lanes * (kFieldWidth + lineEnd.size());
        for (std::uint64_t first = 0; first < (std::uint64_t{1} << 32); first += lanes * kStride) {
            for (std::uint64_t i = 0; i < lanes; ++i)
                magnitudes[i] = static_cast<std::uint32_t>(first + i * kStride);
            // Signs on every 64th block: their places depend on the digit count, not the digits.
            const bool signable = magnitudes[lanes - 1] <= 0x8000'0000u &&
                                  magnitudes[0] <= 0x8000'0000u &&
                                  (first / (lanes * kStride)) % 64 == 0;
            for (const char* sign : {noSigns, signs}) {
                if (sign == signs && !signable) break;
                path.fieldLines(vector, magnitudes, sign, lineEnd);
                char* at = scalar;
                for (std::uint64_t i = 0; i < lanes; ++i) {
                    const Sign s = sign[i] == '+'   ? Sign::plus
                                   : sign[i] == '-' ? Sign::minus
                                                    : Sign::none;
                    at = WriteFieldLine(at, magnitudes[i], s, lineEnd);
                }
                ASSERT_EQ(std::memcmp(vector, scalar, length), 0)
                    << "from " << magnitudes[0] << ": '" << std::string(vector, length) << "' vs '"
                    << std::string(scalar, length) << "'";
            }
            if (lineEnd.size() == 2 && first > 100'000'000)
                break;  // CR LF: the layout, not every value
        }
    }
}

// A long stream of one row, in blocks as the run makes them, against the scalar twin.
template <typename Vector, typename Scalar>
void ExpectSameStream(Vector vector, Scalar scalar, std::size_t lineRoom = 14) {
    constexpr std::int32_t kLinesPerBlock = 4096 * kFastUnit;
    std::vector<char> fast(kLinesPerBlock * lineRoom + 64), plain(fast.size());
    for (std::int32_t done = 0; done < kStreamLines; done += kLinesPerBlock) {
        char* out = fast.data();
        vector(out, kLinesPerBlock);
        char* end = plain.data();
        for (int i = 0; i < kLinesPerBlock; ++i)
            end = scalar(end);
        ASSERT_EQ(out - fast.data(), end - plain.data());
        ASSERT_EQ(
            std::memcmp(fast.data(), plain.data(), static_cast<std::size_t>(end - plain.data())), 0)
            << "block from line " << done;
    }
}

TEST_P(FastLinesTest, EachIntegerRowsStreamMatchesTheScalarOne) {
    std::int32_t fastState = 1, plainState = 1;
    ExpectSameStream(
        [&](char*& out, std::int32_t lines) { path.minimalStandard(out, lines, fastState, "\n"); },
        [&](char* out) {
            plainState = MinimalStandardAdvance(plainState);
            return WriteFieldLine(out, static_cast<std::uint32_t>(plainState), Sign::none, "\n");
        });
    EXPECT_EQ(fastState, plainState);
    std::uint32_t fastCompat = 1, plainCompat = 1;
    ExpectSameStream(
        [&](char*& out, std::int32_t lines) { path.compat(out, lines, fastCompat, "\n"); },
        [&](char* out) {
            plainCompat = CompatAdvance(plainCompat);
            return WriteFieldLine(out, static_cast<std::uint32_t>(CompatValue(plainCompat)),
                                  Sign::none, "\n");
        });
    EXPECT_EQ(fastCompat, plainCompat);
    const std::pair<std::int32_t, std::int32_t> bounds[] = {
        {1, 10},         {-3, 2},         {-500000, 499999},
        {0, 1073741824}, {INT32_MIN, -2}, {-1073741824, 1073741822}};
    for (const auto& pair : bounds) {
        const std::int32_t lower = pair.first;  // a plain variable: lambdas capture it everywhere
        const auto width = static_cast<std::int32_t>(IntervalWidth(lower, pair.second));
        std::int32_t fastR = 2147483646, plainR = 2147483646;
        ExpectSameStream(
            [&](char*& out, std::int32_t lines) {
                path.interval(out, lines, fastR, lower, width, "\n");
            },
            [&](char* out) {
                plainR = MinimalStandardAdvance(plainR);
                const std::int32_t value = IntervalValue(lower, width, plainR);
                const auto bits = static_cast<std::uint32_t>(value);
                return WriteFieldLine(out, value < 0 ? 0u - bits : bits,
                                      value < 0 ? Sign::minus : Sign::plus, "\n");
            });
        EXPECT_EQ(fastR, plainR) << lower << " " << pair.second;
    }
}

// Choice 2's lines where the path has them: a long stream, and the steps around every
// power of ten the values cross (where the way taken and the zeros after "0." change).
TEST_P(FastLinesTest, TheRealsMatchTheScalarLines) {
    constexpr std::size_t kRealLine = 32;  // the longest line of choice 2, and more
    if (path.unitReal == nullptr) GTEST_SKIP() << "no reals on " << path.name;
    std::int32_t fastState = 1, plainState = 1;
    ExpectSameStream(
        [&](char*& out, std::int32_t lines) { path.unitReal(out, lines, fastState, "\r\n"); },
        [&](char* out) {
            plainState = MinimalStandardAdvance(plainState);
            return WriteUnitRealLine(out, UnitRealFrom(plainState), "\r\n");
        },
        kRealLine);
    EXPECT_EQ(fastState, plainState);
    std::vector<std::int32_t> steps = {1, 2, 2147483646, 2147483645};
    for (const double power : testing::kPowersOfTenBelowOne) {
        const auto r = static_cast<std::int32_t>(power / kUnitScale);
        for (std::int32_t d = -20; d <= 20; ++d)
            steps.push_back(r + d);
    }
    while (steps.size() % kFastUnit != 0)
        steps.push_back(1);
    char fast[kFastUnit * kRealLine + 64], plain[kFastUnit * kRealLine + 64];
    for (std::size_t i = 0; i < steps.size(); i += kFastUnit) {
        char* end = path.unitRealLines(fast, &steps[i], "\n");
        char* plainEnd = plain;
        for (std::size_t j = i; j < i + kFastUnit; ++j)
            plainEnd = WriteUnitRealLine(plainEnd, UnitRealFrom(steps[j]), "\n");
        ASSERT_EQ(std::string(fast, end), std::string(plain, plainEnd)) << "from step " << steps[i];
    }
}

// The run's batch makers hand over between the chosen path and the scalar twin (states
// outside the lanes' range, the lines left over a block): from any seed they write what
// the line makers write one number at a time.
TEST(FastLinesInTheRun, BatchesEqualTheLineMakersFromAnySeed) {
    constexpr std::int32_t kLines = 1037;
    RunSettings settings;
    settings.lower = -7;
    settings.upper = 1000;
    std::vector<char> batch(kLines * kLineRoom + kStoreSpill), single(batch.size());
    for (const std::int32_t choice : {1, 2, 3, 4}) {
        for (const std::int32_t seed : {1, 0, -5, INT32_MIN, 2147483646, 2147483647, 123456789}) {
            settings.choice = choice;
            settings.seed = seed;
            const ModeEntry& mode = ModeFor(choice);
            auto start = [&] {
                SeedMinimalStandard(seed);
                if (mode.startAction != nullptr) mode.startAction(settings);
            };
            start();
            char* out = batch.data();
            for (std::int32_t made = 0; made < kLines;)
                made += mode.makeLines(out, std::min(333, kLines - made), settings);
            start();
            char* end = single.data();
            for (std::int32_t i = 0; i < kLines; ++i)
                end = mode.makeLine(end, settings);
            ASSERT_EQ(std::string(batch.data(), out), std::string(single.data(), end))
                << "choice " << choice << ", seed " << seed;
        }
    }
}

// The vector paths are x86-64's; every other processor runs the portable path. The path
// chosen is said in the test's output, so each target's log shows it.
TEST(FastLinesChoice, EachProcessorRunsAPathItHas) {
    const FastLines* chosen = ChooseFastLines();
    std::printf("the path chosen here: %s\n", chosen->name);
    EXPECT_TRUE(chosen->runsHere());
#if !defined(__x86_64__)
    EXPECT_EQ(chosen, &kScalarLines);
#endif
}

}  // namespace
}  // namespace lotrix
