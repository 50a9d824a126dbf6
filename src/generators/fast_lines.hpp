// Lines of the integer rows, many at a time, on the vector unit: eight generator lanes
// advanced together by the jump-ahead multiplier (the eighth power of the step), and the
// digits of eight numbers made at once. The scalar twin, one step and WriteFieldLine per
// number, defines the bytes; every path here writes exactly them, in the same order.
//
// The path is chosen once, at start, from what the processor supports; a processor
// without the vector unit (or another architecture) keeps the scalar path.
#pragma once

#include <cstdint>
#include <string_view>

namespace lotrix {

// Each writes `groups` x 8 lines of its row at `out` (up to 16 bytes past the last line
// may be stored to), leaves `out` at their end and advances the state by as many steps.
// The minimal-standard rows need a state in 1..2147483646 (the scalar path takes the
// others); `lineEnd` is one or two bytes.
struct FastLines {
    void (*minimalStandard)(char*& out, std::int32_t groups, std::int32_t& state,
                            std::string_view lineEnd);
    void (*compat)(char*& out, std::int32_t groups, std::uint32_t& state, std::string_view lineEnd);
    void (*interval)(char*& out, std::int32_t groups, std::int32_t& state, std::int32_t lower,
                     std::int32_t width, std::string_view lineEnd);
    // The digit writer alone: eight lines for eight magnitudes and their signs ('+', '-',
    // or 0 for none), as WriteFieldLine writes them one by one.
    void (*fieldLines)(char* out, const std::uint32_t* magnitudes, const char* signs,
                       std::string_view lineEnd);
};

// The fastest path the processor supports; nullptr when only the scalar one.
[[nodiscard]] const FastLines* ChooseFastLines();

// The AVX2 path, for tests to reach directly; HasAvx2() says whether it may run here.
extern const FastLines kAvx2Lines;
[[nodiscard]] bool HasAvx2();

// The generators' jump-ahead constants for eight steps.
inline constexpr std::uint32_t kMinimalStandardJump8 = [] {
    std::uint64_t power = 1;
    for (int i = 0; i < 8; ++i)
        power = power * 16807 % 2147483647;
    return static_cast<std::uint32_t>(power);
}();

}  // namespace lotrix
