// The command line. Without options the program holds its dialogue (arguments that are
// not options, such as a file dropped onto the program, are ignored); with them it is a
// tool for scripts: --help, --version, or a batch run that writes the record the dialogue
// would write for the same entries, without asking anything.
#pragma once

#include <array>
#include <cstdint>

#include "record/settings.hpp"

namespace lotrix {

enum class CommandAction { dialogue, help, version, batch, verify, mistake };

struct CommandLine {
    CommandAction action = CommandAction::dialogue;
    RunSettings settings;          // as the dialogue would have them (seedMode included)
    const char* output = nullptr;  // nullptr: the default results file; "-": standard output
    bool numbersOnly = false;
    bool progress = false;
    bool replace = false;    // the output file is emptied first instead of appended to
    std::uint64_t skip = 0;  // numbers of the seed's sequence passed over before the first
    bool distinct = false;   // choice 4 without repeats
    // --verify's file (nullptr: lotrix20.txt; "-": standard input), and whether it holds
    // bare number lines of the sequence that -c and -s give.
    const char* verified = nullptr;
    bool bareNumbers = false;
    std::array<char, 160> mistake{};  // what is wrong, for CommandAction::mistake
};

// Values are taken strictly: whole decimal numbers in range, nothing after them.
[[nodiscard]] CommandLine ReadCommandLine(int argc, char** argv);

// The usage text, for --help.
extern const char* const kUsage;

}  // namespace lotrix
