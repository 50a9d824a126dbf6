// The results file: opened once for appending (created if absent, never truncated or
// read), written through one output buffer that is handed to the system only in whole
// lines, so several programs appending to the same file at once never tear a line.
//
// A failed write stops everything after it: FileFailed() says so and later text is
// dropped, never written through a file in an unknown state.
#pragma once

#include <cstddef>

namespace lotrix {

// Room that a caller may fill directly; the run's line makers write here.
struct FileSpan {
    char* begin;
    char* end;
};

// False when the file cannot be opened; nothing is written then.
[[nodiscard]] bool OpenAppend(const char* name);

[[gnu::format(printf, 1, 2)]] void FilePrint(const char* format, ...);

// At least `atLeast` free bytes (writing the buffer out first if it has fewer left).
[[nodiscard]] FileSpan FileFreeSpace(std::size_t atLeast);
// The caller filled the buffer up to `newEnd`, which lies within the last FileFreeSpace.
void FileCommit(char* newEnd);

// Writes out every complete line gathered; false when a write has failed.
bool FileFlush();
[[nodiscard]] bool FileFailed();

}  // namespace lotrix
