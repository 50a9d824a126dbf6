// The text of a real as the record has it, made the plain way: an independent oracle
// for the program's own conversion.
#pragma once

#include <cstdio>
#include <string>

namespace lotrix::testing {

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
