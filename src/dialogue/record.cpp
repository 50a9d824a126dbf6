#include "dialogue/record.hpp"

#include "dialogue/settings.hpp"
#include "platform/console.hpp"
#include "platform/results_file.hpp"

namespace lotrix {
namespace {

// Up to a minute the time is told in seconds, from then on in minutes (without an hours
// form, so minutes may exceed 59) and seconds.
bool InMinutes(std::int32_t elapsed) {
    return elapsed >= 60;
}

}  // namespace

void WriteSeedLine(std::int32_t seed, std::int32_t count) {
    FilePrint("seme = %d;  numeri da generare = %d\n", seed, count);
}

void WriteHeader(const ModeEntry& mode, std::int32_t lower, std::int32_t upper) {
    FilePrint("%s", mode.header);
    if (mode.choice == 4) FilePrint("intervallo scelto: da %+d a %+d\n\n", lower, upper);
}

void WriteSummary(std::int32_t written, std::int32_t elapsed) {
    RunTally& tally = g_tally;
    if (!InMinutes(elapsed)) {
        FilePrint("sono stati generati %d numeri casuali in %d secondi\n\n\n\n\n", written,
                  elapsed);
        return;
    }
    tally.minutes = elapsed / 60;
    tally.seconds = elapsed % 60;
    FilePrint("sono stati generati %d numeri casuali in %d minuti %02d secondi\n\n\n\n\n", written,
              tally.minutes, tally.seconds);
}

void PrintSummary(std::int32_t written, std::int32_t elapsed) {
    if (!InMinutes(elapsed)) {
        ConsolePrint("\n\nsono stati generati %d numeri casuali in %d secondi,\n", written,
                     elapsed);
        return;
    }
    ConsolePrint("\n\nsono stati generati %u numeri casuali in %d minuti %02d secondi,\n",
                 static_cast<unsigned>(written), elapsed / 60, elapsed % 60);
}

}  // namespace lotrix
