#include "generators/unit_real.hpp"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

#include "generators/digits.hpp"
#include "generators/wide_product.hpp"

namespace lotrix {
namespace {

constexpr int kDigits = 17;
constexpr std::uint64_t kTen17 = 100'000'000'000'000'000ull;

constexpr std::array<std::uint64_t, 28> kPowersOfFive = [] {
    std::array<std::uint64_t, 28> powers{};
    std::uint64_t power = 1;
    for (auto& p : powers) {
        p = power;
        power *= 5;
    }
    return powers;
}();

// The text from 17 significant digits d1..d17 and the decimal exponent X of d1:
// fixed style for -4 <= X < 30, exponent style otherwise; trailing zeros dropped.
char* Compose(const char* digits, int exponent, char* out) {
    int used = kDigits;
    while (used > 1 && digits[used - 1] == '0')
        --used;
    if (exponent < -4 || exponent >= 30) {
        *out++ = digits[0];
        if (used > 1) {
            *out++ = '.';
            std::memcpy(out, digits + 1, static_cast<std::size_t>(used - 1));
            out += used - 1;
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        *out++ = static_cast<char>('0' + magnitude / 100);
        *out++ = static_cast<char>('0' + magnitude / 10 % 10);
        *out++ = static_cast<char>('0' + magnitude % 10);
        return out;
    }
    if (exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = 0; i < -exponent - 1; ++i)
            *out++ = '0';
        std::memcpy(out, digits, static_cast<std::size_t>(used));
        return out + used;
    }
    const int whole = exponent + 1;  // digits before the point
    for (int i = 0; i < whole; ++i)
        *out++ = i < kDigits ? digits[i] : '0';
    if (used > whole) {
        *out++ = '.';
        std::memcpy(out, digits + whole, static_cast<std::size_t>(used - whole));
        out += used - whole;
    }
    return out;
}

// Any other value, the long way: the C library rounds the exact binary value correctly to
// 17 digits with "%.16e". Its text is read by position (the decimal point, whatever the
// locale makes of it, is skipped), and it is the only conversion this program needs from
// a library, so the program loads no C++ runtime library.
char* FormatAnyReal(double x, char* out) {
    std::array<char, 40> text;  // d.dddddddddddddddde-308
    std::snprintf(text.data(), text.size(), "%.16e", x);
    std::array<char, kDigits> digits;
    digits[0] = text[0];
    std::memcpy(digits.data() + 1, text.data() + 2, kDigits - 1);
    const char* exponentText = text.data() + kDigits + 2;  // after the 'e'
    const bool negative = *exponentText == '-';
    int exponent = 0;
    for (++exponentText; *exponentText >= '0' && *exponentText <= '9'; ++exponentText) {
        exponent = exponent * 10 + (*exponentText - '0');
    }
    return Compose(digits.data(), negative ? -exponent : exponent, out);
}

}  // namespace

char* FormatReal(double x, char* out) {
    if (x == 0) {
        *out = '0';
        return out + 1;
    }
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const int biased = static_cast<int>(bits >> 52);
    // The values of choice 2 lie in [4.6e-10, 1): there x = m * 2^e with 53-bit m and the
    // exact product m * 5^p for p <= 27 fits in 128 bits. Anything else goes the long way.
    if (biased == 0 || biased >= 1023 || biased < 1023 - 37) return FormatAnyReal(x, out);
    const std::uint64_t mantissa =
        (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int binaryExponent = biased - 1075;  // x = mantissa * 2^binaryExponent
    // floor(log10 x) is floor((biased - 1023) * log10 2) or one more.
    int exponent = ((biased - 1023) * 78913) >> 18;
    std::uint64_t scaled = 0;
    for (;;) {
        // round(x * 10^p) = round(mantissa * 5^p / 2^shift), with p = 16 - exponent.
        const int p = kDigits - 1 - exponent;
        const int shift = -(p + binaryExponent);
        // The product of a 53-bit significand and 5^p (p <= 27) needs up to 117 bits.
        const WideProduct exact =
            MultiplyWide(mantissa, kPowersOfFive[static_cast<std::size_t>(p)]);
        // Halves round up; values of this kind never fall on one.
        scaled = ShiftRounded(exact, shift);
        if (scaled < kTen17) break;
        ++exponent;  // the estimate was one low, or the rounding carried into a new digit
    }
    std::array<char, kDigits> digits;
    // d1, then d2..d9 and d10..d17 as two words of eight digits.
    digits[0] = static_cast<char>('0' + scaled / 10'000'000'000'000'000u);
    const std::uint64_t middle =
        EightDigits(static_cast<std::uint32_t>(scaled / 100'000'000 % 100'000'000));
    const std::uint64_t last = EightDigits(static_cast<std::uint32_t>(scaled % 100'000'000));
    StoreText(digits.data() + 1, middle);
    StoreText(digits.data() + 9, last);
    return Compose(digits.data(), exponent, out);
}

namespace {

// 5^17 to 5^20: with 2^p, the powers of ten that bring x in [0.0001, 1) to 17 digits.
constexpr std::array<std::uint64_t, 4> kFifthPowers = {kPowersOfFive[17], kPowersOfFive[18],
                                                       kPowersOfFive[19], kPowersOfFive[20]};

// The number of '0' characters at the end of eight digits stored lowest byte first.
int TrailingZeroDigits(std::uint64_t digits) {
    const std::uint64_t other = digits ^ 0x3030'3030'3030'3030u;  // zero bytes where '0'
    return other == 0 ? 8 : std::countl_zero(other) / 8;
}

}  // namespace

char* WriteUnitRealLine(char* out, double x, std::string_view lineEnd) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    // From 0.0001 up: "0." then one to three zeros less than the decimal exponent's
    // magnitude, then 17 digits without the trailing zeros. Every power of ten below 1
    // rounds up as a double, so x >= fl(10^-k) is exactly x >= 10^-k.
    if (x >= 0.0001 && x < 1) {
        const int exponent = -4 + (x >= 0.001) + (x >= 0.01) + (x >= 0.1);  // floor(log10 x)
        const int p = kDigits - 1 - exponent;                               // 17 to 20
        const std::uint64_t mantissa =
            (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
        const int shift = 1075 - static_cast<int>(bits >> 52) - p;  // 36 to 49 here
        // round(x * 10^p) = round(mantissa * 5^p / 2^shift); halves round up.
        const WideProduct exact =
            MultiplyWide(mantissa, kFifthPowers[static_cast<std::size_t>(p - 17)]);
        const std::uint64_t scaled = ShiftRounded(exact, shift);
        if (scaled >= kTen17 / 10 && scaled < kTen17) {
            std::memcpy(out, "       0.000", 12);
            char* digits = out + 9 + (-exponent - 1);
            const auto first = static_cast<char>('0' + scaled / 10'000'000'000'000'000u);
            const std::uint64_t rest = scaled % 10'000'000'000'000'000u;
            const std::uint64_t middle =
                EightDigits(static_cast<std::uint32_t>(rest / 100'000'000));
            const std::uint64_t last = EightDigits(static_cast<std::uint32_t>(rest % 100'000'000));
            digits[0] = first;
            StoreText(digits + 1, middle);
            StoreText(digits + 9, last);
            int zeros = TrailingZeroDigits(last);
            if (zeros == 8) zeros += TrailingZeroDigits(middle);
            char* end = digits + kDigits - zeros;
            const std::uint64_t ending = LineEndWord(lineEnd);
            StoreText(end, ending, 2);
            return end + lineEnd.size();
        }
    }
    std::memcpy(out, "       ", 7);
    char* end = FormatReal(x, out + 7);
    std::memcpy(end, lineEnd.data(), lineEnd.size());
    return end + lineEnd.size();
}

char* WriteRealLines(char* out, const std::int32_t* steps, int count, std::string_view lineEnd) {
    for (int i = 0; i < count; ++i)
        out = WriteUnitRealLine(out, UnitRealFrom(steps[i]), lineEnd);
    return out;
}

}  // namespace lotrix
