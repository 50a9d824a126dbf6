// The program's texts as a user sees them: the one source of expected texts for every
// test. Written out independently of the program's own constants, so that a changed
// letter there fails here.
#pragma once

#include <string>

namespace lotrix::testing {

// The banner and the menu, up to the first prompt, as on the screen.
inline const std::string kOpening =
    R"(*******************************************************************************
 ***********  Lotrix 2.0  -  numeri casuali uniformi nel file  ***************
*******************************************************************************

questo programma freeware genera numeri casuali nel file ''lotrix20.txt''
che viene creato nella stessa directory in cui si trova il presente
file eseguibile ''lotrix20.exe''

sono disponibili i seguenti tipi di generatori:
1) interi tra 0 e 32.767 (il precedente programma ''Lotrix 1.1'')
2) reali tra 0 e 1
3) interi tra 0 e 2.147.483.647
4) interi tra -2.147.483.648 e +2.147.483.647 all' interno di in un intervallo
   definito dall' utente di ampiezza massima pari a 2.147.483.647
EFFETTUA LA SCELTA DIGITANDO IL NUMERO RELATIVO, POI PREMI INVIO...  )";

inline const std::string kBoundsPrompts = R"(
inserisci un numero intero quale estremo inferiore dell' intervallo
e poi premi invio...  inserisci un numero intero quale estremo superiore dell' intervallo
e poi premi invio...  )";
inline const std::string kCountPrompt =
    "\ninserisci quanti numeri casuali vuoi generare e poi premi invio...  ";
inline const std::string kSeedModePrompt = R"(
se vuoi inserire un seme per la generazione di numeri casuali,
digita 1 e poi premi invio,
se invece vuoi che il seme sia l'ora corrente in modo da avere
generazioni sempre diverse, digita 2 e poi premi invio...  )";
inline const std::string kSeedPrompt = R"(
inserisci il seme e poi premi invio (attenzione, devi inserire un numero
intero compreso tra 1 e 2.147.483.647)...  )";
inline const std::string kRunning =
    "\ncalcolo in corso...\npremi un tasto qualsiasi qualora volessi interrompere il calcolo... ";
inline const std::string kClosing = "premi un tasto qualsiasi per uscire...  ";

inline const std::string kChoiceError = "\nLA SCELTA EFFETTUATA NON E' CORRETTA\n";
inline const std::string kIntervalError = R"(

ERRORE, L' ESTREMO INFERIORE DELL' INTERVALLO NON PUO' ESSERE MAGGIORE
O UGUALE A QUELLO SUPERIORE
)";
inline const std::string kWidthError =
    "\n\nERRORE, L' AMPIEZZA DELL' INTERVALLO NON PUO' SUPERARE 2.147.483.647\n";
inline const std::string kOpenError = "\nERRORE, IMPOSSIBILE APRIRE IL FILE ''lotrix20.txt''\n";
inline const std::string kWriteError = "\nERRORE DI SCRITTURA NEL FILE ''lotrix20.txt''\n";

inline const std::string kWaitingForFile =
    "attendo che un altro calcolo finisca di scrivere nel file ''lotrix20.txt''...";

inline const std::string kHeader3 = "(interi tra 0 e 2.147.483.647)\n\n";

// The words both summaries share, up to the time ("... in 1 secondi").
inline std::string SummaryStart(long long written) {
    return "sono stati generati " + std::to_string(written) + " numeri casuali in ";
}

inline std::string SeedLine(long long seed, long long count) {
    return "seme = " + std::to_string(seed) + ";  numeri da generare = " + std::to_string(count) +
           "\n";
}

// Each choice's record for seed 1 and five numbers, up to its summary: the dialogue's
// answers that make it, and the header and number lines after its seed line, as every build
// writes them.
struct GoldenRecord {
    const char* entries;
    std::string body;
};
inline const GoldenRecord kGoldenRecords[] = {
    {"1\n5\n1\n1\n", R"((interi tra 0 e 32.767)

          41
       18467
        6334
       26500
       19169
)"},
    {"2\n5\n1\n1\n", R"((reali tra 0 e 1)

       7.8263692590125011e-006
       0.1315377881362231
       0.75560532215514897
       0.4586501318992397
       0.53276723738404741
)"},
    {"3\n5\n1\n1\n", R"((interi tra 0 e 2.147.483.647)

       16807
   282475249
  1622650073
   984943658
  1144108930
)"},
    {"4\n-3\n2\n5\n1\n1\n", R"((interi tra -2.147.483.648 e +2.147.483.647)
intervallo scelto: da -3 a +2

          -3
          -3
          +1
          -1
          +0
)"},
};

}  // namespace lotrix::testing
