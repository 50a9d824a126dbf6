// Lines of the rows, many at a time: generator lanes advanced together by the jump-ahead
// multiplier (a power of the step), and the digits of many numbers made at once. The
// scalar reference, one step and one line per number, defines the bytes; every path here
// writes exactly them, in the same order.
//
// The path is chosen once, when the first lines are made, from what the processor
// supports: AVX-512, AVX2, or the portable path, which builds and runs everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "generators/digits.hpp"

namespace lotrix {

// Each writes `lines` lines of its row at `out` (a multiple of kWidestGroup; up to kSpill
// bytes past the last line may be stored to), leaves `out` at their end and advances the
// state by as many steps. The minimal-standard rows need a state in 1..2147483646 (the scalar
// path takes the others); `lineEnd` is one or two bytes.
struct Path {
    const char* name;
    // What its code was compiled for, comma-separated as a compiler's target, which is
    // what the processor is asked for before the path runs ("": every processor).
    std::string_view features;
    std::int32_t lanes;  // lines made together
    void (*minimalStandard)(char*& out, std::int32_t lines, std::int32_t& state,
                            std::string_view lineEnd);
    void (*compat)(char*& out, std::int32_t lines, std::uint32_t& state, std::string_view lineEnd);
    // Choice 4 also gives, where `offsets` is not null, each value's offset from `lower`
    // (a draw without repeats remembers its values by them).
    void (*interval)(char*& out, std::int32_t lines, std::int32_t& state, std::int32_t lower,
                     std::int32_t width, std::uint32_t* offsets, std::string_view lineEnd);
    // The digit writer alone: `lanes` lines for as many magnitudes and their signs, as
    // WriteFieldLine writes them one by one (a signed group has no Sign::none).
    void (*fieldLines)(char* out, const std::uint32_t* magnitudes, const Sign* signs,
                       std::string_view lineEnd);
    // Choice 2's lines, where the path has them (nullptr otherwise): the state must be in
    // 1..2147483646 as for the minimal-standard rows. And their writer alone, for 16 given
    // steps of the generator; returns the end of the lines.
    void (*unitReal)(char*& out, std::int32_t lines, std::int32_t& state, std::string_view lineEnd);
    char* (*realLines)(char* out, const std::int32_t* steps, std::string_view lineEnd);
};

// The widest path's lane group (the lines its lanes make together, AVX-512's 16): every
// path's line counts are multiples of it.
constexpr std::int32_t kWidestGroup = 16;
// The most bytes a path stores past the end of its last line (whole vector registers).
constexpr std::int32_t kSpill = 64;

// The paths, fastest first, for the choice at start and for tests to reach each one
// directly: the vector ones where the processor has them, and the portable one that runs
// everywhere (several generator states in flight, the digits without branches).
extern const Path kAvx512Path;
extern const Path kAvx2Path;
extern const Path kPortablePath;
constinit inline const Path* const kPaths[] = {&kAvx512Path, &kAvx2Path, &kPortablePath};

// Whether the processor has each of `features` (as Path::features); one it cannot be asked
// about it has not. And whether it can be asked about each.
[[nodiscard]] bool ProcessorHas(std::string_view features);
[[nodiscard]] bool KnowsFeatures(std::string_view features);

[[nodiscard]] inline bool RunsHere(const Path& path) {
    return path.minimalStandard != nullptr && ProcessorHas(path.features);
}

// The fastest path the processor supports.
[[nodiscard]] const Path* ChoosePath();

// The generators in lanes: lane i of a lane group holds the state i + 1 steps after the
// one before the group, so the lanes read in order are the scalar sequence, and every
// lane jumps by the group's length at once (the last lane's constants).
// Minimal standard: s * 16807^(i+1) mod (2^31 - 1).
template <std::size_t kLanes>
inline constexpr std::array<std::uint32_t, kLanes> kMinimalStandardPowers = [] {
    std::array<std::uint32_t, kLanes> powers{};
    std::uint64_t power = 1;
    for (auto& p : powers) {
        power = power * 16807 % 2147483647;
        p = static_cast<std::uint32_t>(power);
    }
    return powers;
}();

// Compatibility: s * a^(i+1) + c * (a^i + ... + 1), modulo 2^32: the multipliers, then
// the increments.
template <std::size_t kLanes>
inline constexpr std::array<std::array<std::uint32_t, kLanes>, 2> kCompatSteps = [] {
    std::array<std::array<std::uint32_t, kLanes>, 2> steps{};
    std::uint32_t a = 1, c = 0;
    for (std::size_t i = 0; i < kLanes; ++i) {
        a *= 214013u;
        c = c * 214013u + 2531011u;
        steps[0][i] = a;
        steps[1][i] = c;
    }
    return steps;
}();

}  // namespace lotrix
