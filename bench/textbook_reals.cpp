// The textbook loop for the reals: each value formatted with snprintf("%.16e"), reshaped
// into the record's text and written with fprintf. Usage: textbook_reals COUNT SEED
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const long count = std::atol(argv[1]);
    std::int32_t state = static_cast<std::int32_t>(std::atol(argv[2]));
    const double scale = std::bit_cast<double>(std::uint64_t{0x3E000000001C5F68});
    std::FILE* file = std::fopen("lotrix20.txt", "a");
    if (file == nullptr) return 1;
    char text[64], out[64];
    for (long i = 0; i < count; ++i) {
        const std::int32_t k = state / 127773;
        state = static_cast<std::int32_t>(16807u * static_cast<std::uint32_t>(state) -
                                          2147483647u * static_cast<std::uint32_t>(k));
        if (state < 0) state += 2147483647;
        std::snprintf(text, sizeof text, "%.16e", state * scale);
        // d.dddddddddddddddde-XX -> 17 digits and the exponent, trailing zeros dropped.
        char digits[18];
        digits[0] = text[0];
        std::memcpy(digits + 1, text + 2, 16);
        int used = 17;
        while (used > 1 && digits[used - 1] == '0')
            --used;
        digits[used] = '\0';
        const int exponent = std::atoi(text + 19);
        if (exponent < -4) {
            std::snprintf(out, sizeof out, "%c%s%s%se-%03d", digits[0], used > 1 ? "." : "",
                          digits + 1, "", -exponent);
        } else {
            std::snprintf(out, sizeof out, "0.%.*s%s", -exponent - 1, "0000", digits);
        }
        std::fprintf(file, "       %s\n", out);
    }
    return std::fclose(file) == 0 ? 0 : 1;
}
