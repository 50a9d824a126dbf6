// The program as a tool for scripts: the command line's help, version or batch run. A
// batch run writes the record that the dialogue writes for the same entries (byte for
// byte but the summary's time), with no banner, prompt, key poll or closing wait;
// messages go to standard error.
#pragma once

#include "program/options.hpp"

namespace lotrix {

// The exit status: 0, 1 when the output cannot be opened or written, 2 for a wrong command
// line. A stop request during a run ends the process, once the record is complete.
[[nodiscard]] int RunCommandLine(const CommandLine& line);

}  // namespace lotrix
