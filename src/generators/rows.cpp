#include "generators/rows.hpp"

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/unit_real.hpp"

namespace lotrix {
namespace {

// The path tests asked for, or none: then the one chosen when the first lines are made.
// Threads that choose at once choose the same, so a plain atomic store will do (a guarded
// static would tie the program to the C++ runtime library for its lock).
constinit const Path* g_asked = nullptr;
constinit std::atomic<const Path*> g_chosen{nullptr};

const Path& CurrentPath() {
    if (g_asked != nullptr) return *g_asked;
    const Path* chosen = g_chosen.load(std::memory_order_relaxed);
    if (chosen == nullptr) {
        chosen = ChoosePath();
        g_chosen.store(chosen, std::memory_order_relaxed);
    }
    return *chosen;
}

// The scalar reference's batch: the same numbers as the line makers, but with the generator's
// state (and the bounds) in a local for the whole batch: through the global, every step
// would wait for the previous one's store, since the stores of the text may alias it.
// `makeOne(cursor, state)` advances the state one step and writes that number's line.
template <typename State, typename MakeOne>
std::int32_t MakeLines(State& generator, char*& out, std::int32_t count, const StopFlag& stop,
                       MakeOne makeOne) {
    State state = generator;
    char* cursor = out;
    std::int32_t made = 0;
    while (made < count && !stop.load(std::memory_order_relaxed)) {
        cursor = makeOne(cursor, state);
        ++made;
    }
    generator = state;
    out = cursor;
    return made;
}

// Writes whole blocks on the vector path while the flag is down; returns how many lines.
template <typename WriteBlock>
std::int32_t PathBlocks(std::int32_t count, const StopFlag& stop, WriteBlock writeBlock) {
    std::int32_t made = 0;
    while (count - made >= kBlockLines && !stop.load(std::memory_order_relaxed)) {
        writeBlock(kBlockLines);
        made += kBlockLines;
    }
    return made;
}

// The minimal-standard lanes take the states 1..2147483646; the others stay scalar.
bool IsPathState(std::int32_t state) {
    return state >= 1 && state < kModulus;
}

}  // namespace

void UsePath(const Path* path) {
    g_asked = path;
}

std::int32_t CompatLines(char*& out, std::int32_t count, std::string_view lineEnd,
                         const StopFlag& stop) {
    const Path& path = CurrentPath();
    const std::int32_t made = PathBlocks(
        count, stop, [&](std::int32_t lines) { path.compat(out, lines, g_compatState, lineEnd); });
    const std::uint64_t word = LineEndWord(lineEnd);
    return made + MakeLines(g_compatState, out, count - made, stop,
                            [word, size = lineEnd.size()](char* cursor, std::uint32_t& state) {
                                state = CompatAdvance(state);
                                const auto value = static_cast<std::uint32_t>(CompatValue(state));
                                return WriteFieldLine(cursor, value, Sign::none, word, size);
                            });
}

std::int32_t UnitRealLines(char*& out, std::int32_t count, std::string_view lineEnd,
                           const StopFlag& stop) {
    const Path& path = CurrentPath();
    std::int32_t made = 0;
    if (path.unitReal != nullptr && IsPathState(g_minimalStandardState)) {
        made = PathBlocks(count, stop, [&](std::int32_t lines) {
            path.unitReal(out, lines, g_minimalStandardState, lineEnd);
        });
    }
    return made + MakeLines(g_minimalStandardState, out, count - made, stop,
                            [lineEnd](char* cursor, std::int32_t& state) {
                                state = MinimalStandardAdvance(state);
                                return WriteUnitRealLine(cursor, UnitRealFrom(state), lineEnd);
                            });
}

std::int32_t MinimalStandardLines(char*& out, std::int32_t count, std::string_view lineEnd,
                                  const StopFlag& stop) {
    const Path& path = CurrentPath();
    std::int32_t made = 0;
    if (IsPathState(g_minimalStandardState)) {
        made = PathBlocks(count, stop, [&](std::int32_t lines) {
            path.minimalStandard(out, lines, g_minimalStandardState, lineEnd);
        });
    }
    const std::uint64_t word = LineEndWord(lineEnd);
    return made + MakeLines(g_minimalStandardState, out, count - made, stop,
                            [word, size = lineEnd.size()](char* cursor, std::int32_t& state) {
                                state = MinimalStandardAdvance(state);
                                const auto value = static_cast<std::uint32_t>(state);
                                return WriteFieldLine(cursor, value, Sign::none, word, size);
                            });
}

std::int32_t IntervalLines(char*& out, std::int32_t count, std::int32_t lower, std::int32_t upper,
                           std::string_view lineEnd, const StopFlag& stop, std::uint32_t* offsets) {
    const Path& path = CurrentPath();
    const auto width = static_cast<std::int32_t>(IntervalWidth(lower, upper));
    std::int32_t made = 0;
    if (IsPathState(g_minimalStandardState)) {
        made = PathBlocks(count, stop, [&](std::int32_t lines) {
            path.interval(out, lines, g_minimalStandardState, lower, width, offsets, lineEnd);
            if (offsets != nullptr) offsets += lines;
        });
    }
    const std::uint64_t word = LineEndWord(lineEnd);
    return made +
           MakeLines(g_minimalStandardState, out, count - made, stop,
                     [=, &offsets, size = lineEnd.size()](char* cursor, std::int32_t& state) {
                         state = MinimalStandardAdvance(state);
                         const std::uint32_t offset = IntervalOffset(width, state);
                         if (offsets != nullptr) *offsets++ = offset;
                         return WriteSignedFieldLine(cursor, OffsetValue(lower, offset), word,
                                                     size);
                     });
}

}  // namespace lotrix
