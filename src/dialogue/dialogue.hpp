// The whole conversation with the user, once: banner and menu, the entries with their
// tests, the run and its record, the summary and the closing wait. Every path ends at
// the closing prompt; the result is the exit status.
#pragma once

#include <cstdint>

namespace lotrix {

// The largest count a run goes to. The program leaves it at the largest 32-bit value; the
// fuzzer lowers it so that each input it tries stays quick.
extern std::int32_t g_countCeiling;

// 0 after a dialogue that ended normally or with an entry error; 1 when the results file
// could not be opened or written. A stop signal during the run ends the process instead.
[[nodiscard]] int RunDialogue();

}  // namespace lotrix
