#include "generators/minimal_standard.hpp"

namespace lotrix {

constinit thread_local std::int32_t g_minimalStandardState = 0;

void SeedMinimalStandard(std::int32_t seed) {
    g_minimalStandardState = seed;
}

}  // namespace lotrix
