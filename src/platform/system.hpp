// What each platform provides beneath the console streams, the results file, the run's
// second thread and the clock: the mechanism only. The policy above it (the console's
// buffering, the reader of entries, the results file's whole lines, the wait for a write
// under way when the process ends) is the same everywhere. One implementation per
// platform, in posix/ and windows/; the build picks one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace lotrix::system {

// Standard streams. Any that is closed at start is opened on the null device, so that no
// file opened later takes its place.
void ClaimStandardStreams();
// Is standard output a terminal or console (each message must then be on screen at once)?
[[nodiscard]] bool StandardOutputIsInteractive();
// How many bytes were written: all, or fewer when an error came first.
std::size_t WriteStandardOutput(const char* data, std::size_t size);
std::size_t WriteStandardError(const char* data, std::size_t size);
// Why the last write to standard output that failed did so, in the system's words;
// nullptr when its reader has gone (a closed pipe), which is no one's error.
[[nodiscard]] const char* StandardOutputFailure();

enum class Stream { output, error };
// Is the stream a terminal that takes cursor movements (the ANSI sequences for erasing a
// line and moving up and across), so that a line of progress can be shown and taken away?
[[nodiscard]] bool TakesCursorMoves(Stream stream);

// How many columns the terminal or console behind the stream has now; 0 when unknown.
[[nodiscard]] int TerminalColumns(Stream stream);

// What a read of standard input brought: some bytes, the end of input for good, or (on a
// console, a line that begins with the end-of-file key) the end of this read only.
struct InputRead {
    std::size_t bytes;
    bool endedForGood;
};
[[nodiscard]] InputRead ReadStandardInput(char* buffer, std::size_t size);

// The results file, opened for appending, created if absent, shared with other programs.
// Opening never waits (a FIFO without a reader cannot be opened). nullptr: the records go
// to standard output.
[[nodiscard]] bool OpenResultsFile(const char* name);
// Is the file empty, or does it end with a line end? It is read through the handle that
// writes it where the file's mode lets this program read it; a file that cannot be read
// counts as torn (an empty line is better than a record glued onto another's line), one
// whose end keeps moving (another program is appending) as ending well.
[[nodiscard]] bool ResultsFileEndsWithLineEnd(const char* name);
// The largest write that a reader takes whole, or not at all, even if the process ends
// while it waits: PIPE_BUF's 4096 bytes for a pipe, a FIFO, a socket or a terminal;
// unlimited for a regular file (a torn line there is repaired by the next record) and for a
// device that nobody reads (the null device).
[[nodiscard]] std::size_t ResultsWholeWriteLimit();
// How many bytes were appended: all, or fewer when an error came first. Either thread of a
// run may append, never both at once.
std::size_t AppendToResultsFile(const char* data, std::size_t size);
// Is the results file a regular file, whose writes nobody reads part-way?
[[nodiscard]] bool ResultsFileIsRegular();

// The processors this program may use at once: those it may run on, fewer where a
// container's processor quota grants less (rounded down). 1 where no second thread is
// offered.
[[nodiscard]] int ProcessorsForThisProgram();
// Whether, at this moment, fewer threads are running than this program has processors
// (itself among them): a second thread would have one to itself. A kernel thread that runs
// for a moment makes a processor look busy, so it is worth asking again a little later.
[[nodiscard]] bool ProcessorLooksFree();

// A run's second thread, mechanism only. Start runs `work(argument)` there (false when no
// thread could be started); each thread keeps a processor of its own until the join. The
// requests to stop stay the main thread's; a fault the second thread raises itself runs its
// handler there.
[[nodiscard]] bool StartSecondThread(void (*work)(void*), void* argument);
void JoinSecondThread();
enum class Thread { main, second, other };
// The thread the caller runs on (`other`: a thread the system started, as a console's
// control handler). Async-signal-safe.
[[nodiscard]] Thread CurrentThread();
// Waits while `word` holds `value` (it may return early: look again), and wakes whoever
// waits on `word`: the turns of a run's two threads.
void WaitWhile(const std::atomic<std::uint32_t>& word, std::uint32_t value);
void WakeWaiter(std::atomic<std::uint32_t>& word);
// Inside a spin: lets the processor's other hardware thread on, and saves power.
inline void SpinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Memory for a large table read and written at random (the values a draw has seen):
// zeroed, each page given as it is first touched, in the system's large pages where it
// offers them, so that a random touch costs a cache miss and not a walk of the page tables
// besides. nullptr when the system refuses it. Given back whole.
[[nodiscard]] void* TakeTableMemory(std::size_t bytes);
void GiveBackTableMemory(void* memory, std::size_t bytes);

// Takes back the last `bytes` bytes that this program appended, if the file still ends
// with them (never what another program appended since).
void TakeBackFromResultsFile(const char* name, const char* data, std::size_t bytes);

// The results file's lock: every run holds it for the whole of its record, so that the
// records of runs sharing a file never interleave and a take-back never meets another
// run's lines. It is advisory (a program that appends without asking for it is not held
// back) and leaves the file readable by anyone meanwhile. Only a regular file is locked:
// standard output, pipes and devices need none, and a file system without locks is
// written as before. Never waits. Once it is held, the file is checked to be the one the
// name leads to now: a file removed, renamed (a log's rotation) or replaced through a link
// while this program waited is given up, lock and all, as `moved`.
enum class LockOutcome { taken, busy, moved };
[[nodiscard]] LockOutcome TryLockResultsFile(const char* name);
void UnlockResultsFile();

// Waits a little (while another run holds the lock, or another thread's write ends); a
// signal may end the wait early. Async-signal-safe.
void Pause(int milliseconds);

// Removes what a regular results file holds, under the lock (pipes and devices are left).
void EmptyResultsFile(const char* name);
// Did the last write fail because the results go to a pipe whose reader has closed it?
[[nodiscard]] bool ResultsReaderGone();

// The system's words for why the last open or write of the results file failed.
[[nodiscard]] const char* ResultsFileFailure();

// A file read from start to end (a results file being checked); nullptr: standard input.
// False when it cannot be opened; CheckedFileFailure says why.
[[nodiscard]] bool OpenCheckedFile(const char* name);
// Up to `size` bytes: how many were read, 0 at the end, -1 on an error.
[[nodiscard]] std::ptrdiff_t ReadCheckedFile(char* buffer, std::size_t size);
// Its size in bytes where it has one (a regular file); -1 otherwise.
[[nodiscard]] std::int64_t CheckedFileSize();
[[nodiscard]] const char* CheckedFileFailure();

// The system clock: seconds since 1970-01-01 00:00:00 UTC, low 32 bits.
[[nodiscard]] std::int32_t CalendarSecondsNow();
// A clock that only goes forward, in milliseconds from an arbitrary start; cheap enough to
// read once per block of numbers.
[[nodiscard]] std::int64_t MonotonicMilliseconds();

}  // namespace lotrix::system
