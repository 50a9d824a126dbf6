#include "generators/fast_lines.hpp"

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"

namespace lotrix {
namespace {

// The portable path: four generator states in flight, each stepping by the fourth power of
// the step, so that the products of four numbers overlap instead of each waiting for the
// one before; the digits by WriteFieldLine, which has no branches.
constexpr std::size_t kScalarLanes = 4;

struct MinimalStandardLanes {
    std::uint32_t states[kScalarLanes];
};

MinimalStandardLanes FirstLanes(std::int32_t state) {
    MinimalStandardLanes lanes{};
    for (std::size_t i = 0; i < kScalarLanes; ++i)
        lanes.states[i] = MultiplyModulo(static_cast<std::uint32_t>(state),
                                         kMinimalStandardPowers<kScalarLanes>[i]);
    return lanes;
}

void Jump(MinimalStandardLanes& lanes) {
    for (std::uint32_t& s : lanes.states)
        s = MultiplyModulo(s, kMinimalStandardPowers<kScalarLanes>.back());
}

void MinimalStandardScalar(char*& out, std::int32_t lines, std::int32_t& state,
                           std::string_view lineEnd) {
    MinimalStandardLanes lanes = FirstLanes(state);
    const std::uint64_t word = LineEndWord(lineEnd);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kScalarLanes) {
        for (const std::uint32_t s : lanes.states)
            cursor = WriteFieldLine(cursor, s, Sign::none, word, lineEnd.size());
        state = static_cast<std::int32_t>(lanes.states[kScalarLanes - 1]);
        Jump(lanes);
    }
    out = cursor;
}

void CompatScalar(char*& out, std::int32_t lines, std::uint32_t& state, std::string_view lineEnd) {
    constexpr auto& steps = kCompatSteps<kScalarLanes>;
    std::uint32_t lanes[kScalarLanes];
    for (std::size_t i = 0; i < kScalarLanes; ++i)
        lanes[i] = state * steps[0][i] + steps[1][i];
    const std::uint64_t word = LineEndWord(lineEnd);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kScalarLanes) {
        for (std::uint32_t& s : lanes) {
            cursor = WriteFieldLine(cursor, static_cast<std::uint32_t>(CompatValue(s)), Sign::none,
                                    word, lineEnd.size());
            state = s;
            s = s * steps[0].back() + steps[1].back();
        }
    }
    out = cursor;
}

void IntervalScalar(char*& out, std::int32_t lines, std::int32_t& state, std::int32_t lower,
                    std::int32_t width, std::string_view lineEnd) {
    MinimalStandardLanes lanes = FirstLanes(state);
    const std::uint64_t word = LineEndWord(lineEnd);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kScalarLanes) {
        for (const std::uint32_t s : lanes.states) {
            const std::int32_t value = IntervalValue(lower, width, static_cast<std::int32_t>(s));
            const auto bits = static_cast<std::uint32_t>(value);
            cursor = WriteFieldLine(cursor, value < 0 ? 0u - bits : bits,
                                    value < 0 ? Sign::minus : Sign::plus, word, lineEnd.size());
        }
        state = static_cast<std::int32_t>(lanes.states[kScalarLanes - 1]);
        Jump(lanes);
    }
    out = cursor;
}

void FieldLinesScalar(char* out, const std::uint32_t* magnitudes, const char* signs,
                      std::string_view lineEnd) {
    for (std::size_t i = 0; i < kScalarLanes; ++i) {
        const Sign sign = signs[i] == '+' ? Sign::plus : signs[i] == '-' ? Sign::minus : Sign::none;
        out = WriteFieldLine(out, magnitudes[i], sign, lineEnd);
    }
}

bool Always() {
    return true;
}

}  // namespace

const FastLines kScalarLines{"scalar lanes",        Always,       kScalarLanes,
                             MinimalStandardScalar, CompatScalar, IntervalScalar,
                             FieldLinesScalar,      nullptr,      nullptr};

const FastLines* ChooseFastLines() {
    for (const FastLines* path : kFastPaths) {
        if (path->minimalStandard != nullptr && path->runsHere()) return path;
    }
    return &kScalarLines;
}

}  // namespace lotrix
