#include "generators/unit_real.hpp"

#include <array>
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
    std::memcpy(digits.data() + 1, &middle, 8);
    std::memcpy(digits.data() + 9, &last, 8);
    return Compose(digits.data(), exponent, out);
}

}  // namespace lotrix
