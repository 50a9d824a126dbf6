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
constexpr std::size_t kPortableLanes = 4;

struct PortableStates {
    std::uint32_t states[kPortableLanes];
};

PortableStates FirstLanes(std::int32_t state) {
    PortableStates lanes{};
    for (std::size_t i = 0; i < kPortableLanes; ++i)
        lanes.states[i] = MultiplyModulo(static_cast<std::uint32_t>(state),
                                         kMinimalStandardPowers<kPortableLanes>[i]);
    return lanes;
}

void Jump(PortableStates& lanes) {
    for (std::uint32_t& s : lanes.states)
        s = MultiplyModulo(s, kMinimalStandardPowers<kPortableLanes>.back());
}

void MinimalStandardPortable(char*& out, std::int32_t lines, std::int32_t& state,
                             std::string_view lineEnd) {
    PortableStates lanes = FirstLanes(state);
    const std::uint64_t word = LineEndWord(lineEnd);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kPortableLanes) {
        for (const std::uint32_t s : lanes.states)
            cursor = WriteFieldLine(cursor, s, Sign::none, word, lineEnd.size());
        state = static_cast<std::int32_t>(lanes.states[kPortableLanes - 1]);
        Jump(lanes);
    }
    out = cursor;
}

void CompatPortable(char*& out, std::int32_t lines, std::uint32_t& state,
                    std::string_view lineEnd) {
    constexpr auto& steps = kCompatSteps<kPortableLanes>;
    std::uint32_t lanes[kPortableLanes];
    for (std::size_t i = 0; i < kPortableLanes; ++i)
        lanes[i] = state * steps[0][i] + steps[1][i];
    const std::uint64_t word = LineEndWord(lineEnd);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kPortableLanes) {
        for (std::uint32_t& s : lanes) {
            cursor = WriteFieldLine(cursor, static_cast<std::uint32_t>(CompatValue(s)), Sign::none,
                                    word, lineEnd.size());
            state = s;
            s = s * steps[0].back() + steps[1].back();
        }
    }
    out = cursor;
}

void IntervalPortable(char*& out, std::int32_t lines, std::int32_t& state, std::int32_t lower,
                      std::int32_t width, std::string_view lineEnd) {
    PortableStates lanes = FirstLanes(state);
    const std::uint64_t word = LineEndWord(lineEnd);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kPortableLanes) {
        for (const std::uint32_t s : lanes.states) {
            cursor = WriteSignedFieldLine(cursor,
                                          IntervalValue(lower, width, static_cast<std::int32_t>(s)),
                                          word, lineEnd.size());
        }
        state = static_cast<std::int32_t>(lanes.states[kPortableLanes - 1]);
        Jump(lanes);
    }
    out = cursor;
}

void FieldLinesPortable(char* out, const std::uint32_t* magnitudes, const Sign* signs,
                        std::string_view lineEnd) {
    for (std::size_t i = 0; i < kPortableLanes; ++i)
        out = WriteFieldLine(out, magnitudes[i], signs[i], lineEnd);
}

bool RunsEverywhere() {
    return true;
}

}  // namespace

const Path kPortablePath{
    "portable",     RunsEverywhere,   kPortableLanes,     MinimalStandardPortable,
    CompatPortable, IntervalPortable, FieldLinesPortable, nullptr,
    nullptr};

const Path* ChoosePath() {
    for (const Path* path : kPaths) {
        if (RunsHere(*path)) return path;
    }
    return &kPortablePath;
}

}  // namespace lotrix
