// A long run's progress on a terminal: the share done, the numbers written and the time
// left, on a line of its own below the cursor's, in Italian as the dialogue is. Shown once
// the run has lasted a second, updated at most four times a second, and taken away before
// the summary, so that the screen is left as it would be without it. The clock is read
// once per block of numbers, never per number.
#pragma once

#include <cstdint>

namespace lotrix {

enum class ProgressPlace {
    none,
    belowPrompt,    // the dialogue's standard output, below the running message
    standardError,  // batch mode's standard error, on the cursor's line
};

// What is counted: a run's numbers, or the bytes of a file being checked.
enum class ProgressUnit { numbersWritten, bytesChecked };

// Begins watching a run of `total` numbers (or a check of `total` bytes); nothing is ever
// shown unless the place is a terminal that takes cursor movements.
void BeginProgress(ProgressPlace place, std::int64_t total,
                   ProgressUnit unit = ProgressUnit::numbersWritten);
// After each block: `done` so far.
void NoteProgress(std::int64_t done);
// Takes the progress line away, if one is shown.
void EndProgress();
// Takes the progress line away on standard error until the next NoteProgress shows it
// again, so that a message can be written on its row (a check's verdicts).
void HideProgress();

// While another run holds the results file: a line that says so, where the progress line
// goes, until EndProgress takes it away. `file` is named in batch mode's words.
void ShowWaitingForFile(ProgressPlace place, const char* file);
// While waiting: the waiting line drawn again to fit a terminal whose width has changed.
void KeepWaitingLineFitting();

}  // namespace lotrix
