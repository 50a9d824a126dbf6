// The layout of a run's record in the results file, and the summary that the console
// shows of it. A record: the seed line, the mode's header, one line per number, the
// summary line and four empty lines that part it from the next run's record.
#pragma once

#include <cstdint>

#include "dialogue/modes.hpp"

namespace lotrix {

inline constexpr const char* kResultsFileName = "lotrix20.txt";

void WriteSeedLine(std::int32_t seed, std::int32_t count);
void WriteHeader(const ModeEntry& mode, std::int32_t lower, std::int32_t upper);
// The summary line and the empty lines that close the record.
void WriteSummary(std::int32_t written, std::int32_t elapsed);
void PrintSummary(std::int32_t written, std::int32_t elapsed);

// end - start + 1, in wrapping arithmetic: right across the clock's 32-bit wrap.
[[nodiscard]] constexpr std::int32_t ElapsedSeconds(std::int32_t start, std::int32_t end) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(end) -
                                     static_cast<std::uint32_t>(start) + 1u);
}

}  // namespace lotrix
