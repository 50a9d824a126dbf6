#include "dialogue/modes.hpp"

#include <cstring>

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/fast_lines.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/unit_real.hpp"
#include "line_end.hpp"
#include "platform/terminal.hpp"

namespace lotrix {
namespace {

// The text of each row's line for a value drawn.
char* CompatText(char* out, std::int32_t value) {  // "%12u"
    return WriteFieldLine(out, static_cast<std::uint32_t>(value), Sign::none, kLineEnd);
}

char* UnitRealText(char* out, double value) {  // "       %.030g", digits stopping at the 17th
    return WriteUnitRealLine(out, value, kLineEnd);
}

char* MinimalStandardText(char* out, std::int32_t value) {  // "%12d"; never negative
    return WriteFieldLine(out, static_cast<std::uint32_t>(value), Sign::none, kLineEnd);
}

char* IntervalText(char* out, std::int32_t value) {  // "%+12d"
    const auto bits = static_cast<std::uint32_t>(value);
    return WriteFieldLine(out, value < 0 ? 0u - bits : bits, value < 0 ? Sign::minus : Sign::plus,
                          kLineEnd);
}

// The line makers: one number drawn, one line written.
char* CompatLine(char* out, const RunSettings&) {
    return CompatText(out, NextCompat());
}
char* UnitRealLine(char* out, const RunSettings&) {
    return UnitRealText(out, NextUnitReal());
}
char* MinimalStandardLine(char* out, const RunSettings&) {
    return MinimalStandardText(out, NextMinimalStandard());
}
char* IntervalLine(char* out, const RunSettings& settings) {
    return IntervalText(out, DrawInInterval(settings.lower, settings.upper));
}

// The batch makers draw the same numbers as the line makers, but keep the generator's
// state (and the bounds) in a local for the whole batch: through the global, every step
// would wait for the previous one's store, since the stores of the text may alias it.
// `makeOne(cursor, state)` advances the state one step and writes that number's line.
template <typename State, typename MakeOne>
std::int32_t MakeLines(State& generator, char*& out, std::int32_t count, MakeOne makeOne) {
    State state = generator;
    char* cursor = out;
    std::int32_t made = 0;
    while (made < count && !g_runAttention.load(std::memory_order_relaxed)) {
        cursor = makeOne(cursor, state);
        ++made;
    }
    generator = state;
    out = cursor;
    return made;
}

// The fastest path the processor has, chosen once; the scalar batch makers define the
// bytes and write what is left.
const FastLines* const g_fast = ChooseFastLines();

// Numbers per call of the vector path; the key flag is read between calls.
constexpr std::int32_t kFastBlock = 64;
static_assert(kFastBlock % kFastUnit == 0);

// Writes whole blocks on the vector path while the flag is down; returns how many lines.
template <typename WriteBlock>
std::int32_t FastBlocks(std::int32_t count, WriteBlock writeBlock) {
    std::int32_t made = 0;
    while (count - made >= kFastBlock && !g_runAttention.load(std::memory_order_relaxed)) {
        writeBlock(kFastBlock);
        made += kFastBlock;
    }
    return made;
}

// The minimal-standard lanes take the states 1..2147483646; the others stay scalar.
bool InLanes(std::int32_t state) {
    return state >= 1 && state < kModulus;
}

std::int32_t CompatLines(char*& out, std::int32_t count, const RunSettings&) {
    const std::int32_t made = FastBlocks(
        count, [&out](std::int32_t lines) { g_fast->compat(out, lines, g_compatState, kLineEnd); });
    return made +
           MakeLines(g_compatState, out, count - made, [](char* cursor, std::uint32_t& state) {
               state = CompatAdvance(state);
               return CompatText(cursor, CompatValue(state));
           });
}

std::int32_t UnitRealLines(char*& out, std::int32_t count, const RunSettings&) {
    std::int32_t made = 0;
    if (g_fast->unitReal != nullptr && InLanes(g_minimalStandardState)) {
        made = FastBlocks(count, [&out](std::int32_t lines) {
            g_fast->unitReal(out, lines, g_minimalStandardState, kLineEnd);
        });
    }
    return made + MakeLines(g_minimalStandardState, out, count - made,
                            [](char* cursor, std::int32_t& state) {
                                state = MinimalStandardAdvance(state);
                                return UnitRealText(cursor, UnitRealFrom(state));
                            });
}

std::int32_t MinimalStandardLines(char*& out, std::int32_t count, const RunSettings&) {
    std::int32_t made = 0;
    if (InLanes(g_minimalStandardState)) {
        made = FastBlocks(count, [&out](std::int32_t lines) {
            g_fast->minimalStandard(out, lines, g_minimalStandardState, kLineEnd);
        });
    }
    return made + MakeLines(g_minimalStandardState, out, count - made,
                            [](char* cursor, std::int32_t& state) {
                                state = MinimalStandardAdvance(state);
                                return MinimalStandardText(cursor, state);
                            });
}

// The dialogue lets only lower < upper, at most 2147483647 values apart, through to a run.
std::int32_t IntervalLines(char*& out, std::int32_t count, const RunSettings& settings) {
    const std::int32_t lower = settings.lower;
    const auto width = static_cast<std::int32_t>(IntervalWidth(lower, settings.upper));
    std::int32_t made = 0;
    if (InLanes(g_minimalStandardState)) {
        made = FastBlocks(count, [&out, lower, width](std::int32_t lines) {
            g_fast->interval(out, lines, g_minimalStandardState, lower, width, kLineEnd);
        });
    }
    return made + MakeLines(g_minimalStandardState, out, count - made,
                            [lower, width](char* cursor, std::int32_t& state) {
                                state = MinimalStandardAdvance(state);
                                return IntervalText(cursor, IntervalValue(lower, width, state));
                            });
}

void SeedCompatWithRunSeed(const RunSettings& settings) {
    SeedCompat(static_cast<std::uint32_t>(settings.seed));
}

constexpr auto kFieldLine = static_cast<std::int32_t>(kFieldWidth + kLineEnd.size());

}  // namespace

const ModeEntry kModes[4] = {
    {1, "(interi tra 0 e 32.767)\n\n", false, kFieldLine, SeedCompatWithRunSeed, CompatLine,
     CompatLines},
    {2, "(reali tra 0 e 1)\n\n", false, kLineRoom, nullptr, UnitRealLine, UnitRealLines},
    {3, "(interi tra 0 e 2.147.483.647)\n\n", false, kFieldLine, nullptr, MinimalStandardLine,
     MinimalStandardLines},
    {4, "(interi tra -2.147.483.648 e +2.147.483.647)\n", true, kFieldLine, nullptr, IntervalLine,
     IntervalLines},
};

const ModeEntry& ModeFor(std::int32_t choice) {
    return kModes[choice - 1];
}

}  // namespace lotrix
