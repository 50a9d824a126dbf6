// Choices 1, 2 and 4: the reals' text and the interval scaling against independent
// oracles, and each choice's exact record.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "dialogue_support.hpp"
#include "generators/interval.hpp"
#include "generators/unit_real.hpp"
#include "real_oracle.hpp"

namespace lotrix::testing {
namespace {

constexpr std::int32_t kM = 2147483647;

std::string Format(double x) {
    char text[64];
    return {text, FormatReal(x, text)};
}

double UnitReal(std::int32_t r) {
    return static_cast<double>(r) * kUnitScale;
}

TEST(UnitReal, ScaleIsTheRecordedConstantNotOneOverM) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(kUnitScale), 0x3E000000001C5F68u);
    EXPECT_NE(kUnitScale, 1.0 / kM);
}

TEST(UnitReal, KnownTexts) {
    const std::pair<std::int32_t, const char*> known[] = {
        {16807, "7.8263692590125011e-006"},  {282475249, "0.1315377881362231"},
        {1622650073, "0.75560532215514897"}, {1, "4.6566128750000002e-010"},
        {2147483646, "0.99999999948155427"}, {214748, "9.9999830168050001e-005"},
        {214749, "0.0001000002958293375"},   {1000000, "0.00046566128750000002"},
    };
    for (const auto& [r, text] : known)
        EXPECT_EQ(Format(UnitReal(r)), text) << r;
    EXPECT_EQ(Format(0.0), "0");
    // Outside the generator's values the text keeps the same rules.
    EXPECT_EQ(Format(0.5), "0.5");
    EXPECT_EQ(Format(1e-300), "1e-300");
    EXPECT_EQ(Format(3.0000000000000004e-200), "3.0000000000000005e-200");
    EXPECT_EQ(Format(1.5), "1.5");
    EXPECT_EQ(Format(123456.75), "123456.75");
    EXPECT_EQ(Format(1e30), "1e+030");
    EXPECT_EQ(Format(1e29), "99999999999999991000000000000");
}

TEST(UnitReal, AgreesWithTheOracleOverDenseRangesAndAMillionRandomSteps) {
    auto check = [](std::int32_t r) {
        const double x = UnitReal(r);
        const std::string got = Format(x);
        if (got != OracleText(x)) {
            ADD_FAILURE() << "r " << r << ": " << got << " vs " << OracleText(x);
            return false;
        }
        return true;
    };
    for (std::int32_t r = 1; r <= 300000; ++r) {
        if (!check(r)) return;
    }
    for (std::int32_t r = kM - 300000; r < kM; ++r) {
        if (!check(r)) return;
    }
    std::mt19937 random(2024);
    std::uniform_int_distribution<std::int32_t> any(1, kM - 1);
    for (int i = 0; i < 1'000'000; ++i) {
        if (!check(any(random))) return;
    }
    // Every power-of-ten boundary the values cross, where the exponent estimate is tested.
    for (double boundary = 1e-9; boundary < 1; boundary *= 10) {
        const auto r = static_cast<std::int32_t>(boundary / kUnitScale);
        for (std::int32_t d = -50; d <= 50; ++d) {
            if (r + d >= 1 && !check(r + d)) return;
        }
    }
}

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

class Modes : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(Modes, EachChoiceWritesItsExactRecord) {
    const std::string summary = "sono stati generati 5 numeri casuali in 1 secondi\n\n\n\n\n";
    EXPECT_EQ(RunDialogueWith("1\n5\n1\n1\n").record,
              "seme = 1;  numeri da generare = 5\n(interi tra 0 e 32.767)\n\n"
              "          41\n       18467\n        6334\n       26500\n       19169\n" +
                  summary);
    std::filesystem::remove("lotrix20.txt");
    EXPECT_EQ(RunDialogueWith("2\n5\n1\n1\n").record,
              "seme = 1;  numeri da generare = 5\n(reali tra 0 e 1)\n\n"
              "       7.8263692590125011e-006\n"
              "       0.1315377881362231\n"
              "       0.75560532215514897\n"
              "       0.4586501318992397\n"
              "       0.53276723738404741\n" +
                  summary);
    std::filesystem::remove("lotrix20.txt");
    EXPECT_EQ(RunDialogueWith("4\n-3\n2\n5\n1\n1\n").record,
              "seme = 1;  numeri da generare = 5\n"
              "(interi tra -2.147.483.648 e +2.147.483.647)\n"
              "intervallo scelto: da -3 a +2\n\n"
              "          -3\n          -3\n          +1\n          -1\n          +0\n" +
                  summary);
}

TEST_F(Modes, ClockSeedGoesThroughTheSameSeeding) {
    const auto outcome = RunDialogueWith("1\n2\n2\n", {12345, 12345});
    EXPECT_EQ(outcome.record,
              "seme = 12345;  numeri da generare = 2\n(interi tra 0 e 32.767)\n\n"
              "        7584\n       19164\n"
              "sono stati generati 2 numeri casuali in 1 secondi\n\n\n\n\n");
}

TEST_F(Modes, TheStuckSeedGivesZeroTheLowerBoundOrNothingElse) {
    EXPECT_NE(RunDialogueWith("2\n3\n1\n2147483647\n")
                  .record.find("(reali tra 0 e 1)\n\n       0\n       0\n       0\nsono"),
              std::string::npos);
    std::filesystem::remove("lotrix20.txt");
    EXPECT_NE(RunDialogueWith("4\n-9\n9\n2\n1\n2147483647\n")
                  .record.find("\n\n          -9\n          -9\nsono"),
              std::string::npos);
}

TEST_F(Modes, AnIntervalWiderThanTheScalingCanTellApartIsRefused) {
    const std::string error =
        "\n\nERRORE, L' AMPIEZZA DELL' INTERVALLO NON PUO' SUPERARE 2.147.483.647\n"
        "premi un tasto qualsiasi per uscire...  ";
    for (const char* input : {"4\n0\n2147483647\n", "4\n-2000000000\n2000000000\n",
                              "4\n-2147483648\n0\n", "4\n-1\n2147483646\n"}) {
        const auto outcome = RunDialogueWith(input);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.console.substr(outcome.console.size() - error.size()), error) << input;
        EXPECT_FALSE(outcome.fileExists) << input;
    }
    // The widest interval allowed has exactly 2147483647 values.
    const auto widest = RunDialogueWith("4\n-2147483648\n-2\n1\n1\n1\n");
    EXPECT_NE(widest.record.find("intervallo scelto: da -2147483648 a -2\n\n"), std::string::npos);
    EXPECT_NE(widest.record.find("\n -2147466841\n"), std::string::npos) << widest.record;
}

}  // namespace
}  // namespace lotrix::testing
