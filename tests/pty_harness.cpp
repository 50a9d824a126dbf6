#include "pty_harness.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace lotrix::testing {
namespace {

using Clock = std::chrono::steady_clock;

void Exec(ChildSetup setup, const std::vector<std::string>& arguments = {}) {
    if (setup != nullptr) setup();
    const rlimit noCore{0, 0};  // a test that ends the program by SIGQUIT leaves no core
    ::setrlimit(RLIMIT_CORE, &noCore);
    std::vector<char*> argv{const_cast<char*>("lotrix20")};
    const char* program = LOTRIX20_BINARY;
#ifdef LOTRIX20_EMULATOR
    // A cross build: the program runs under the emulator, given as words with blanks between.
    static char emulator[] = LOTRIX20_EMULATOR;
    argv.clear();
    for (char* word = std::strtok(emulator, " "); word != nullptr; word = std::strtok(nullptr, " "))
        argv.push_back(word);
    program = argv[0];
    argv.push_back(const_cast<char*>(LOTRIX20_BINARY));
#endif
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program, argv.data());
    ::_exit(127);
}

// The shell's side of job control, in the session leader: start the program as a job,
// report its stops, do what the test commands and end as it ends.
[[noreturn]] void RunJobShell(int events, int commands, const StartOptions& options) {
    ::signal(SIGTTOU, SIG_IGN);  // the shell changes the terminal's foreground group
    const pid_t job = ::fork();
    if (job == 0) {
        ::close(events);
        ::close(commands);
        ::setpgid(0, 0);
        if (!options.inBackground) ::tcsetpgrp(STDOUT_FILENO, ::getpid());
        ::signal(SIGTTOU, SIG_DFL);
        Exec(options.setup, options.arguments);
    }
    ::setpgid(job, job);
    if (!options.inBackground) ::tcsetpgrp(STDOUT_FILENO, job);
    (void)!::write(events, &job, sizeof job);
    for (;;) {
        int status = 0;
        const pid_t changed = ::waitpid(job, &status, WUNTRACED | WNOHANG);
        if (changed < 0) ::_exit(125);
        if (changed == job && WIFSTOPPED(status)) {
            ::tcsetpgrp(STDOUT_FILENO, ::getpgrp());
            (void)!::write(events, "S", 1);
        } else if (changed == job) {
            if (WIFSIGNALED(status)) {
                ::signal(WTERMSIG(status), SIG_DFL);
                ::kill(::getpid(), WTERMSIG(status));
            }
            ::_exit(WEXITSTATUS(status));
        }
        pollfd ready{commands, POLLIN, 0};
        if (::poll(&ready, 1, 5) != 1) continue;
        char command = 0;
        if (::read(commands, &command, 1) != 1) ::_exit(124);
        if (command != static_cast<char>(JobCommand::continueInBackground)) {
            ::tcsetpgrp(STDOUT_FILENO, job);
        }
        if (command != static_cast<char>(JobCommand::toForeground)) ::kill(-job, SIGCONT);
    }
}

// Appends what the program wrote, waiting up to `timeout`; false when nothing more can come.
bool Pump(PtySession& session, std::chrono::milliseconds timeout) {
    pollfd ready{session.master, POLLIN, 0};
    const int found = ::poll(&ready, 1, static_cast<int>(timeout.count()));
    if (found <= 0) return found == 0 || errno == EINTR;
    char chunk[4096];
    const ssize_t got = ::read(session.master, chunk, sizeof chunk);
    if (got <= 0) return false;  // EIO: the program and its terminal are gone
    for (ssize_t i = 0; i < got; ++i) {
        if (chunk[i] == '\n' && !session.screen.empty() && session.screen.back() == '\r') {
            session.screen.back() = '\n';
        } else {
            session.screen.push_back(chunk[i]);
        }
    }
    return true;
}

void Reap(PtySession& session, bool block) {
    if (session.status || session.pid < 0) return;
    int status = 0;
    if (::waitpid(session.pid, &status, block ? 0 : WNOHANG) == session.pid)
        session.status = status;
}

}  // namespace

PtySession StartUnderPty(const std::optional<std::string>& pipedInput, StartOptions options) {
    const bool jobControl = options.jobControl;
    PtySession session;
    int input[2] = {-1, -1};
    if (pipedInput && ::pipe(input) != 0) std::abort();
    int events[2] = {-1, -1}, commands[2] = {-1, -1};
    if (jobControl && (::pipe(events) != 0 || ::pipe(commands) != 0)) std::abort();
    winsize size{24, options.columns, 0, 0};
    int slave = -1;
    if (::openpty(&session.master, &slave, nullptr, nullptr, &size) != 0) std::abort();
    ::tcgetattr(slave, &session.initial);  // before the program can change anything
    session.pid = ::fork();
    if (session.pid < 0) std::abort();
    if (session.pid == 0) {
        ::close(session.master);
        if (::login_tty(slave) != 0) ::_exit(126);  // new session, slave as terminal and streams
        if (pipedInput) {
            ::dup2(input[0], STDIN_FILENO);
            ::close(input[0]);
            ::close(input[1]);
        }
        if (jobControl) {
            ::close(events[0]);
            ::close(commands[1]);
            RunJobShell(events[1], commands[0], options);
        }
        Exec(options.setup, options.arguments);
    }
    ::fcntl(session.master, F_SETFD, FD_CLOEXEC);
    if (jobControl) {
        ::close(events[1]);
        ::close(commands[0]);
        session.jobEvents = events[0];
        session.jobCommands = commands[1];
        if (::read(session.jobEvents, &session.job, sizeof session.job) !=
            static_cast<ssize_t>(sizeof session.job)) {
            std::abort();
        }
    }
    if (pipedInput) {
        ::close(input[0]);
        (void)!::write(input[1], pipedInput->data(), pipedInput->size());
        ::close(input[1]);
    }
    session.slave = slave;
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    return session;
}

void Type(PtySession& session, std::string_view keys) {
    (void)!::write(session.master, keys.data(), keys.size());
}

bool WaitForScreen(PtySession& session, std::string_view text, std::chrono::milliseconds timeout,
                   std::size_t from) {
    const auto deadline = Clock::now() + timeout;
    while (session.screen.find(text, from) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        if (!Pump(session, std::min(left, std::chrono::milliseconds(50)))) {
            return session.screen.find(text, from) != std::string::npos;
        }
    }
    return true;
}

bool WaitForExit(PtySession& session, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!session.status) {
        Reap(session, false);
        if (session.status) break;
        if (Clock::now() > deadline) {
            ::kill(session.pid, SIGKILL);
            Reap(session, true);
            return false;
        }
        if (!Pump(session, 20ms)) std::this_thread::sleep_for(5ms);
    }
    for (;;) {  // what the program wrote before it ended
        pollfd ready{session.master, POLLIN, 0};
        if (::poll(&ready, 1, 0) <= 0 || !Pump(session, 0ms)) break;
    }
    return true;
}

bool WaitForJobStop(PtySession& session, std::chrono::milliseconds timeout) {
    pollfd ready{session.jobEvents, POLLIN, 0};
    char event = 0;
    return ::poll(&ready, 1, static_cast<int>(timeout.count())) == 1 &&
           ::read(session.jobEvents, &event, 1) == 1 && event == 'S';
}

void ContinueJob(PtySession& session, JobCommand command) {
    (void)!::write(session.jobCommands, &command, 1);
}

void Close(PtySession& session) {
    if (session.jobCommands >= 0) ::close(session.jobCommands);
    if (session.jobEvents >= 0) ::close(session.jobEvents);
    session.jobCommands = session.jobEvents = -1;
    if (session.job > 0 && !session.status) ::kill(session.job, SIGKILL);
    if (!session.status && session.pid > 0) {
        ::kill(session.pid, SIGKILL);
        Reap(session, true);
    }
    if (session.slave >= 0) ::close(session.slave);
    if (session.master >= 0) ::close(session.master);
    session.slave = session.master = -1;
}

termios TerminalSettings(const PtySession& session) {
    termios settings{};
    ::tcgetattr(session.slave, &settings);
    return settings;
}

bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

DetachedRun RunDetached(const std::string& input, std::chrono::milliseconds timeout,
                        ChildSetup setup) {
    return RunCommand({}, input, timeout, setup);
}

namespace {

DetachedRun RunReading(const std::vector<std::string>& arguments, const std::string& input,
                       std::chrono::milliseconds timeout, ChildSetup setup, std::size_t readAtMost,
                       int stallSignal = 0) {
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) std::abort();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();  // no controlling terminal from here on
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        for (const int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            ::close(fd);
        Exec(setup, arguments);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);
    DetachedRun run{-1, {}, {}};
    const auto deadline = Clock::now() + timeout;
    char chunk[4096];
    if (stallSignal != 0) {  // the pipe fills and the program waits in a write
        std::this_thread::sleep_for(300ms);
        ::kill(pid, stallSignal);
        ::waitpid(pid, &run.status, 0);
    }
    for (;;) {
        pollfd ready{out[0], POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        const ssize_t got = ::read(out[0], chunk, sizeof chunk);
        if (got <= 0) break;
        run.output.append(chunk, static_cast<std::size_t>(got));
        if (run.output.size() >= readAtMost) break;
    }
    ::close(out[0]);
    if (stallSignal == 0) ::waitpid(pid, &run.status, 0);
    for (ssize_t got; (got = ::read(err[0], chunk, sizeof chunk)) > 0;)  // a few lines at most
        run.errors.append(chunk, static_cast<std::size_t>(got));
    ::close(err[0]);
    return run;
}

}  // namespace

DetachedRun RunCommand(const std::vector<std::string>& arguments, const std::string& input,
                       std::chrono::milliseconds timeout, ChildSetup setup) {
    return RunReading(arguments, input, timeout, setup, SIZE_MAX);
}

DetachedRun RunIntoShortReader(const std::vector<std::string>& arguments, std::size_t bytes) {
    return RunReading(arguments, "", 20s, nullptr, bytes);
}

DetachedRun RunIntoStalledReader(const std::vector<std::string>& arguments, int signal) {
    return RunReading(arguments, "", 20s, nullptr, SIZE_MAX, signal);
}

}  // namespace lotrix::testing
