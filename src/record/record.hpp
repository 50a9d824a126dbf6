// The layout of a run's record in the results file, and the summary that the console
// shows of it. A record: the seed line, the mode's header, one line per number, the
// summary line and four empty lines that part it from the next run's record.
#pragma once

#include <cstdint>

#include "record/modes.hpp"
#include "record/settings.hpp"

namespace lotrix {

void WriteSeedLine(std::int32_t seed, std::int32_t count);
void WriteHeader(const ModeEntry& mode, std::int32_t lower, std::int32_t upper);

// end - start + 1, in wrapping arithmetic: right across the clock's 32-bit wrap.
[[nodiscard]] constexpr std::int32_t ElapsedSeconds(std::int32_t start, std::int32_t end) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(end) -
                                     static_cast<std::uint32_t>(start) + 1u);
}

// Sets the tally's elapsed time (and its minutes and seconds from a minute up, the form
// the summary then takes) from its start and end readings.
void ComputeElapsed(RunTally& tally);
// The summary line and the empty lines that close the record, from the tally.
void WriteSummary(const RunTally& tally);
void PrintSummary(const RunTally& tally);

}  // namespace lotrix
