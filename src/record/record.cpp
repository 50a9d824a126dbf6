#include "record/record.hpp"

#include <array>
#include <cstdio>

#include "platform/console.hpp"
#include "platform/results_file.hpp"

namespace lotrix {
namespace {

// The summary's words, which the file's line and the console's message share. Up to a
// minute the time is told in seconds, from then on in minutes (there is no hours form, so
// minutes may exceed 59) and seconds. The console's form has always printed the count with
// %u and the file's with %d: the count is never negative, so one format gives both bytes.
std::array<char, 128> SummaryWords(const RunTally& tally) {
    std::array<char, 128> words{};
    if (tally.elapsed < 60) {
        std::snprintf(words.data(), words.size(),
                      "sono stati generati %d numeri casuali in %d secondi", tally.written,
                      tally.elapsed);
    } else {
        std::snprintf(words.data(), words.size(),
                      "sono stati generati %d numeri casuali in %d minuti %02d secondi",
                      tally.written, tally.minutes, tally.seconds);
    }
    return words;
}

}  // namespace

void WriteSeedLine(std::int32_t seed, std::int32_t count) {
    FilePrint("seme = %d;  numeri da generare = %d\n", seed, count);
}

void WriteHeader(const ModeEntry& mode, std::int32_t lower, std::int32_t upper) {
    FilePrint("%s", mode.header);
    if (mode.asksForBounds) FilePrint("intervallo scelto: da %+d a %+d\n\n", lower, upper);
}

void ComputeElapsed(RunTally& tally) {
    tally.elapsed = ElapsedSeconds(tally.start, tally.end);
    if (tally.elapsed >= 60) {
        tally.minutes = tally.elapsed / 60;
        tally.seconds = tally.elapsed % 60;
    }
}

void WriteSummary(const RunTally& tally) {
    FilePrint("%s\n\n\n\n\n", SummaryWords(tally).data());
}

void PrintSummary(const RunTally& tally) {
    ConsolePrint("\n\n%s,\n", SummaryWords(tally).data());
}

}  // namespace lotrix
