#include "dialogue/record.hpp"

#include "platform/console.hpp"
#include "platform/results_file.hpp"

namespace lotrix {

void WriteSeedLine(std::int32_t seed, std::int32_t count) {
    FilePrint("seme = %d;  numeri da generare = %d\n", seed, count);
}

void WriteHeader(const ModeEntry& mode, std::int32_t lower, std::int32_t upper) {
    FilePrint("%s", mode.header);
    if (mode.choice == 4) FilePrint("intervallo scelto: da %+d a %+d\n\n", lower, upper);
}

// Up to a minute the time is told in seconds, from then on in minutes (there is no hours
// form, so minutes may exceed 59) and seconds.
void SettleElapsed(RunTally& tally) {
    tally.elapsed = ElapsedSeconds(tally.start, tally.end);
    if (tally.elapsed >= 60) {
        tally.minutes = tally.elapsed / 60;
        tally.seconds = tally.elapsed % 60;
    }
}

void WriteSummary(const RunTally& tally) {
    if (tally.elapsed < 60) {
        FilePrint("sono stati generati %d numeri casuali in %d secondi\n\n\n\n\n", tally.written,
                  tally.elapsed);
    } else {
        FilePrint("sono stati generati %d numeri casuali in %d minuti %02d secondi\n\n\n\n\n",
                  tally.written, tally.minutes, tally.seconds);
    }
}

void PrintSummary(const RunTally& tally) {
    if (tally.elapsed < 60) {
        ConsolePrint("\n\nsono stati generati %d numeri casuali in %d secondi,\n", tally.written,
                     tally.elapsed);
    } else {
        ConsolePrint("\n\nsono stati generati %u numeri casuali in %d minuti %02d secondi,\n",
                     static_cast<unsigned>(tally.written), tally.minutes, tally.seconds);
    }
}

}  // namespace lotrix
