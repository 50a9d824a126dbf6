// The textbook loop the program is measured against: one fprintf per number into a
// stdio stream, with the same generators. Usage: textbook_integers CHOICE COUNT SEED
// (choice 1: the 15-bit generator, "%12u"; choice 3: the minimal-standard, "%12d").
#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const int choice = std::atoi(argv[1]);
    const long count = std::atol(argv[2]);
    std::int32_t state = static_cast<std::int32_t>(std::atol(argv[3]));
    std::uint32_t compat = static_cast<std::uint32_t>(state);
    std::FILE* file = std::fopen("lotrix20.txt", "a");
    if (file == nullptr) return 1;
    for (long i = 0; i < count; ++i) {
        if (choice == 1) {
            compat = compat * 214013u + 2531011u;
            std::fprintf(file, "%12u\n", (compat >> 16) & 0x7FFFu);
        } else {
            const std::int32_t k = state / 127773;
            state = static_cast<std::int32_t>(16807u * static_cast<std::uint32_t>(state) -
                                              2147483647u * static_cast<std::uint32_t>(k));
            if (state < 0) state += 2147483647;
            std::fprintf(file, "%12d\n", state);
        }
    }
    return std::fclose(file) == 0 ? 0 : 1;
}
