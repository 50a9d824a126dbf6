#include "generators/compat.hpp"

namespace lotrix {

std::uint32_t g_compatState = 1;

void SeedCompat(std::uint32_t seed) {
    g_compatState = seed;
}

}  // namespace lotrix
