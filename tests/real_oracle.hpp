// The text of a real as the record has it, made the plain way: an independent oracle
// for the program's own conversion.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "generators/unit_real.hpp"

namespace lotrix::testing {

// A step of the generator as a real, r times the scale rounded once: the processor's own
// IEEE multiplication. On 32-bit x86 it is asked of the SSE2 unit, since the x87 one keeps
// the product in a wider format and rounds it twice.
#if defined(__i386__) && defined(__GNUC__) && !defined(__clang__)
[[gnu::target("sse2,fpmath=sse"), gnu::noinline]]
#endif
inline double
OracleUnitReal(std::int64_t r) {
    return static_cast<double>(static_cast<std::int32_t>(r)) * kUnitScale;
}

// The powers of ten the values cross (10^-9 to 10^-1), each the double nearest to it: a
// loop multiplying by ten would run once more on a processor that keeps the product wider.
inline constexpr double kPowersOfTenBelowOne[] = {1e-9, 1e-8, 1e-7, 1e-6, 1e-5,
                                                  1e-4, 1e-3, 1e-2, 1e-1};

// The oracle: glibc rounds the exact binary value correctly to 17 digits with "%.16e";
// reshaped here by plain string handling into "%.030g" with three-digit exponents.
inline std::string OracleText(double x) {
    if (x == 0) return "0";
    char text[64];
    std::snprintf(text, sizeof text, "%.16e", x);
    std::string s = text;
    const auto e = s.find('e');
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
    const int exponent = std::stoi(s.substr(e + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    if (exponent < -4) {
        std::string mantissa = digits.substr(0, 1);
        if (digits.size() > 1) mantissa.append(".").append(digits, 1);
        char tail[16];
        std::snprintf(tail, sizeof tail, "e-%03d", -exponent);
        return mantissa + tail;
    }
    std::string fixed = "0.";
    fixed.append(static_cast<std::size_t>(-exponent - 1), '0');
    fixed.append(digits);
    return fixed;
}

}  // namespace lotrix::testing
