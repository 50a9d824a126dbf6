// The command line. Without arguments the program holds its dialogue; with them it is a
// tool for scripts: --help, --version, or a batch run that writes the record the dialogue
// would write for the same entries, without asking anything.
#pragma once

#include <array>

#include "dialogue/settings.hpp"

namespace lotrix {

enum class CommandAction { dialogue, help, version, batch, mistake };

struct CommandLine {
    CommandAction action = CommandAction::dialogue;
    RunSettings settings;          // as the dialogue would have them (seedMode included)
    const char* output = nullptr;  // nullptr: the default results file; "-": standard output
    bool numbersOnly = false;
    bool progress = false;
    std::array<char, 160> mistake{};  // what is wrong, for CommandAction::mistake
};

// Values are taken strictly: whole decimal numbers in range, nothing after them.
[[nodiscard]] CommandLine ReadCommandLine(int argc, char** argv);

// The usage text, for --help.
extern const char* const kUsage;

}  // namespace lotrix
