#include "pty_harness.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace lotrix::testing {
namespace {

using Clock = std::chrono::steady_clock;

void Exec() {
    ::execl(LOTRIX20_BINARY, "lotrix20", static_cast<char*>(nullptr));
    ::_exit(127);
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

PtySession StartUnderPty(const std::optional<std::string>& pipedInput) {
    PtySession session;
    int input[2] = {-1, -1};
    if (pipedInput && ::pipe(input) != 0) std::abort();
    winsize size{24, 80, 0, 0};
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
        Exec();
    }
    ::fcntl(session.master, F_SETFD, FD_CLOEXEC);
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

void Close(PtySession& session) {
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

DetachedRun RunDetached(const std::string& input, std::chrono::milliseconds timeout) {
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) std::abort();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();  // no controlling terminal from here on
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::close(in[0]);
        ::close(in[1]);
        ::close(out[0]);
        ::close(out[1]);
        Exec();
    }
    ::close(in[0]);
    ::close(out[1]);
    (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);
    DetachedRun run{-1, {}};
    const auto deadline = Clock::now() + timeout;
    char chunk[4096];
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
    }
    ::close(out[0]);
    ::waitpid(pid, &run.status, 0);
    return run;
}

}  // namespace lotrix::testing
