// Turns the program's number lines into the raw bit stream a test battery reads: from
// each number the bits that carry its randomness, packed one after the other into 32-bit
// words, with no constant bit fed as if it were random.
// Usage: pack_bits int BITS   (integer lines; the number minus OFFSET must be below 2^BITS)
//        pack_bits real BITS  (real lines in [0, 1); floor(x * 2^BITS))
// Reads standard input to its end; writes little-endian 32-bit words on standard output.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "int") != 0 && std::strcmp(argv[1], "real") != 0)) {
        std::fprintf(stderr, "usage: pack_bits int|real BITS\n");
        return 2;
    }
    const bool real = std::strcmp(argv[1], "real") == 0;
    const int bits = std::atoi(argv[2]);
    const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
    static char line[128];
    std::uint64_t pending = 0;  // bits not yet written, lowest first
    int held = 0;
    static std::uint32_t words[4096];
    std::size_t count = 0;
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        std::uint64_t value = 0;
        if (real) {
            value = static_cast<std::uint64_t>(std::strtod(line, nullptr) *
                                               static_cast<double>(mask + 1));
        } else {
            value = static_cast<std::uint64_t>(std::strtoll(line, nullptr, 10));
        }
        pending |= (value & mask) << held;
        held += bits;
        if (held >= 32) {
            words[count++] = static_cast<std::uint32_t>(pending);
            pending >>= 32;
            held -= 32;
            if (count == sizeof words / sizeof words[0]) {
                if (std::fwrite(words, sizeof words[0], count, stdout) != count) return 0;
                count = 0;
            }
        }
    }
    std::fwrite(words, sizeof words[0], count, stdout);
    return 0;
}
