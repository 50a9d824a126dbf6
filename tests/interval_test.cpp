// Choice 4: the constant-time interval scaling against the estimate-and-search it
// replaces, and the draws within bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "generators/interval.hpp"

namespace lotrix::testing {
namespace {

constexpr std::int32_t kM = 2147483647;

// The interval scaling as first defined: an estimate from above and a downward search,
// deciding M / r <= width / n by comparing the continued fractions of the two.
bool FractionAtMost(std::int32_t c, std::int32_t d, std::int32_t e, std::int32_t f) {
    for (;;) {
        const std::int32_t qc = c / d, qe = e / f;
        if (qc < qe) return true;
        if (qc > qe) return false;
        const std::int32_t c1 = c - qc * d;
        if (c1 == 0) return true;
        const std::int32_t e1 = e - qe * f;
        if (e1 == 0) return false;
        const std::int32_t nc = f, nd = e1, ne = d, nf = c1;
        c = nc, d = nd, e = ne, f = nf;
    }
}

std::int32_t SearchedScale(std::int32_t width, std::int32_t r) {
    const std::int32_t step = kM / width;
    std::int32_t n = r / step;
    if (n == 0) return 1;
    while (n > 0 && !FractionAtMost(kM, r, width, n))
        --n;
    return n + 1;
}

// How many comparisons the search would make: pairs too costly for the oracle are skipped.
std::int64_t SearchLength(std::int32_t width, std::int32_t r) {
    return r / (kM / width) - (static_cast<std::int64_t>(width) * r / kM);
}

void ExpectSameScale(std::int32_t width, std::int32_t r) {
    ASSERT_EQ(ScaleStep(width, r), SearchedScale(width, r)) << "width " << width << " r " << r;
}

TEST(Interval, ConstantTimeScalingAgreesWithTheSearch) {
    // The estimate lands exactly on a multiple: the search goes down to 0.
    ExpectSameScale(10, 214748364);
    EXPECT_EQ(ScaleStep(10, 214748364), 1);
    ExpectSameScale(3, 715827882);
    EXPECT_EQ(ScaleStep(3, 715827882), 1);
    // Width M: the estimate is the answer.
    ExpectSameScale(kM, 1);
    ExpectSameScale(kM, kM - 1);
    EXPECT_EQ(ScaleStep(kM, 5), 6);
    for (const std::int32_t width :
         {1, 2, 3, 10, 1000, 999983, kM / 2, kM / 2 + 1, (1 << 30) + 1, kM - 1, kM}) {
        const std::int32_t step = kM / width;
        for (std::int64_t multiple = 1; multiple <= 3; ++multiple) {
            for (std::int64_t d = -2; d <= 2; ++d) {
                const std::int64_t r = multiple * step + d;
                if (r >= 1 && r < kM) ExpectSameScale(width, static_cast<std::int32_t>(r));
            }
        }
        for (std::int32_t r : {1, 2, 3, 1000, kM - 2, kM - 1}) {
            if (SearchLength(width, r) <= 100000) ExpectSameScale(width, r);
        }
    }
    std::mt19937 random(99);
    std::uniform_int_distribution<std::int32_t> anyR(1, kM - 1);
    std::uniform_real_distribution<double> logWidth(0, 31 * 0.6931471805599453);
    int compared = 0;
    while (compared < 3'000'000) {
        const auto width =
            std::min<std::int64_t>(kM, static_cast<std::int64_t>(std::exp(logWidth(random))));
        const std::int32_t r = anyR(random);
        if (SearchLength(static_cast<std::int32_t>(width), r) > 2000) continue;
        ExpectSameScale(static_cast<std::int32_t>(width), r);
        ++compared;
    }
}

TEST(Interval, DivisionWithoutMultiplicationIsExact) {
    // Every product the scaling can meet, at its extremes and at random.
    auto expect = [](std::int32_t width, std::int32_t r) {
        const auto exact = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(r) /
                           static_cast<std::uint64_t>(kM);
        ASSERT_EQ(static_cast<std::uint64_t>(ScaleStep(width, r) - 1), exact) << width << " " << r;
    };
    for (const std::int32_t width : {1, 2, kM / 2, kM / 2 + 1, kM - 1, kM}) {
        for (const std::int32_t r : {0, 1, 2, kM / 2, kM / 2 + 1, kM - 2, kM - 1}) {
            expect(width, r);
        }
    }
    std::mt19937_64 random(3);
    std::uniform_int_distribution<std::int32_t> any(1, kM);
    for (int i = 0; i < 10'000'000; ++i)
        expect(any(random), any(random));
}

TEST(Interval, DrawStaysWithinTheBounds) {
    SeedMinimalStandard(1);
    std::vector<std::int32_t> values;
    for (int i = 0; i < 10; ++i)
        values.push_back(DrawInInterval(1, 10));
    EXPECT_EQ(values, (std::vector<std::int32_t>{1, 2, 8, 5, 6, 3, 1, 7, 7, 10}));
    SeedMinimalStandard(1);
    values.clear();
    for (int i = 0; i < 10; ++i)
        values.push_back(DrawInInterval(-3, 2));
    EXPECT_EQ(values, (std::vector<std::int32_t>{-3, -3, 1, -1, 0, -2, -3, 1, 1, 2}));
    // The widest interval at both ends of the 32-bit range.
    SeedMinimalStandard(1);
    EXPECT_EQ(DrawInInterval(INT32_MIN, -2), INT32_MIN + 16807);
    SeedMinimalStandard(2147483646);
    EXPECT_EQ(DrawInInterval(0, kM - 1), kM - 16807);
    // The stuck state gives the lower bound; degenerate bounds never reach a run.
    SeedMinimalStandard(kM);
    EXPECT_EQ(DrawInInterval(-7, 7), -7);
    EXPECT_EQ(DrawInInterval(5, 5), 5);
    EXPECT_EQ(DrawInInterval(6, 5), 0);
}

}  // namespace
}  // namespace lotrix::testing
