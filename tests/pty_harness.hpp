// Drives the real program: under a pseudo-terminal of its own (as a person at a terminal
// would), or detached from every terminal with pipes for its standard streams.
#pragma once

#include <sys/types.h>
#include <termios.h>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace lotrix::testing {

using namespace std::chrono_literals;

struct PtySession {
    pid_t pid = -1;
    int master = -1;
    int slave = -1;             // kept open by the test to read the terminal's settings
    termios initial{};          // the terminal's settings before the program started
    std::string screen;         // everything the program wrote, "\r\n" turned back into "\n"
    std::optional<int> status;  // the wait status, once the program has ended
};

// Starts the program in the current directory. With `pipedInput` its standard input is a
// pipe holding that text (then closed); otherwise the entries are typed on the terminal.
PtySession StartUnderPty(const std::optional<std::string>& pipedInput);
void Type(PtySession& session, std::string_view keys);
// Reads the screen until it holds `text` (counting from `from`); false on timeout.
bool WaitForScreen(PtySession& session, std::string_view text,
                   std::chrono::milliseconds timeout = 10s, std::size_t from = 0);
// Waits for the program to end; false on timeout (it is killed then).
bool WaitForExit(PtySession& session, std::chrono::milliseconds timeout = 10s);
void Close(PtySession& session);

[[nodiscard]] termios TerminalSettings(const PtySession& session);
[[nodiscard]] bool SameSettings(const termios& a, const termios& b);

struct DetachedRun {
    int status;  // wait status
    std::string output;
};
// The program in a new session without a controlling terminal, entries from a pipe.
DetachedRun RunDetached(const std::string& input, std::chrono::milliseconds timeout = 20s);

}  // namespace lotrix::testing
