// The keyboard of the terminal the program runs in, and the process's signals.
//
// Keys come from the controlling terminal (/dev/tty), opened on first use, never from
// standard input: text typed for the entries is invisible here, and keys still work when
// the entries come from a file or a pipe. Without a terminal, KeyWaiting is false and
// ReadKey returns -1 at once.
//
// This module is the only one that changes the terminal's mode. It saves the user's mode
// before the first change and puts it back on every way out: the normal path, a signal
// that ends the process, and a suspension (the run's mode comes back when the job is
// continued in the foreground).
//
// The run loop must test for a key before every number, yet a system call costs about a
// microsecond against ten nanoseconds for a number. So while the run polls for keys the
// terminal raises SIGIO whenever input arrives, and the handler sets g_runAttention; the
// loop reads only that flag and asks the terminal (KeyWaiting, which consumes nothing)
// when it is set. The flag starts set, so a key typed before the run, even before the
// program started, is seen before the first number. Stop signals set the same flag.
#pragma once

#include <csignal>

namespace lotrix {

extern volatile std::sig_atomic_t g_runAttention;

// Is a key press waiting (or the second code of an earlier two-code key)? Consumes nothing.
[[nodiscard]] bool KeyWaiting();
// Waits for one key press, without echo or Enter, and returns its code (0 to 255); cursor
// and function keys return 0 or 224 first and leave their own code pending. -1 when there
// is no terminal or it has gone.
int ReadKey();

// Once, at start: the handlers behind the key flag, the stop signals, SIGQUIT (which ends
// the process at once, but with the terminal restored) and suspension.
void InstallSignalHandlers();

// The run's key poll: single keys without echo or Enter, and the key flag armed.
void BeginKeyPoll();
// Once per block of numbers: a run started in the background, or continued there, takes
// over the terminal when it has become the foreground job (a shell's fg sends no SIGCONT
// to a job that is running). Costs nothing while the run's mode is in force.
void RefreshKeyPoll();
void EndKeyPoll();

// From the opening of the results file until its record is complete, SIGINT, SIGTERM and
// SIGHUP end the run instead of the process, so no record is left half-written. If the
// record cannot be completed within a second (a write blocks), the signal ends the process
// all the same, with the terminal restored. A signal inherited as ignored stays ignored.
void HoldStopSignals();
// The stop signal that arrived while held (0 if none); they act at once again afterwards.
[[nodiscard]] int HeldStopSignal();
void ReleaseStopSignals();
// Ends the process as the signal's default action would, after restoring the terminal.
[[noreturn]] void EndBySignal(int signal);

// Tests and the fuzzer run the dialogue as if there were no terminal.
void TerminalDisable();

}  // namespace lotrix
