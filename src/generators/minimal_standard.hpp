// The minimal-standard generator: s <- 16807 * s mod 2147483647, one state a thread (a
// run's second thread makes its own shares of the same sequence from its own state).
// Choices 2, 3 and 4 all draw from it, one step per number. Every 32-bit state steps as
// Schrage's decomposition in wrapping 32-bit arithmetic defines it, so a negative clock
// seed (after January 2038) or 2147483647 behaves exactly as recorded files expect.
#pragma once

#include <cstdint>

namespace lotrix {

constexpr std::int32_t kModulus = 2147483647;  // 2^31 - 1
constexpr std::int32_t kMultiplier = 16807;

extern constinit thread_local std::int32_t g_minimalStandardState;

void SeedMinimalStandard(std::int32_t seed);

// The step as Schrage's decomposition defines it, for any state.
[[nodiscard]] constexpr std::int32_t MinimalStandardStep(std::int32_t s) {
    constexpr std::int32_t kQuotient = kModulus / kMultiplier;  // 127773
    const std::int32_t k = s / kQuotient;
    const std::uint32_t t =
        static_cast<std::uint32_t>(kMultiplier) * static_cast<std::uint32_t>(s) -
        static_cast<std::uint32_t>(kModulus) * static_cast<std::uint32_t>(k);
    const auto signedT = static_cast<std::int32_t>(t);
    return signedT < 0 ? signedT + kModulus : signedT;
}

// a * b modulo 2^31 - 1 for a and b below 2^31, by the Mersenne-prime reduction, which
// needs no division: the product's high and low 31 bits add up to it modulo M.
[[nodiscard]] constexpr std::uint32_t MultiplyModulo(std::uint32_t a, std::uint32_t b) {
    const std::uint64_t product = std::uint64_t{a} * b;
    const std::uint64_t folded = (product & static_cast<std::uint64_t>(kModulus)) + (product >> 31);
    return static_cast<std::uint32_t>(
        folded >= static_cast<std::uint64_t>(kModulus) ? folded - kModulus : folded);
}

// The same step by that reduction: for states 0..2^31-1 the two agree.
[[nodiscard]] constexpr std::int32_t MinimalStandardStepFast(std::int32_t s) {
    return static_cast<std::int32_t>(
        MultiplyModulo(static_cast<std::uint32_t>(kMultiplier), static_cast<std::uint32_t>(s)));
}

// The next state after s: the division-free step wherever it agrees with the defining one.
[[nodiscard]] constexpr std::int32_t MinimalStandardAdvance(std::int32_t s) {
    return s >= 0 ? MinimalStandardStepFast(s) : MinimalStandardStep(s);
}

// The state `steps` steps after s, at the cost of about 2 log2(steps) multiplications:
// one step as defined (it brings any state into 0..2^31-2), then s * 16807^(steps - 1).
[[nodiscard]] constexpr std::int32_t MinimalStandardJump(std::int32_t s, std::uint64_t steps) {
    if (steps == 0) return s;
    auto state = static_cast<std::uint32_t>(MinimalStandardAdvance(s));
    std::uint32_t power = static_cast<std::uint32_t>(kMultiplier);
    for (std::uint64_t left = steps - 1; left != 0; left >>= 1) {
        if ((left & 1) != 0) state = MultiplyModulo(state, power);
        power = MultiplyModulo(power, power);
    }
    return static_cast<std::int32_t>(state);
}

// Advances the state one step and returns the new state.
inline std::int32_t NextMinimalStandard() {
    g_minimalStandardState = MinimalStandardAdvance(g_minimalStandardState);
    return g_minimalStandardState;
}

}  // namespace lotrix
