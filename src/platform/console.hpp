// Console streams: the dialogue's text on standard output and the integers the user
// types on standard input.
//
// Output goes straight to the screen, one write per message, when standard output is a
// terminal or console, so a prompt without a line end is visible while the program
// waits; otherwise it is gathered in blocks of 4096 bytes and written out when a block
// fills and by ConsoleFlush at the end. Reading never flushes it. Each "\n" of the texts
// becomes the platform's line end.
//
// Input is read through a reader of our own that keeps the unread rest of what it has
// fetched, so the character that stopped one ReadInteger is the first one the next sees.
// A carriage return is white space to it, so CR LF ends a line as LF does.
#pragma once

#include <cstdint>
#include <string_view>

namespace lotrix {

enum class ReadOutcome {
    stored,      // a number was read into the target
    notANumber,  // no digit (or, at a terminal, the entry ended by the end-of-file key): the
                 // target is unchanged, the stopping character stays pending
    endOfInput,  // input ended for good before any digit: the target is unchanged
};

// Once, first thing: each of descriptors 0, 1 and 2 that is closed is opened on /dev/null,
// so that no file the program opens later takes its number (the results file opened as
// descriptor 1 would receive the dialogue).
void ClaimStandardStreams();

// Formats as printf does and writes the text to standard output.
[[gnu::format(printf, 1, 2)]] void ConsolePrint(const char* format, ...);
void ConsoleWrite(std::string_view text);
// Writes out what is still gathered; safe to call more than once.
void ConsoleFlush();
// At the program's end: what is still gathered written out, and every write to standard
// output checked, as a filter's end is. A write that failed is said on standard error and
// the status becomes at least `failureStatus`; one whose reader had gone (a closed pipe)
// leaves the status as it is, quietly. After a failed write nothing more is written there.
[[nodiscard]] int ConsoleClose(int status, int failureStatus);

// Standard error, for the command line's messages: written at once, lines as the
// platform ends them.
[[gnu::format(printf, 1, 2)]] void ErrorPrint(const char* format, ...);
void ErrorWrite(std::string_view text);

// Does standard output (or error) take the cursor movements that a line of progress
// needs? Only a terminal (or a console that takes ANSI sequences) does.
enum class ConsoleStream { output, error };
[[nodiscard]] bool TakesCursorMoves(ConsoleStream stream);
// How many columns that terminal has now (it may be resized while the program runs); 0
// when unknown.
[[nodiscard]] int TerminalColumns(ConsoleStream stream);

// One decimal integer: blanks skipped, an optional sign, digits accumulated modulo 2^32.
ReadOutcome ReadInteger(std::int32_t& target);

// In place of the standard streams: tests and the fuzzer capture the dialogue's text and
// feed it entries from memory. nullptr gives the standard stream back.
using ConsoleSink = void (*)(std::string_view text);  // gets every message as it is written
using ConsoleSource = std::size_t (*)(char* buffer, std::size_t size);  // 0 at end of input
void ConsoleUseSink(ConsoleSink sink);
void ConsoleUseSource(ConsoleSource source);
void ConsoleUseInputText(std::string_view text);  // the text must outlive the reads

}  // namespace lotrix
