#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>

#include "generators/compat.hpp"
#include "generators/minimal_standard.hpp"

namespace lotrix {
namespace {

std::vector<std::int32_t> Draw(std::int32_t seed, int count) {
    SeedMinimalStandard(seed);
    std::vector<std::int32_t> values;
    for (int i = 0; i < count; ++i)
        values.push_back(NextMinimalStandard());
    return values;
}

TEST(MinimalStandard, SeedOneGivesTheRecordedSequence) {
    EXPECT_EQ(Draw(1, 10), (std::vector<std::int32_t>{16807, 282475249, 1622650073, 984943658,
                                                      1144108930, 470211272, 101027544, 1457850878,
                                                      1458777923, 2007237709}));
    EXPECT_EQ(Draw(1, 10000).back(), 1043618065);
}

TEST(MinimalStandard, AgreesWithTheStandardLibraryOverAMillionSteps) {
    for (const std::int32_t seed : {1, 2, 12345, 16807, 1000000007, 2147483646, 1765432109}) {
        std::minstd_rand0 oracle(static_cast<std::uint32_t>(seed));
        SeedMinimalStandard(seed);
        for (int i = 0; i < 1'000'000; ++i) {
            const auto expected = static_cast<std::int32_t>(oracle());
            const std::int32_t got = NextMinimalStandard();
            if (got != expected) {
                ADD_FAILURE() << "seed " << seed << " step " << i << ": " << got << " vs "
                              << expected;
                break;
            }
        }
    }
}

// The fast step stands in for the defining one on every non-negative state.
TEST(MinimalStandard, FastStepEqualsTheDefiningStep) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> any(0, INT32_MAX);
    for (int i = 0; i < 2'000'000; ++i) {
        const std::int32_t s = any(random);
        ASSERT_EQ(MinimalStandardStepFast(s), MinimalStandardStep(s)) << s;
    }
    for (const std::int32_t s :
         {0, 1, 2, 127772, 127773, 127774, 2147483645, 2147483646, 2147483647}) {
        EXPECT_EQ(MinimalStandardStepFast(s), MinimalStandardStep(s)) << s;
    }
}

TEST(MinimalStandard, TheLargestSeedSticksAtZeroAndNegativeStatesReturnInOneStep) {
    // 2147483647 falls to 0 and stays there.
    EXPECT_EQ(Draw(2147483647, 3), (std::vector<std::int32_t>{0, 0, 0}));
    // Negative states (clock seeds after January 2038) come back into 1..M-1 in one step,
    // by the wrapping arithmetic, except -M which also gives 0.
    EXPECT_EQ(MinimalStandardStep(-2147483647), 0);
    EXPECT_EQ(MinimalStandardStep(-1), 2147466840);
    EXPECT_EQ(MinimalStandardStep(INT32_MIN), 2147466840);
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int32_t> negative(INT32_MIN, -1);
    for (int i = 0; i < 1'000'000; ++i) {
        const std::int32_t s = negative(random);
        SeedMinimalStandard(s);
        const std::int32_t next = NextMinimalStandard();
        // 16807 * s mod M, taken in exact arithmetic, is what the step yields.
        const std::int64_t exact = (16807LL * s) % 2147483647LL;
        ASSERT_EQ(next, exact < 0 ? exact + 2147483647 : exact) << s;
    }
}

TEST(Compat, SeedsGiveTheRecordedSequencesAndANegativeSeedItsBits) {
    SeedCompat(1);
    std::vector<std::int32_t> one;
    for (int i = 0; i < 10; ++i)
        one.push_back(NextCompat());
    EXPECT_EQ(one, (std::vector<std::int32_t>{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358,
                                              26962, 24464}));
    SeedCompat(12345);
    std::vector<std::int32_t> other;
    for (int i = 0; i < 5; ++i)
        other.push_back(NextCompat());
    EXPECT_EQ(other, (std::vector<std::int32_t>{7584, 19164, 25795, 22125, 5828}));
    // A negative seed is taken by its 32 bits.
    SeedCompat(static_cast<std::uint32_t>(std::int32_t{-1}));
    EXPECT_EQ(NextCompat(),
              static_cast<std::int32_t>(((0xFFFFFFFFu * 214013u + 2531011u) >> 16) & 0x7FFF));
}

}  // namespace
}  // namespace lotrix
