// Each path of the rows against its scalar reference, byte for byte, for both line ends: the
// digit writer on every 32-bit magnitude, long streams of each row, and the run's batch
// makers handing over between path and twin. A path the processor lacks is never chosen,
// and its tests say so and skip. Built twice: sampled for every day, and with every
// magnitude and 20,000,000-line streams under the ctest label "exhaustive".
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/fast_lines.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/rows.hpp"
#include "generators/unit_real.hpp"
#include "real_oracle.hpp"

namespace lotrix {

// ctest shows each instance by its path's name, not by an address.
void PrintTo(const Path* path, std::ostream* out) {
    *out << path->name;
}

namespace {

// The exhaustive build (the label exhaustive) checks every value; the others a sample.
#if defined(LOTRIX_EXHAUSTIVE)
constexpr std::uint64_t kStride = 1;
constexpr std::int32_t kStreamLines = 20'000'000;
#else
constexpr std::uint64_t kStride = 9973;
constexpr std::int32_t kStreamLines = 200'000;
#endif

constexpr std::string_view kLineEnds[] = {"\n", "\r\n"};

class PathTest : public ::testing::TestWithParam<const Path*> {
  protected:
    void SetUp() override {
        if (!RunsHere(*GetParam())) GTEST_SKIP() << "no " << GetParam()->name << " here";
    }
    const Path& path = *GetParam();
};

INSTANTIATE_TEST_SUITE_P(EachPath, PathTest, ::testing::ValuesIn(kPaths), [](const auto& info) {
    std::string name = info.param->name;
    std::erase(name, '-');
    return name;
});

TEST_P(PathTest, TheDigitWriterMatchesTheScalarOneForEveryMagnitude) {
    if (&path == &kPortablePath) GTEST_SKIP() << "its digits are the scalar writer's own";
    const auto lanes = static_cast<std::uint64_t>(path.lanes);
    std::uint32_t magnitudes[kWidestGroup];
    constexpr Sign kPlus = Sign::plus, kMinus = Sign::minus;
    const Sign noSigns[kWidestGroup] = {};
    const Sign signs[kWidestGroup] = {kPlus,  kMinus, kPlus, kMinus, kMinus, kPlus, kMinus, kPlus,
                                      kMinus, kMinus, kPlus, kPlus,  kMinus, kPlus, kPlus,  kMinus};
    char vector[kWidestGroup * 14 + kSpill], scalar[kWidestGroup * 14 + kSpill];
    for (const std::string_view lineEnd : kLineEnds) {
        const std::size_t length = lanes * (kFieldWidth + lineEnd.size());
        for (std::uint64_t first = 0; first < (std::uint64_t{1} << 32); first += lanes * kStride) {
            for (std::uint64_t i = 0; i < lanes; ++i)
                magnitudes[i] = static_cast<std::uint32_t>(first + i * kStride);
            // Signs on every 64th block: their places depend on the digit count, not the digits.
            const bool signable = magnitudes[lanes - 1] <= 0x8000'0000u &&
                                  magnitudes[0] <= 0x8000'0000u &&
                                  (first / (lanes * kStride)) % 64 == 0;
            for (const Sign* sign : {noSigns, signs}) {
                if (sign == signs && !signable) break;
                path.fieldLines(vector, magnitudes, sign, lineEnd);
                char* at = scalar;
                for (std::uint64_t i = 0; i < lanes; ++i)
                    at = WriteFieldLine(at, magnitudes[i], sign[i], lineEnd);
                ASSERT_EQ(std::memcmp(vector, scalar, length), 0)
                    << "from " << magnitudes[0] << ": '" << std::string(vector, length) << "' vs '"
                    << std::string(scalar, length) << "'";
            }
            if (lineEnd.size() == 2 && first > 100'000'000)
                break;  // CR LF: the layout, not every value
        }
    }
}

// A long stream of one row, in blocks as the run makes them, against the scalar reference.
template <typename Vector, typename Scalar>
void ExpectSameStream(Vector vector, Scalar scalar, std::size_t lineRoom = 14) {
    constexpr std::int32_t kLinesPerBlock = 4096 * kWidestGroup;
    std::vector<char> fast(kLinesPerBlock * lineRoom + kSpill), plain(fast.size());
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

TEST_P(PathTest, EachIntegerRowsStreamMatchesTheScalarOne) {
    for (const std::string_view end : kLineEnds) {
        std::int32_t fastState = 1, plainState = 1;
        ExpectSameStream(
            [&](char*& out, std::int32_t lines) {
                path.minimalStandard(out, lines, fastState, end);
            },
            [&](char* out) {
                plainState = MinimalStandardAdvance(plainState);
                return WriteFieldLine(out, static_cast<std::uint32_t>(plainState), Sign::none, end);
            });
        EXPECT_EQ(fastState, plainState);
        std::uint32_t fastCompat = 1, plainCompat = 1;
        ExpectSameStream(
            [&](char*& out, std::int32_t lines) { path.compat(out, lines, fastCompat, end); },
            [&](char* out) {
                plainCompat = CompatAdvance(plainCompat);
                const auto value = static_cast<std::uint32_t>(CompatValue(plainCompat));
                return WriteFieldLine(out, value, Sign::none, end);
            });
        EXPECT_EQ(fastCompat, plainCompat);
        const std::pair<std::int32_t, std::int32_t> bounds[] = {
            {1, 10},         {-3, 2},         {-500000, 499999},
            {0, 1073741824}, {INT32_MIN, -2}, {-1073741824, 1073741822}};
        for (const auto& pair : bounds) {
            const std::int32_t lower = pair.first;  // a plain variable: lambdas capture it
            const auto width = static_cast<std::int32_t>(IntervalWidth(lower, pair.second));
            // The values' offsets too, on every other block (a plain run asks for none).
            std::int32_t fastR = 2147483646, plainR = 2147483646;
            std::vector<std::uint32_t> fastOffsets, plainOffsets;
            bool withOffsets = false;
            ExpectSameStream(
                [&](char*& out, std::int32_t lines) {
                    withOffsets = !withOffsets;
                    const std::size_t before = fastOffsets.size();
                    if (withOffsets) fastOffsets.resize(before + static_cast<std::size_t>(lines));
                    path.interval(out, lines, fastR, lower, width,
                                  withOffsets ? fastOffsets.data() + before : nullptr, end);
                },
                [&](char* out) {
                    plainR = MinimalStandardAdvance(plainR);
                    const std::int32_t value = IntervalValue(lower, width, plainR);
                    if (withOffsets)
                        plainOffsets.push_back(static_cast<std::uint32_t>(value) -
                                               static_cast<std::uint32_t>(lower));
                    return WriteSignedFieldLine(out, value, end);
                });
            EXPECT_EQ(fastR, plainR) << lower << " " << pair.second;
            EXPECT_TRUE(fastOffsets == plainOffsets) << lower << " " << pair.second;
        }
    }
}

// Choice 2's lines where the path has them: a long stream, and the steps around every
// power of ten the values cross (where the way taken and the zeros after "0." change).
TEST_P(PathTest, TheRealsMatchTheScalarLines) {
    constexpr std::size_t kRealLine = 32;  // the longest line of choice 2, and more
    if (path.unitReal == nullptr) GTEST_SKIP() << "no reals on " << path.name;
    for (const std::string_view end : kLineEnds) {
        std::int32_t fastState = 1, plainState = 1;
        ExpectSameStream(
            [&](char*& out, std::int32_t lines) { path.unitReal(out, lines, fastState, end); },
            [&](char* out) {
                plainState = MinimalStandardAdvance(plainState);
                return WriteUnitRealLine(out, UnitRealFrom(plainState), end);
            },
            kRealLine);
        EXPECT_EQ(fastState, plainState);
    }
    std::vector<std::int32_t> steps = {1, 2, 2147483646, 2147483645};
    for (const double power : testing::kPowersOfTenBelowOne) {
        const auto r = static_cast<std::int32_t>(power / kUnitScale);
        for (std::int32_t d = -20; d <= 20; ++d)
            steps.push_back(r + d);
    }
    while (steps.size() % kWidestGroup != 0)
        steps.push_back(1);
    char fast[kWidestGroup * kRealLine + kSpill], plain[kWidestGroup * kRealLine + kSpill];
    for (std::size_t i = 0; i < steps.size(); i += kWidestGroup) {
        char* end = path.realLines(fast, &steps[i], "\n");
        char* plainEnd = plain;
        for (std::size_t j = i; j < i + kWidestGroup; ++j)
            plainEnd = WriteUnitRealLine(plainEnd, UnitRealFrom(steps[j]), "\n");
        ASSERT_EQ(std::string(fast, end), std::string(plain, plainEnd)) << "from step " << steps[i];
    }
}

#if !defined(LOTRIX_EXHAUSTIVE)
// The run's batch makers on this path hand over to the scalar reference (states outside the
// lanes' range, the lines left over a block): from any seed they write what the twin writes
// one number at a time, and nothing once the stop flag is up.
TEST_P(PathTest, BatchesEqualTheScalarTwinFromAnySeed) {
    constexpr std::int32_t kLines = 1037, kLower = -7, kUpper = 1000;
    UsePath(&path);
    StopFlag go{0}, stop{1};
    std::vector<char> batch(kLines * 32 + kSpill), single(batch.size());
    for (const std::string_view end : kLineEnds) {
        for (const std::int32_t choice : {1, 2, 3, 4}) {
            const auto makeLines = [&](char*& out, std::int32_t count, const StopFlag& flag) {
                if (choice == 1) return CompatLines(out, count, end, flag);
                if (choice == 2) return UnitRealLines(out, count, end, flag);
                if (choice == 3) return MinimalStandardLines(out, count, end, flag);
                return IntervalLines(out, count, kLower, kUpper, end, flag);
            };
            const auto makeLine = [&](char* out) {
                if (choice == 1) {
                    const auto value = static_cast<std::uint32_t>(NextCompat());
                    return WriteFieldLine(out, value, Sign::none, end);
                }
                if (choice == 2) return WriteUnitRealLine(out, NextUnitReal(), end);
                if (choice == 3) {
                    const auto value = static_cast<std::uint32_t>(NextMinimalStandard());
                    return WriteFieldLine(out, value, Sign::none, end);
                }
                return WriteSignedFieldLine(out, DrawInInterval(kLower, kUpper), end);
            };
            for (const std::int32_t seed : {1, 0, -5, INT32_MIN, 2147483646, 2147483647}) {
                const auto start = [seed] {
                    SeedMinimalStandard(seed);
                    SeedCompat(static_cast<std::uint32_t>(seed));
                };
                start();
                char* out = batch.data();
                ASSERT_EQ(makeLines(out, kLines, stop), 0);
                for (std::int32_t made = 0; made < kLines;)
                    made += makeLines(out, std::min(333, kLines - made), go);
                start();
                char* plainEnd = single.data();
                for (std::int32_t i = 0; i < kLines; ++i)
                    plainEnd = makeLine(plainEnd);
                ASSERT_EQ(std::string(batch.data(), out), std::string(single.data(), plainEnd))
                    << "choice " << choice << ", seed " << seed;
            }
        }
    }
    UsePath(nullptr);
}

// The vector paths are x86-64's; every other processor runs the portable path. The path
// chosen is said in the test's output, so each target's log shows it.
TEST(PathChoice, EachProcessorRunsAPathItHas) {
    const Path* chosen = ChoosePath();
    std::printf("the path chosen here: %s (asks the processor for: %s)\n", chosen->name,
                chosen->features.empty() ? "nothing" : std::string(chosen->features).c_str());
    EXPECT_TRUE(RunsHere(*chosen));
#if defined(LOTRIX_EMULATE_AVX512)
    EXPECT_EQ(chosen, &kAvx512Path);
#elif !defined(__x86_64__)
    EXPECT_EQ(chosen, &kPortablePath);
#endif
}

// A path asks the processor for exactly what it was compiled for: a feature of its target
// that the question does not know would keep the path from ever being chosen.
TEST(PathChoice, EachPathAsksForEveryFeatureItWasCompiledFor) {
    for (const Path* path : kPaths)
        EXPECT_TRUE(KnowsFeatures(path->features)) << path->name << ": " << path->features;
    EXPECT_FALSE(KnowsFeatures("avx2,no-such-unit"));
    EXPECT_FALSE(ProcessorHas("no-such-unit"));
    EXPECT_TRUE(ProcessorHas(""));
}
#endif

}  // namespace
}  // namespace lotrix
