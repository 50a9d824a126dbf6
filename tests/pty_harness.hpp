// Drives the real program: under a pseudo-terminal of its own (as a person at a terminal
// would), or detached from every terminal with pipes for its standard streams.
#pragma once

#include <sys/types.h>
#include <termios.h>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lotrix::testing {

using namespace std::chrono_literals;

struct PtySession {
    pid_t pid = -1;
    int master = -1;
    int slave = -1;             // kept open by the test to read the terminal's settings
    termios initial{};          // the terminal's settings before the program started
    std::string screen;         // everything the program wrote, "\r\n" turned back into "\n"
    std::optional<int> status;  // the wait status, once the program has ended
    // Under job control: the program's own pid and the pipes to the small shell around it.
    pid_t job = -1;
    int jobEvents = -1;    // the shell writes 'S' when the job has stopped
    int jobCommands = -1;  // the test writes 'C' to have it continued in the foreground
};

// Run in the program's process just before it starts: surroundings a test imposes (a
// closed descriptor, an ignored signal, a resource limit).
using ChildSetup = void (*)();

struct StartOptions {
    // A small shell stands between the terminal and the program, as a login shell would:
    // the program runs as a job of its own, and when it stops the shell takes the
    // terminal back until the test says what the job does next.
    bool jobControl = false;
    bool inBackground = false;  // under job control: the job starts in the background
    ChildSetup setup = nullptr;
    std::vector<std::string> arguments{};  // the program's command line
    unsigned short columns = 80;           // the terminal's width
};

// Starts the program in the current directory. With `pipedInput` its standard input is a
// pipe holding that text (then closed); otherwise the entries are typed on the terminal.
PtySession StartUnderPty(const std::optional<std::string>& pipedInput, StartOptions options = {});
// Under job control: waits until the job has stopped; false on timeout.
bool WaitForJobStop(PtySession& session, std::chrono::milliseconds timeout = 10s);
// Under job control, what the shell does with the job, as bash's fg and bg do.
enum class JobCommand : char {
    continueInForeground = 'C',  // fg of a stopped job: the terminal, then SIGCONT
    continueInBackground = 'B',  // bg: SIGCONT only
    toForeground = 'F',          // fg of a running job: the terminal only, no SIGCONT
};
void ContinueJob(PtySession& session, JobCommand command = JobCommand::continueInForeground);
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
    std::string errors;  // standard error
};
// The program in a new session without a controlling terminal, entries from a pipe.
DetachedRun RunDetached(const std::string& input, std::chrono::milliseconds timeout = 20s,
                        ChildSetup setup = nullptr);
// The same with a command line.
DetachedRun RunCommand(const std::vector<std::string>& arguments, const std::string& input = "",
                       std::chrono::milliseconds timeout = 20s, ChildSetup setup = nullptr);
// The same, its standard output read by a reader that stops after `bytes` bytes and goes
// away, as `head -c` does.
DetachedRun RunIntoShortReader(const std::vector<std::string>& arguments, std::size_t bytes);
// The same, its standard output a pipe that nobody reads until the program, stuck in a
// write, has been sent `signal` and has ended; then all that the pipe holds is read.
DetachedRun RunIntoStalledReader(const std::vector<std::string>& arguments, int signal);

}  // namespace lotrix::testing
