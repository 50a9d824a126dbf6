// The results file: opened once for appending (created if absent, never rewritten),
// written through one output buffer that is handed to the system only in whole lines, so
// several programs appending to the same file at once never tear a line.
//
// The file holds whole lines whatever happens: a record starts on a line of its own even
// after a torn last line, and a write that fails part-way (a full disk, a file-size limit)
// takes back the bytes of its incomplete line. A failed write stops everything after it:
// FileFailed() says so and later text is dropped, never written through a file in an
// unknown state.
//
// Into a pipe, a FIFO, a socket or a terminal the lines go in pieces that a reader takes
// whole, so what any reader ever reads ends on a line end, however the process ends.
//
// Opening never waits: a FIFO without a reader cannot be opened. Runs that share a file
// take turns: each record is written whole under the file's lock, from the look at the
// file's last line to the last write and any take-back.
#pragma once

#include <cstddef>

namespace lotrix {

// Room that a caller may fill directly; the run's line makers write here.
struct FileSpan {
    char* begin;
    char* end;
};

// False when the file cannot be opened; nothing is written then. nullptr: the records go
// to standard output.
[[nodiscard]] bool OpenAppend(const char* name);
// Takes the opened file for one record: its lock, then (with `emptyFirst`, a file only)
// its contents removed, then a line end first if the file ends in a torn line (or its end
// cannot be read). `busy`, at once, while another run holds the lock: ask again later. A
// file moved away (removed, renamed, replaced through a link) while this program waited
// is left to whoever moved it: the name is opened again and that file's lock taken;
// `lost` when the name cannot be opened any more, or keeps changing (FileFailureReason
// says which).
enum class FileTurn { taken, busy, lost };
[[nodiscard]] FileTurn FileTakeTurn(bool emptyFirst = false);
// A short wait before asking FileTakeTurn again (a signal may cut it short).
void FilePauseBeforeAskingAgain();
// After the record's last FileFlush: the next run may write.
void FileReleaseTurn();
// The system's words for why the open or a write failed.
[[nodiscard]] const char* FileFailureReason();

// The buffer the record's text gathers in before it is written (a long run on two threads
// has one a thread): large enough that the system call per buffer is lost in the cost of
// the numbers (and, on two threads, the hand-over per block), small enough that the two
// keep the process under 4 MiB; its pages cost nothing until a record fills them.
constexpr std::size_t kFileBuffer = 768 * 1024;

// Whether the run's second thread may write into the file in turn with this one: the file is one
// whose writes nobody reads part-way (a regular file).
[[nodiscard]] bool FileTakesSecondThread();
// The second thread's one entry: whole lines it made, written from its own buffer in its
// turn (the buffer here then holds no line that should come first). A failure is taken
// back to whole lines as on the main thread, and FileFailed() says so once the run next
// looks; false then.
[[nodiscard]] bool FileWriteSecondThreadLines(const char* data, std::size_t size);

// The process is about to end at once (a signal, a fault, the deadline of a held stop
// request, a console's stop): no write begins from now, and a write under way on another
// thread is let finish (up to a second), so that it leaves no torn line. A write on the
// calling thread is one it interrupted and cannot finish: it is not waited for.
// Async-signal-safe.
void FileHaltWrites();

[[gnu::format(printf, 1, 2)]] void FilePrint(const char* format, ...);

// At least `atLeast` free bytes (writing the buffer out first if it has fewer left).
[[nodiscard]] FileSpan FileFreeSpace(std::size_t atLeast);
// The caller filled the buffer up to `newEnd`, which lies within the last FileFreeSpace.
void FileCommit(char* newEnd);

// Writes out every complete line gathered; false when a write has failed.
bool FileFlush();
[[nodiscard]] bool FileFailed();
// Did the last write fail because the output is a pipe whose reader has gone (a `head`
// that has read enough)?
[[nodiscard]] bool FileReaderGone();

}  // namespace lotrix
