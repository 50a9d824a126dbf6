// The Linux terminal: keys from the controlling terminal (/dev/tty) with termios, stop
// requests from every signal whose default action ends the process. While the run polls for keys
// the terminal raises SIGIO whenever input arrives, and its handler raises the stop flag. The
// user's mode comes back on every way out: the normal path, a signal that ends the process, and a
// suspension (the mode the program wants returns when the job is in the foreground again, however
// it got there).
#include "platform/terminal.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>

#include "platform/keys.hpp"
#include "platform/posix/escape_sequences.hpp"
#include "platform/posix/fault_signals.hpp"
#include "platform/results_file.hpp"
#include "platform/system.hpp"

namespace lotrix {

std::atomic<int> g_stopFlag{0};

namespace {

// A lone Esc and the start of an escape sequence differ only by what follows in time:
// the bytes of a sequence arrive together, a person's next key much later.
constexpr int kEscapeWaitMs = 30;
constexpr std::size_t kLongestSequence = 16;

// A stop request held during the record's writing is acted on when the record is whole;
// if a write blocks (a pipe nobody reads), the process ends by it after this long instead.
constexpr unsigned kHeldStopDeadlineSeconds = 1;

enum TerminalMode : int { kUserMode, kKeyPollMode, kRawMode };

constexpr int kNotOpened = -2;
constexpr int kNoTerminal = -1;

// The handlers read the descriptor and the modes, so both are published before use.
volatile std::sig_atomic_t g_tty = kNotOpened;
termios g_modes[3];  // indexed by TerminalMode; the user's is taken when the terminal is opened
volatile std::sig_atomic_t g_mode = kUserMode;        // the mode in force
volatile std::sig_atomic_t g_wantedMode = kUserMode;  // the mode the program wants now
volatile std::sig_atomic_t g_holdStops = 0;
volatile std::sig_atomic_t g_heldSignal = 0;
int g_pendingCode = -1;  // second code of a two-code key
int g_pendingByte = -1;  // a byte read ahead that begins the next key

// Signals with a handler of their own, or whose default does not end the process, or that
// must stay ignored: a closed pipe and a file-size limit fail the write instead.
bool IsStopSignal(int signal) {
    switch (signal) {
        case SIGKILL:
        case SIGSTOP:
        case SIGQUIT:
        case SIGIO:
        case SIGALRM:
        case SIGPIPE:
        case SIGXFSZ:
        case SIGCHLD:
        case SIGCONT:
        case SIGTSTP:
        case SIGTTIN:
        case SIGTTOU:
        case SIGURG:
        case SIGWINCH:
            return false;
        default:
            for (const int fault : kFaultSignals)
                if (signal == fault) return false;
            return true;
    }
}

StopRequest RequestFor(int signal) {
    switch (signal) {
        case 0:
            return StopRequest::none;
        case SIGINT:
            return StopRequest::interrupt;
        case SIGTERM:
            return StopRequest::terminate;
        case SIGHUP:
            return StopRequest::hangUp;
        default:
            return StopRequest::other;
    }
}

int SignalFor(StopRequest request) {
    switch (request) {
        case StopRequest::interrupt:
            return SIGINT;
        case StopRequest::terminate:
            return SIGTERM;
        case StopRequest::hangUp:
            return SIGHUP;
        case StopRequest::other:
            return g_heldSignal;
        case StopRequest::none:
            break;
    }
    return 0;
}

// The run's mode and the single-key read's, from the user's.
void DeriveModes() {
    termios& poll = g_modes[kKeyPollMode];
    poll = g_modes[kUserMode];
    // Keys arrive one by one and unechoed; Ctrl+C, Ctrl+Z and Ctrl+\ still raise signals.
    // IXON off: Ctrl+S and Ctrl+Q are keys that stop the run, not flow control that would
    // freeze its output.
    poll.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    poll.c_iflag &= ~static_cast<tcflag_t>(IXON);
    poll.c_cc[VMIN] = 1;
    poll.c_cc[VTIME] = 0;
    termios& raw = g_modes[kRawMode];
    raw = g_modes[kUserMode];
    // ICRNL off so that Enter reads as 13, as on the PC; IXON off so that Ctrl+S and
    // Ctrl+Q are keys, not flow control; BRKINT, INPCK and ISTRIP off so that every byte
    // arrives as sent; INLCR and IGNCR off so that no byte is changed or dropped.
    raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INLCR | IGNCR | INPCK | ISTRIP | IXON);
    // ISIG off so that Ctrl+C is a key that ends the wait, IEXTEN off so that Ctrl+V is too.
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
}

void OpenTerminal() {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || ::tcgetattr(fd, &g_modes[kUserMode]) != 0) {
        if (fd >= 0) ::close(fd);
        g_tty = kNoTerminal;
        return;
    }
    DeriveModes();
    std::atomic_signal_fence(std::memory_order_release);  // the modes before the descriptor
    g_tty = fd;
}

// The controlling terminal's descriptor, opened on first use; kNoTerminal without one.
int Terminal() {
    if (g_tty == kNotOpened) OpenTerminal();
    return g_tty;
}

void Install(int signal, void (*handler)(int), int flags = SA_RESTART) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    ::sigaction(signal, &action, nullptr);
}

// A signal that the process inherited as ignored stays ignored (nohup, the background
// jobs of a shell without job control): the user has said it must not stop the program.
void InstallUnlessIgnored(int signal, void (*handler)(int)) {
    struct sigaction inherited {};
    if (::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) return;
    Install(signal, handler);
}

// A job in the background must leave the terminal's mode to the foreground job; the
// system would stop it with SIGTTOU for trying.
bool InForeground(int fd) {
    return ::tcgetpgrp(fd) == ::getpgrp();
}

// The one place that changes the terminal's mode. Async-signal-safe, so the handlers use
// it too. TCSANOW keeps the keys already typed. In the background nothing changes: the
// wanted mode is entered when the job comes to the foreground (ApplyWantedMode).
// Once the process is ending by a signal, only the user's mode may be put in force: a fault
// on the run's second thread must not see the main thread take the run's mode back.
constinit std::atomic<int> g_ending{0};

void ApplyMode(TerminalMode mode) {
    if (g_tty < 0 || g_mode == mode || !InForeground(g_tty)) return;
    if (mode != kUserMode && g_ending.load() != 0) return;
    if (::tcsetattr(g_tty, TCSANOW, &g_modes[mode]) == 0) g_mode = mode;
}

void WantMode(TerminalMode mode) {
    g_wantedMode = mode;
    ApplyMode(mode);
}

// After a continuation, or once the job is found in the foreground: the mode the program
// wants at that moment (the run's, the single-key read's or the user's) comes back.
void ApplyWantedMode() {
    ApplyMode(static_cast<TerminalMode>(g_wantedMode));
}

void SetAsyncInput(bool on) {
    const int flags = ::fcntl(g_tty, F_GETFL);
    if (flags < 0) return;
    if (on) (void)::fcntl(g_tty, F_SETOWN, ::getpid());
    (void)::fcntl(g_tty, F_SETFL, on ? flags | O_ASYNC : flags & ~O_ASYNC);
}

// The signal's default action, once the user's terminal mode is back. Async-signal-safe.
[[noreturn]] void EndBySignal(int signal) {
    g_ending.store(1);
    ApplyMode(kUserMode);
    FileHaltWrites();
    if (lotrix::system::CurrentThread() != lotrix::system::Thread::main) {
        // The main thread goes on meanwhile, and may have been putting the run's mode in
        // force at that moment (after a suspension): once its change is done, a millisecond
        // later at most, the user's mode is put back again, whatever the mode is taken to be.
        lotrix::system::Pause(1);
        if (g_tty >= 0 && InForeground(g_tty))
            (void)::tcsetattr(g_tty, TCSANOW, &g_modes[kUserMode]);
    }
    ::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);  // a handler runs with its signal blocked
    ::raise(signal);
    ::_exit(128 + signal);  // only if the default action did not end the process
}

void OnInput(int) {
    g_stopFlag.store(1, std::memory_order_relaxed);
}

void OnStopSignal(int signal) {
    if (g_holdStops == 0) EndBySignal(signal);
    if (g_heldSignal == 0) {
        g_heldSignal = signal;
        ::alarm(kHeldStopDeadlineSeconds);
    }
    g_stopFlag.store(1, std::memory_order_relaxed);
}

// The program's own alarm: the record could not be completed in time (a write is
// blocked), and the held stop request ends the process now, with whatever whole lines were
// written. One sent by another process (kill, sigqueue, tgkill) is a stop request itself,
// like any timer's.
void OnAlarm(int signal, siginfo_t* info, void*) {
    const bool fromOutside =
        info->si_code == SI_USER || info->si_code == SI_QUEUE || info->si_code == SI_TKILL;
    if (g_heldSignal != 0 && !fromOutside) EndBySignal(g_heldSignal);
    OnStopSignal(signal);
}

// Room for the fault handler when the fault is the stack's own overflow.
alignas(16) std::array<char, 64 * 1024> g_faultStack;

void OnSuspend(int) {
    const int savedErrno = errno;
    ApplyMode(kUserMode);  // the shell gets its terminal back as it left it
    ::signal(SIGTSTP, SIG_DFL);
    sigset_t suspend;
    sigemptyset(&suspend);
    sigaddset(&suspend, SIGTSTP);
    ::pthread_sigmask(SIG_UNBLOCK, &suspend, nullptr);
    ::raise(SIGTSTP);  // the process stops here and goes on from here when continued
    Install(SIGTSTP, OnSuspend);
    // Back in the foreground (or never stopped: the system ignores a terminal stop for a
    // process group no shell watches over), the mode wanted now comes back.
    ApplyWantedMode();
    errno = savedErrno;
}

void OnContinue(int) {
    const int savedErrno = errno;
    ApplyWantedMode();
    g_stopFlag.store(1, std::memory_order_relaxed);  // keys may have come meanwhile
    errno = savedErrno;
}

// Waits up to `timeoutMs` (-1: without limit) for one byte.
bool ReadByte(int fd, unsigned char& byte, int timeoutMs) {
    for (;;) {
        if (timeoutMs >= 0) {
            pollfd ready{fd, POLLIN, 0};
            const int found = ::poll(&ready, 1, timeoutMs);
            if (found < 0 && errno == EINTR) continue;
            if (found <= 0) return false;
        }
        const ssize_t got = ::read(fd, &byte, 1);
        if (got < 0 && errno == EINTR) continue;
        return got == 1;
    }
}

// What follows an Esc byte: a lone Esc, or a whole escape sequence read as one key.
int ReadEscapeSequence(int fd) {
    std::array<char, kLongestSequence> sequence;
    std::size_t length = 0;
    unsigned char byte = 0;
    if (!ReadByte(fd, byte, kEscapeWaitMs)) return keys::kEsc;
    sequence[length++] = static_cast<char>(byte);
    if (byte == '[' || byte == 'O') {
        // "Esc O" and the Linux console's "Esc [ [" take exactly one more byte.
        bool oneMore = byte == 'O';
        for (;;) {
            if (!ReadByte(fd, byte, kEscapeWaitMs)) break;
            if (length < sequence.size()) sequence[length++] = static_cast<char>(byte);
            if (length == 2 && byte == '[') {
                oneMore = true;
                continue;
            }
            if (oneMore || IsSequenceFinal(byte)) break;
        }
    }
    const keys::TwoCodes codes = DecodeEscapeSequence({sequence.data(), length});
    if (codes.prefix < 0) return keys::kEsc;  // consumed whole, read as Esc
    g_pendingCode = codes.code;
    return codes.prefix;
}

// A character of several bytes (UTF-8: è, à, ò on an Italian keyboard) is one key: the
// rest of its bytes, which arrive with the first, are taken too, so none is left over
// for the next read or the shell. Its code is the character's own where it has one of
// eight bits (è is 232), otherwise its first byte.
int ReadRestOfCharacter(int fd, unsigned char lead) {
    const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    std::uint32_t character = lead & (0x3Fu >> more);
    for (int i = 0; i < more; ++i) {
        unsigned char byte = 0;
        if (!ReadByte(fd, byte, kEscapeWaitMs)) return lead;
        if ((byte & 0xC0u) != 0x80u) {  // cannot continue a character: the next key begins
            g_pendingByte = byte;
            return lead;
        }
        character = character << 6 | (byte & 0x3Fu);
    }
    return character < 256 ? static_cast<int>(character) : lead;
}

// One key's code, from its first byte.
int ReadRestOfKey(int fd, unsigned char first) {
    if (first == keys::kEsc) return ReadEscapeSequence(fd);
    if (first >= 0xC2 && first <= 0xF4) return ReadRestOfCharacter(fd, first);
    return first;
}

}  // namespace

bool KeyWaiting() {
    if (g_pendingCode >= 0 || g_pendingByte >= 0) return true;
    const int fd = Terminal();
    if (fd < 0 || !InForeground(fd)) return false;
    int count = 0;
    return ::ioctl(fd, FIONREAD, &count) == 0 && count > 0;
}

int ReadKey() {
    if (g_pendingCode >= 0) {
        const int code = g_pendingCode;
        g_pendingCode = -1;
        return code;
    }
    const int fd = Terminal();
    if (fd < 0) return keys::kEndOfInput;
    const auto before = static_cast<TerminalMode>(g_wantedMode);
    WantMode(kRawMode);
    unsigned char byte = 0;
    int code = keys::kEndOfInput;
    if (g_pendingByte >= 0) {
        byte = static_cast<unsigned char>(g_pendingByte);
        g_pendingByte = -1;
        code = ReadRestOfKey(fd, byte);
    } else if (ReadByte(fd, byte, -1)) {
        code = ReadRestOfKey(fd, byte);
    }
    WantMode(before);
    return code;
}

void InstallStopHandlers() {
    Install(SIGIO, OnInput);
    struct sigaction alarm {};  // the held requests' deadline, which cannot be given up
    alarm.sa_sigaction = OnAlarm;
    sigemptyset(&alarm.sa_mask);
    alarm.sa_flags = SA_RESTART | SA_SIGINFO;
    ::sigaction(SIGALRM, &alarm, nullptr);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (IsStopSignal(signal)) InstallUnlessIgnored(signal, OnStopSignal);
    }
    InstallUnlessIgnored(SIGQUIT, EndBySignal);  // Ctrl+\ ends at once, echo restored
    stack_t faultStack{};
    faultStack.ss_sp = g_faultStack.data();
    faultStack.ss_size = g_faultStack.size();
    const bool ownStack = ::sigaltstack(&faultStack, nullptr) == 0;
    for (const int signal : kFaultSignals) {
        Install(signal, EndBySignal, ownStack ? SA_ONSTACK : 0);
    }
    // A parent may leave signals blocked (a mask is inherited): without these, no key could
    // stop a run and no held request would meet its deadline.
    sigset_t reliedOn;
    sigemptyset(&reliedOn);
    for (const int signal : {SIGIO, SIGALRM, SIGCONT})
        sigaddset(&reliedOn, signal);
    for (const int signal : kFaultSignals)
        sigaddset(&reliedOn, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &reliedOn, nullptr);
    InstallUnlessIgnored(SIGTSTP, OnSuspend);
    Install(SIGCONT, OnContinue);
    // A closed pipe on standard output must not end the process before its record is whole,
    // and a file-size limit must fail the write (and so keep whole lines), not kill it.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

void BeginKeyPoll() {
    g_stopFlag.store(1, std::memory_order_relaxed);  // a real look before the first number
    if (Terminal() < 0) return;
    WantMode(kKeyPollMode);
    SetAsyncInput(true);
}

void RefreshKeyPoll() {
    if (g_tty < 0 || g_mode == g_wantedMode || !InForeground(g_tty)) return;
    ApplyWantedMode();
    g_stopFlag.store(1, std::memory_order_relaxed);  // keys typed since it came back
}

void EndKeyPoll() {
    if (g_tty < 0) return;
    SetAsyncInput(false);
    WantMode(kUserMode);
}

void HoldStopRequests() {
    g_heldSignal = 0;
    g_holdStops = 1;
}

StopRequest HeldStopRequest() {
    return RequestFor(g_heldSignal);
}

void ReleaseStopRequests() {
    g_holdStops = 0;
}

void EndByStopRequest(StopRequest request) {
    EndBySignal(SignalFor(request));
}

void EndForGoneReader() {
    EndBySignal(SIGPIPE);  // ignored while the record was written, so a write could fail
}

void TerminalDisable(bool disabled) {
    if (g_tty >= 0) ::close(g_tty);
    g_tty = disabled ? kNoTerminal : kNotOpened;
    g_pendingCode = -1;
    g_pendingByte = -1;
}

}  // namespace lotrix
