// Choice 2: the reals' scale and their text against a correctly rounded oracle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "generators/unit_real.hpp"
#include "generators/wide_product.hpp"
#include "real_oracle.hpp"

namespace lotrix::testing {
namespace {

constexpr std::int32_t kM = 2147483647;

std::string Format(double x) {
    char text[64];
    return {text, FormatReal(x, text)};
}

double UnitReal(std::int32_t r) {
    return UnitRealFrom(r);
}

TEST(UnitReal, ScaleIsTheRecordedConstantNotOneOverM) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(kUnitScale), 0x3E000000001C5F68u);
    EXPECT_NE(kUnitScale, 1.0 / kM);
}

// The product is rounded once, to nearest with ties to even, on every processor: these
// steps are among those that a product rounded twice (x87) gets wrong in the last digit.
TEST(UnitReal, EachStepIsTheProductRoundedOnce) {
    const std::pair<std::int32_t, const char*> twiceRoundedWrong[] = {
        {1506700812, "0.70161223999321554"},  // seed 1's 14,357th value
        {36379, "1.6940291977962499e-005"},  {216118, "0.000100637786131925"},
        {242634, "0.00011298526083127501"},  {45541, "2.1206680694037503e-005"},
    };
    for (const auto& [r, text] : twiceRoundedWrong)
        EXPECT_EQ(Format(UnitRealFrom(r)), text) << r;
    for (std::int64_t r = 1; r < kM; r += 9973) {
        ASSERT_EQ(UnitRealFrom(static_cast<std::int32_t>(r)), OracleUnitReal(r)) << r;
    }
    EXPECT_EQ(UnitRealFrom(0), 0.0);
}

TEST(UnitReal, SpecimenStatesGiveTheirRecordedTexts) {
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
    for (const double boundary : kPowersOfTenBelowOne) {
        const auto r = static_cast<std::int32_t>(boundary / kUnitScale);
        for (std::int32_t d = -50; d <= 50; ++d) {
            if (r + d >= 1 && !check(r + d)) return;
        }
    }
}

// The short way of the lines against FormatReal's text, for every 211th step of the
// generator (fewer in unoptimised builds) and the doubles around each power of ten.
TEST(UnitReal, TheLineWriterMatchesFormatRealAcrossTheSteps) {
#if defined(NDEBUG)
    constexpr std::int64_t kStride = 211;
#else
    constexpr std::int64_t kStride = 40009;
#endif
    char fast[64], plain[64];
    auto check = [&](double x, std::string_view lineEnd) {
        char* end = WriteUnitRealLine(fast, x, lineEnd);
        std::memcpy(plain, "       ", 7);
        char* plainEnd = FormatReal(x, plain + 7);
        std::memcpy(plainEnd, lineEnd.data(), lineEnd.size());
        plainEnd += lineEnd.size();
        if (std::string_view(fast, static_cast<std::size_t>(end - fast)) ==
            std::string_view(plain, static_cast<std::size_t>(plainEnd - plain)))
            return true;
        ADD_FAILURE() << x << ": '" << std::string(fast, end) << "' vs '"
                      << std::string(plain, plainEnd) << "'";
        return false;
    };
    for (std::int64_t r = 1; r < kM; r += kStride) {
        if (!check(UnitReal(static_cast<std::int32_t>(r)), "\n")) return;
    }
    for (double power = 1e-5; power <= 1; power *= 10) {
        double x = power, y = power;
        for (int i = 0; i < 1000; ++i) {
            if (!check(x, "\n") || !check(y, "\r\n")) return;
            x = std::nextafter(x, 2.0), y = std::nextafter(y, 0.0);
        }
    }
    EXPECT_TRUE(check(0.0, "\n") && check(0.5, "\r\n") && check(0.1, "\n") && check(1.0, "\n"));
}

// The path another compiler would take gives the same products and roundings.
TEST(WideProduct, PortablePathEqualsTheCompilersOwn) {
    std::mt19937_64 random(17);
    for (int i = 0; i < 1'000'000; ++i) {
        const std::uint64_t a = random() >> (random() % 64), b = random() >> (random() % 64);
        const WideProduct portable = MultiplyWidePortable(a, b), own = MultiplyWide(a, b);
        ASSERT_EQ(portable.high, own.high) << a << " * " << b;
        ASSERT_EQ(portable.low, own.low) << a << " * " << b;
    }
    constexpr std::uint64_t kAll = ~std::uint64_t{0};
    EXPECT_EQ(MultiplyWidePortable(kAll, kAll).high, kAll - 1);
    EXPECT_EQ(MultiplyWidePortable(kAll, kAll).low, 1u);
    // Rounding: halves go up, across the carry into the high word.
    EXPECT_EQ(ShiftRounded({0, 3}, 1), 2u);
    EXPECT_EQ(ShiftRounded({0, 5}, 2), 1u);
    EXPECT_EQ(ShiftRounded({0, 6}, 2), 2u);
    EXPECT_EQ(ShiftRounded({1, kAll}, 64), 2u);
    EXPECT_EQ(ShiftRounded({5, 0}, 66), 1u);
}

}  // namespace
}  // namespace lotrix::testing
