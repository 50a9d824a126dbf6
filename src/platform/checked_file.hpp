// A file read from start to end in constant memory, for checking the records it holds:
// line by line, or many bytes at a time where long runs of lines are compared at once.
// Lines end with "\n" (a "\r" before it stays part of the line's end); the last line of
// a file may end without one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lotrix {

// nullptr: standard input. False when it cannot be opened (CheckedFileFailure says why).
[[nodiscard]] bool OpenCheckedFile(const char* name);
[[nodiscard]] const char* CheckedFileFailure();
// Did a read fail (an error, not the end)?
[[nodiscard]] bool CheckedFileFailed();
// The file's size where it has one (a regular file), else -1; and the bytes taken so far.
[[nodiscard]] std::int64_t CheckedFileSize();
[[nodiscard]] std::int64_t CheckedFileTaken();

// The next line, its line end included, without taking it; empty at the end of the file.
// A line that does not end with "\n" is the file's torn last line, or (at kLongestLine
// bytes) the first piece of a line too long to be a record's.
[[nodiscard]] std::string_view PeekCheckedLine();
inline constexpr std::size_t kLongestLine = 64 * 1024;
// The next bytes, at least `want` of them unless the file ends first, without taking them.
[[nodiscard]] std::string_view PeekCheckedBytes(std::size_t want);
void TakeChecked(std::size_t bytes);

}  // namespace lotrix
