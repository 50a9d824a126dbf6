// The keyboard of the terminal or console the program runs in, and the requests to stop
// that reach the process from outside (Ctrl+C, a termination, a hang-up or a closed
// console window).
//
// Keys come from the terminal itself, opened on first use, never from standard input:
// text typed for the entries is invisible here, and keys still work when the entries come
// from a file or a pipe. Without a terminal, KeyWaiting is false and ReadKey returns
// keys::kEndOfInput at once.
//
// This module is the only one that changes the terminal's mode. It saves the user's mode
// before the first change and puts it back on every way out.
//
// The run loop must test for a key before every number, yet a system call costs about a
// microsecond against ten nanoseconds for a number. So the loop reads only g_stopFlag
// before each number, and asks the terminal (KeyWaiting, which consumes nothing) when the
// flag is up. The platform raises the flag when a key may have come (on Linux, the
// terminal's SIGIO; elsewhere, RefreshKeyPoll once per block of numbers) and on every stop
// request. It starts up, so a key typed before the run, even before the program started,
// is seen before the first number.
#pragma once

#include <atomic>

namespace lotrix {

// Set from signal handlers (and, on other platforms, from another thread), read by the
// run before every number: relaxed loads of a lock-free flag cost what a plain load does.
// A handler may only touch a lock-free atomic; int-sized ones are on every processor this
// builds for (a byte-sized one is not on RISC-V), so the flag is an int: 0 or 1.
extern std::atomic<int> g_stopFlag;
static_assert(std::atomic<int>::is_always_lock_free);

// Is a key press waiting (or the second code of an earlier two-code key)? Consumes nothing.
[[nodiscard]] bool KeyWaiting();
// Waits for one key press, without echo or Enter, and returns its code (platform/keys.hpp):
// 0 to 255, or the prefix of a two-code key, whose own code it leaves pending.
int ReadKey();

// Once, at start: the handlers that turn requests from outside into stop requests (and,
// on Linux, Ctrl+\, the faults, suspension and the stop flag's signal). What the process
// was started with orders to ignore stays ignored; the signals the program relies on are
// unblocked if the parent left them blocked.
void InstallStopHandlers();

// The run's key poll: single keys without echo or Enter, and the stop flag armed.
void BeginKeyPoll();
// Once per block of numbers (about every 0.1 ms of work). On Linux: a run started in the
// background, or continued there, takes over the terminal when it has become the
// foreground job (a shell's fg sends no SIGCONT to a job that is running); costs nothing
// while the run's mode is in force. Where keys raise no signal: raises the stop flag, so
// the console is looked at once per block.
void RefreshKeyPoll();
void EndKeyPoll();

// A request from outside to stop, in the program's words: on Linux, every signal whose
// default action ends the process, but for Ctrl+\ and the faults, which end it at once
// (with the terminal restored). `other` is any but the three named (a user signal, a
// CPU-time limit, a timer, a real-time signal).
enum class StopRequest { none, interrupt, terminate, hangUp, other };

// From the opening of the results file until its record is complete, stop requests end
// the run instead of the process, so no record is left half-written. If the record cannot
// be completed within a second (a write blocks), the request ends the process all the
// same, with the terminal restored.
void HoldStopRequests();
// The stop request that arrived while held (none if none); they act at once again after
// ReleaseStopRequests.
[[nodiscard]] StopRequest HeldStopRequest();
void ReleaseStopRequests();
// Ends the process as the platform ends it for such a request, after restoring the
// terminal.
[[noreturn]] void EndByStopRequest(StopRequest request);

// The reader of the program's output has gone (a pipe into `head`): ends the process
// quietly, as filters end then: on Linux by SIGPIPE, on Windows with status 0.
[[noreturn]] void EndForGoneReader();

// Tests and the fuzzer run the dialogue as if there were no terminal, and batch runs leave
// the keys to whoever else uses it. `false`: the terminal is looked for again at its next use
// (a test that has given its process one).
void TerminalDisable(bool disabled = true);

}  // namespace lotrix
