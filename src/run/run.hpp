// A run: the results file opened, one record written (the seed line, the header, the
// numbers, the summary), with the generation loop between: the stop flag looked at before
// every number made by the scalar reference and before every block of 64 on a vector path (and,
// when it is up, the terminal and the stop requests), the lines made by the chosen row
// into the results file's buffer.
#pragma once

#include <cstdint>

#include "record/modes.hpp"
#include "record/settings.hpp"
#include "run/progress.hpp"

namespace lotrix {

inline constexpr const char* kResultsFileName = "lotrix20.txt";

// How a record is written: where, in which options, and what may stop or watch its run.
struct RecordOptions {
    const char* path = kResultsFileName;  // nullptr: standard output
    bool numbersOnly = false;             // the number lines alone: no seed line, header or summary
    bool keysStop = true;                 // a key on the terminal stops the run
    ProgressPlace progress = ProgressPlace::none;
    bool replace = false;    // the file is emptied (under its lock) before the record
    std::uint64_t skip = 0;  // numbers of the sequence passed over before the first written
    bool distinct = false;   // choice 4 without repeats
    std::int32_t countCeiling = INT32_MAX;  // the fuzzer keeps its runs short
};

enum class RecordOutcome {
    noMemory,  // a draw without repeats could not get the memory it needs: nothing was written
    notOpened,
    notBegun,  // a stop request came while another run held the file: nothing was written
    written,
    writeFailed,
};

// Opens the results file, waits while another run holds it, and writes one whole record.
// Stop requests are held meanwhile, so that the record is completed before one of them
// takes effect (the caller releases them); a key pressed while waiting stops the run as
// usual, and its record, without numbers, is written once the file is free. `tally.start`
// must be set; a clock seed is taken from it.
RecordOutcome WriteRecord(const RecordOptions& options, RunSettings& settings, RunTally& tally);

// Takes the memory of a draw without repeats of `count` numbers from lower..upper (the last
// draw's is given back) and begins it; false, with nothing taken, when the system refuses.
[[nodiscard]] bool BeginDrawWithoutRepeats(std::int32_t lower, std::int32_t upper,
                                           std::int64_t count);

// Puts the generators where the numbers of these settings start, `skip` numbers into the
// seed's sequence: the minimal-standard state seeded, the row's start action done.
void StartSequence(const ModeEntry& row, const RunSettings& settings, std::uint64_t skip);

// Generates up to `count` numbers, counting them in `tally`; ends early on a key, a stop
// request or a failed write.
void RunLoop(const ModeEntry& row, const RunSettings& settings, std::int32_t count,
             RunTally& tally);

}  // namespace lotrix
