// The mode table: the four rows, each with its header and the makers of its number lines.
#include "record/modes.hpp"

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/distinct.hpp"
#include "generators/fast_lines.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/rows.hpp"
#include "generators/unit_real.hpp"
#include "platform/line_end.hpp"
#include "platform/terminal.hpp"

namespace lotrix {
namespace {

// The line makers: one number drawn, one line written.
char* CompatLine(char* out, const RunSettings&) {  // "%12u"
    return WriteFieldLine(out, static_cast<std::uint32_t>(NextCompat()), Sign::none, kLineEnd);
}
char* UnitRealLine(char* out, const RunSettings&) {  // "       %.030g", to the 17th digit
    return WriteUnitRealLine(out, NextUnitReal(), kLineEnd);
}
char* MinimalStandardLine(char* out, const RunSettings&) {  // "%12d"; never negative
    return WriteFieldLine(out, static_cast<std::uint32_t>(NextMinimalStandard()), Sign::none,
                          kLineEnd);
}
char* IntervalLine(char* out, const RunSettings& settings) {  // "%+12d"
    return WriteSignedFieldLine(out, DrawInInterval(settings.lower, settings.upper), kLineEnd);
}

// The batch makers.
std::int32_t CompatBatch(char*& out, std::int32_t count, const RunSettings&, const StopFlag& stop) {
    return CompatLines(out, count, kLineEnd, stop);
}
std::int32_t UnitRealBatch(char*& out, std::int32_t count, const RunSettings&,
                           const StopFlag& stop) {
    return UnitRealLines(out, count, kLineEnd, stop);
}
std::int32_t MinimalStandardBatch(char*& out, std::int32_t count, const RunSettings&,
                                  const StopFlag& stop) {
    return MinimalStandardLines(out, count, kLineEnd, stop);
}
// The dialogue lets only lower < upper, at most 2147483647 values apart, through to a run.
std::int32_t IntervalBatch(char*& out, std::int32_t count, const RunSettings& settings,
                           const StopFlag& stop) {
    return IntervalLines(out, count, settings.lower, settings.upper, kLineEnd, stop);
}

// Without repeats: the memory of the values seen is taken before the run (BeginDrawWithoutRepeats).
char* DistinctLine(char* out, const RunSettings&) {
    static const StopFlag kNeverStop{0};
    (void)DistinctIntervalLines(out, 1, kLineEnd, kNeverStop);
    return out;
}
std::int32_t DistinctBatch(char*& out, std::int32_t count, const RunSettings&,
                           const StopFlag& stop) {
    return DistinctIntervalLines(out, count, kLineEnd, stop);
}

void SeedCompatWithRunSeed(const RunSettings& settings) {
    SeedCompat(static_cast<std::uint32_t>(settings.seed));
}

constexpr auto kFieldLine = static_cast<std::int32_t>(kFieldWidth + kLineEnd.size());

constexpr const char* kIntervalHeader = "(interi tra -2.147.483.648 e +2.147.483.647)\n";

}  // namespace

constexpr ModeEntry kModes[kRows] = {
    {1, "(interi tra 0 e 32.767)\n\n", false, kFieldLine, SeedCompatWithRunSeed, CompatLine,
     CompatBatch, false},
    {2, "(reali tra 0 e 1)\n\n", false, kLineRoom, nullptr, UnitRealLine, UnitRealBatch, false},
    {3, "(interi tra 0 e 2.147.483.647)\n\n", false, kFieldLine, nullptr, MinimalStandardLine,
     MinimalStandardBatch, false},
    {4, kIntervalHeader, true, kFieldLine, nullptr, IntervalLine, IntervalBatch, false},
};

const ModeEntry kDistinctRow = {4,       kIntervalHeader, true,          kFieldLine,
                                nullptr, DistinctLine,    DistinctBatch, true};

// Row n is choice n: ModeFor and the header's reader rely on it.
constexpr bool RowsInOrder() {
    for (std::int32_t row = 0; row < kRows; ++row)
        if (kModes[row].choice != row + 1) return false;
    return true;
}
static_assert(RowsInOrder(), "kModes[n - 1] is choice n");

const ModeEntry& ModeFor(std::int32_t choice) {
    return kModes[choice - 1];
}

const ModeEntry& RowFor(std::int32_t choice, bool withoutRepeats) {
    return withoutRepeats ? kDistinctRow : ModeFor(choice);
}

}  // namespace lotrix
