#include "generators/compat.hpp"

namespace lotrix {

constinit thread_local std::uint32_t g_compatState = 1;

void SeedCompat(std::uint32_t seed) {
    g_compatState = seed;
}

}  // namespace lotrix
