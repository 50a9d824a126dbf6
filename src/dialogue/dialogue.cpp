// The conversation: the banner and menu, the questions judged one by one, the run, the
// summary and the closing wait.
#include "dialogue/dialogue.hpp"

#include <climits>

#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/terminal.hpp"
#include "record/modes.hpp"
#include "record/record.hpp"
#include "record/settings.hpp"
#include "run/run.hpp"

namespace lotrix {

RunSettings g_settings;
RunTally g_tally;
std::int32_t g_countCeiling = INT32_MAX;

namespace {

constexpr int kStatusFileError = 1;

constexpr const char* kBanner =
    "*******************************************************************************\n"
    " ***********  Lotrix 2.0  -  numeri casuali uniformi nel file  ***************\n"
    "*******************************************************************************\n\n";

constexpr const char* kIntroduction =
    "questo programma freeware genera numeri casuali nel file ''lotrix20.txt''\n"
    "che viene creato nella stessa directory in cui si trova il presente\n"
    "file eseguibile ''lotrix20.exe''\n\n"
    "sono disponibili i seguenti tipi di generatori:\n"
    "1) interi tra 0 e 32.767 (il precedente programma ''Lotrix 1.1'')\n"
    "2) reali tra 0 e 1\n"
    "3) interi tra 0 e 2.147.483.647\n"
    "4) interi tra -2.147.483.648 e +2.147.483.647 all' interno di in un intervallo\n"
    "   definito dall' utente di ampiezza massima pari a 2.147.483.647\n"
    "EFFETTUA LA SCELTA DIGITANDO IL NUMERO RELATIVO, POI PREMI INVIO...  ";

constexpr const char* kChoiceError = "\nLA SCELTA EFFETTUATA NON E' CORRETTA\n";

int Closing(int status) {
    ConsolePrint("premi un tasto qualsiasi per uscire...  ");
    (void)ReadKey();
    return status;
}

int ChoiceError() {
    ConsoleWrite(kChoiceError);
    return Closing(0);
}

// False only when standard input has ended: then no later entry can come either, and the
// dialogue closes with the choice error rather than judging fields that were never typed.
bool ReadEntry(std::int32_t& field) {
    return ReadInteger(field) != ReadOutcome::endOfInput;
}

// The bounds are judged as a pair, whatever was read: a bound that standard input ended
// before keeps its 0, as one that is not a number does.
void ReadBounds(RunSettings& settings) {
    ConsolePrint("\ninserisci un numero intero quale estremo inferiore dell' intervallo\n");
    ConsolePrint("e poi premi invio...  ");
    (void)ReadInteger(settings.lower);
    ConsolePrint("inserisci un numero intero quale estremo superiore dell' intervallo\n");
    ConsolePrint("e poi premi invio...  ");
    (void)ReadInteger(settings.upper);
}

// What became of the record, on the console; then a stop request that came meanwhile
// takes effect, or the dialogue closes.
int ReportRecord(RecordOutcome outcome, const RunTally& tally) {
    ReleaseStopRequests();
    const StopRequest stop = HeldStopRequest();
    if (stop != StopRequest::hangUp) {  // after a hang-up there is no terminal to tell
        switch (outcome) {
            case RecordOutcome::notOpened:
                ConsolePrint("\nERRORE, IMPOSSIBILE APRIRE IL FILE ''lotrix20.txt''\n");
                break;
            case RecordOutcome::written:
                PrintSummary(tally);
                break;
            case RecordOutcome::writeFailed:
                ConsolePrint("\nERRORE DI SCRITTURA NEL FILE ''lotrix20.txt''\n");
                break;
            case RecordOutcome::notBegun:  // only ever with a stop request, which ends it
            case RecordOutcome::noMemory:  // only for a draw without repeats: never asked here
                break;
        }
    }
    if (stop != StopRequest::none) {
        ConsoleFlush();
        EndByStopRequest(stop);
    }
    return Closing(outcome == RecordOutcome::written ? 0 : kStatusFileError);
}

int Run() {
    g_tally.start = CalendarSeconds();
    ConsolePrint("\ncalcolo in corso...");
    ConsolePrint("\npremi un tasto qualsiasi qualora volessi interrompere il calcolo... ");
    RecordOptions options;
    options.progress = ProgressPlace::belowPrompt;
    options.countCeiling = g_countCeiling;
    return ReportRecord(WriteRecord(options, g_settings, g_tally), g_tally);
}

}  // namespace

int RunDialogue() {
    g_settings = RunSettings{};
    g_tally = RunTally{};
    RunSettings& settings = g_settings;

    ConsoleWrite(kBanner);
    ConsoleWrite(kIntroduction);
    if (!ReadEntry(settings.choice) || settings.choice < 1 || settings.choice > kRows) {
        return ChoiceError();
    }
    if (ModeFor(settings.choice).asksForBounds) {
        ReadBounds(settings);
        if (settings.lower >= settings.upper) {
            ConsolePrint(
                "\n\nERRORE, L' ESTREMO INFERIORE DELL' INTERVALLO NON PUO' ESSERE MAGGIORE\n");
            ConsolePrint("O UGUALE A QUELLO SUPERIORE\n");
            return Closing(0);
        }
        // A wider interval has more values than the scaling can tell apart.
        if (IntervalWidth(settings.lower, settings.upper) > kModulus) {
            ConsolePrint(
                "\n\nERRORE, L' AMPIEZZA DELL' INTERVALLO NON PUO' SUPERARE 2.147.483.647\n");
            return Closing(0);
        }
    }
    ConsolePrint("\ninserisci quanti numeri casuali vuoi generare e poi premi invio...  ");
    if (!ReadEntry(settings.count) || settings.count < 1) return ChoiceError();

    ConsolePrint("\nse vuoi inserire un seme per la generazione di numeri casuali,\n");
    ConsolePrint("digita 1 e poi premi invio,\n");
    ConsolePrint("se invece vuoi che il seme sia l'ora corrente in modo da avere\n");
    ConsolePrint("generazioni sempre diverse, digita 2 e poi premi invio...  ");
    if (!ReadEntry(settings.seedMode)) return ChoiceError();
    if (settings.seedMode == kSeedTyped) {
        ConsolePrint(
            "\ninserisci il seme e poi premi invio (attenzione, devi inserire un numero\n");
        ConsolePrint("intero compreso tra 1 e 2.147.483.647)...  ");
        if (!ReadEntry(settings.seed) || settings.seed < 1) return ChoiceError();
    } else if (settings.seedMode != kSeedFromClock) {
        return ChoiceError();
    }
    return Run();
}

}  // namespace lotrix
