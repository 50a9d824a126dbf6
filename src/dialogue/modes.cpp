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
// state (and the bounds) in locals for the whole batch: through the global, every step
// would wait for the previous one's store, since the stores of the text may alias it.
template <typename MakeOne>
std::int32_t MakeLines(char*& out, std::int32_t count, MakeOne makeOne) {
    char* cursor = out;
    std::int32_t made = 0;
    while (made < count && g_runAttention == 0) {
        cursor = makeOne(cursor);
        ++made;
    }
    out = cursor;
    return made;
}

std::int32_t CompatLines(char*& out, std::int32_t count) {
    std::uint32_t state = g_compatState;
    const std::int32_t made = MakeLines(out, count, [&state](char* cursor) {
        state = CompatAdvance(state);
        return CompatText(cursor, CompatValue(state));
    });
    g_compatState = state;
    return made;
}

std::int32_t UnitRealLines(char*& out, std::int32_t count) {
    std::int32_t state = g_minimalStandardState;
    const std::int32_t made = MakeLines(out, count, [&state](char* cursor) {
        state = MinimalStandardAdvance(state);
        return UnitRealText(cursor, UnitRealFrom(state));
    });
    g_minimalStandardState = state;
    return made;
}

std::int32_t MinimalStandardLines(char*& out, std::int32_t count) {
    std::int32_t state = g_minimalStandardState;
    const std::int32_t made = MakeLines(out, count, [&state](char* cursor) {
        state = MinimalStandardAdvance(state);
        return MinimalStandardText(cursor, state);
    });
    g_minimalStandardState = state;
    return made;
}

std::int32_t IntervalLines(char*& out, std::int32_t count) {
    const std::int32_t lower = g_settings.lower, upper = g_settings.upper;
    if (lower >= upper) return MakeLines(out, count, IntervalLine);  // draws nothing
    const auto width = static_cast<std::int32_t>(IntervalWidth(lower, upper));
    std::int32_t state = g_minimalStandardState;
    const std::int32_t made = MakeLines(out, count, [&state, lower, width](char* cursor) {
        state = MinimalStandardAdvance(state);
        return IntervalText(cursor, IntervalValue(lower, width, state));
    });
    g_minimalStandardState = state;
    return made;
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
