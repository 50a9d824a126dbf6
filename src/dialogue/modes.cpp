#include "dialogue/modes.hpp"

#include <cstring>

#include "dialogue/settings.hpp"
#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/unit_real.hpp"
#include "platform/terminal.hpp"

namespace lotrix {
namespace {

// The text of each row's line for a value drawn.
char* CompatText(char* out, std::int32_t value) {  // "%12u\n"
    return WriteFieldLine(out, static_cast<std::uint32_t>(value), Sign::none);
}

char* UnitRealText(char* out, double value) {  // "       %.030g\n", digits stopping at the 17th
    std::memcpy(out, "        ", 8);
    out = FormatReal(value, out + 7);
    *out = '\n';
    return out + 1;
}

char* MinimalStandardText(char* out, std::int32_t value) {  // "%12d\n"; never negative
    return WriteFieldLine(out, static_cast<std::uint32_t>(value), Sign::none);
}

char* IntervalText(char* out, std::int32_t value) {  // "%+12d\n"
    const auto bits = static_cast<std::uint32_t>(value);
    return WriteFieldLine(out, value < 0 ? 0u - bits : bits, value < 0 ? Sign::minus : Sign::plus);
}

// The line makers: one number drawn, one line written.
char* CompatLine(char* out) {
    return CompatText(out, NextCompat());
}
char* UnitRealLine(char* out) {
    return UnitRealText(out, NextUnitReal());
}
char* MinimalStandardLine(char* out) {
    return MinimalStandardText(out, NextMinimalStandard());
}
char* IntervalLine(char* out) {
    return IntervalText(out, DrawInInterval(g_settings.lower, g_settings.upper));
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
    while (made < count && g_runAttention == 0) {
        cursor = makeOne(cursor, state);
        ++made;
    }
    generator = state;
    out = cursor;
    return made;
}

std::int32_t CompatLines(char*& out, std::int32_t count) {
    return MakeLines(g_compatState, out, count, [](char* cursor, std::uint32_t& state) {
        state = CompatAdvance(state);
        return CompatText(cursor, CompatValue(state));
    });
}

std::int32_t UnitRealLines(char*& out, std::int32_t count) {
    return MakeLines(g_minimalStandardState, out, count, [](char* cursor, std::int32_t& state) {
        state = MinimalStandardAdvance(state);
        return UnitRealText(cursor, UnitRealFrom(state));
    });
}

std::int32_t MinimalStandardLines(char*& out, std::int32_t count) {
    return MakeLines(g_minimalStandardState, out, count, [](char* cursor, std::int32_t& state) {
        state = MinimalStandardAdvance(state);
        return MinimalStandardText(cursor, state);
    });
}

std::int32_t IntervalLines(char*& out, std::int32_t count) {
    const std::int32_t lower = g_settings.lower, upper = g_settings.upper;
    if (lower >= upper) {  // no run gets here; DrawInInterval then draws nothing
        return MakeLines(g_minimalStandardState, out, count,
                         [](char* cursor, std::int32_t&) { return IntervalLine(cursor); });
    }
    const auto width = static_cast<std::int32_t>(IntervalWidth(lower, upper));
    return MakeLines(g_minimalStandardState, out, count,
                     [lower, width](char* cursor, std::int32_t& state) {
                         state = MinimalStandardAdvance(state);
                         return IntervalText(cursor, IntervalValue(lower, width, state));
                     });
}

void SeedCompatWithRunSeed() {
    SeedCompat(static_cast<std::uint32_t>(g_settings.seed));
}

}  // namespace

const ModeEntry kModes[4] = {
    {1, "(interi tra 0 e 32.767)\n\n", SeedCompatWithRunSeed, CompatLine, CompatLines},
    {2, "(reali tra 0 e 1)\n\n", nullptr, UnitRealLine, UnitRealLines},
    {3, "(interi tra 0 e 2.147.483.647)\n\n", nullptr, MinimalStandardLine, MinimalStandardLines},
    {4, "(interi tra -2.147.483.648 e +2.147.483.647)\n", nullptr, IntervalLine, IntervalLines},
};

const ModeEntry& ModeFor(std::int32_t choice) {
    return kModes[choice - 1];
}

}  // namespace lotrix
