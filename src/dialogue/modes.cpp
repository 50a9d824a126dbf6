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

char* CompatLine(char* out) {  // "%12u\n"
    return WriteFieldLine(out, static_cast<std::uint32_t>(NextCompat()), 0);
}

char* UnitRealLine(char* out) {  // "       %.030g\n", digits stopping at the 17th
    std::memcpy(out, "        ", 8);
    out = FormatReal(NextUnitReal(), out + 7);
    *out = '\n';
    return out + 1;
}

char* MinimalStandardLine(char* out) {  // "%12d\n"; the values are never negative
    return WriteFieldLine(out, static_cast<std::uint32_t>(NextMinimalStandard()), 0);
}

char* IntervalLine(char* out) {  // "%+12d\n"
    const std::int32_t value = DrawInInterval(g_settings.lower, g_settings.upper);
    const auto bits = static_cast<std::uint32_t>(value);
    return value < 0 ? WriteFieldLine(out, 0u - bits, '-') : WriteFieldLine(out, bits, '+');
}

void SeedCompatWithRunSeed() {
    SeedCompat(static_cast<std::uint32_t>(g_settings.seed));
}

template <char* (*MakeLine)(char*)>
std::int32_t MakeLines(char*& out, std::int32_t count) {
    char* cursor = out;
    std::int32_t made = 0;
    while (made < count && g_runAttention == 0) {
        cursor = MakeLine(cursor);
        ++made;
    }
    out = cursor;
    return made;
}

}  // namespace

const ModeEntry kModes[4] = {
    {1, "(interi tra 0 e 32.767)\n\n", SeedCompatWithRunSeed, CompatLine, MakeLines<CompatLine>},
    {2, "(reali tra 0 e 1)\n\n", nullptr, UnitRealLine, MakeLines<UnitRealLine>},
    {3, "(interi tra 0 e 2.147.483.647)\n\n", nullptr, MinimalStandardLine,
     MakeLines<MinimalStandardLine>},
    {4, "(interi tra -2.147.483.648 e +2.147.483.647)\n", nullptr, IntervalLine,
     MakeLines<IntervalLine>},
};

const ModeEntry& ModeFor(std::int32_t choice) {
    return kModes[choice - 1];
}

}  // namespace lotrix
