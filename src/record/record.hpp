// The lines of a run's record, each defined once, written and read back from the same
// definition: the seed line, the row's header (with a chosen interval's line), and the
// summary with the empty lines that part it from the next record. The number lines between
// are the rows' (record/modes.hpp). Also the summary the console shows of a record.
#pragma once

#include <cstdint>
#include <string_view>

#include "record/modes.hpp"
#include "record/settings.hpp"

namespace lotrix {

// Each line of a record as printf writes it, without its line end; a reader takes a line
// only as exactly these bytes for some values (a number in its one written form).
inline constexpr const char* kSeedLineFormat = "seme = %d;  numeri da generare = %d";
inline constexpr const char* kIntervalLineFormat = "intervallo scelto: da %+d a %+d";
inline constexpr const char* kDistinctIntervalLineFormat =
    "intervallo scelto: da %+d a %+d, senza ripetizioni";
// The summary: up to a minute the time in seconds, from then on in minutes (there is no
// hours form, so minutes may exceed 59) and seconds.
inline constexpr const char* kSummaryFormat = "sono stati generati %d numeri casuali in %d secondi";
inline constexpr const char* kLongSummaryFormat =
    "sono stati generati %d numeri casuali in %d minuti %02d secondi";
// Empty lines after the summary, before the next record.
inline constexpr int kEmptyLinesAfterSummary = 4;

void WriteSeedLine(std::int32_t seed, std::int32_t count);
void WriteHeader(const ModeEntry& row, std::int32_t lower, std::int32_t upper);

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

// Reading back: each takes a line's text without its line end. Does the line begin as a
// seed line or a summary does (whatever follows)?
[[nodiscard]] bool BeginsLikeSeedLine(std::string_view text);
[[nodiscard]] bool BeginsLikeSummary(std::string_view text);
// A seed line as a run writes it; its count is at least 1.
[[nodiscard]] bool ReadSeedLine(std::string_view text, std::int32_t& seed, std::int32_t& count);
// The row whose header begins with this line; nullptr for none.
[[nodiscard]] const ModeEntry* RowOfHeader(std::string_view text);
// A chosen interval's line as a run writes it, for bounds a run accepts; whether its draw
// was without repeats.
[[nodiscard]] bool ReadIntervalLine(std::string_view text, std::int32_t& lower, std::int32_t& upper,
                                    bool& withoutRepeats);
// A summary as a run writes it: in seconds up to a minute, from then on in minutes and
// seconds. `count` is the numbers it says were written.
[[nodiscard]] bool ReadSummary(std::string_view text, std::int32_t& count);

}  // namespace lotrix
