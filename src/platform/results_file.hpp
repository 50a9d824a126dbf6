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
// Opening never waits: a FIFO without a reader cannot be opened.
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
// The system's words for why the open or a write failed.
[[nodiscard]] const char* FileFailureReason();

[[gnu::format(printf, 1, 2)]] void FilePrint(const char* format, ...);

// At least `atLeast` free bytes (writing the buffer out first if it has fewer left).
[[nodiscard]] FileSpan FileFreeSpace(std::size_t atLeast);
// The caller filled the buffer up to `newEnd`, which lies within the last FileFreeSpace.
void FileCommit(char* newEnd);

// Writes out every complete line gathered; false when a write has failed.
bool FileFlush();
[[nodiscard]] bool FileFailed();

}  // namespace lotrix
