// A long run's (or a check's) progress on a line of its own at a terminal.
#include "run/progress.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "platform/clock.hpp"
#include "platform/console.hpp"

namespace lotrix {
namespace {

constexpr std::int64_t kFirstShowMs = 1000;
constexpr std::int64_t kUpdateEveryMs = 250;
// Where the cursor stands after the running message: its last line,
// "premi un tasto qualsiasi qualora volessi interrompere il calcolo... ", is this long.
constexpr int kPromptLength = 68;

ProgressPlace g_place = ProgressPlace::none;
std::int64_t g_count = 0;
ProgressUnit g_unit = ProgressUnit::numbersWritten;
std::int64_t g_startMs = 0;
std::int64_t g_nextMs = 0;
bool g_shown = false;
int g_columns = 0;  // the terminal's width when the line was last shown; 0: unknown
std::size_t g_shownLength = 0;
std::array<char, 512> g_waiting;  // the waiting line's text, shown again when the width changes
std::size_t g_waitingLength = 0;

ConsoleStream StreamOf(ProgressPlace place) {
    return place == ProgressPlace::belowPrompt ? ConsoleStream::output : ConsoleStream::error;
}

// Where the lines go, if anywhere: only a terminal that takes cursor movements.
ProgressPlace Settle(ProgressPlace place) {
    if (place == ProgressPlace::none) return place;
    return TakesCursorMoves(StreamOf(place)) ? place : ProgressPlace::none;
}

void Write(std::string_view text) {
    if (g_place == ProgressPlace::belowPrompt) {
        ConsoleWrite(text);
    } else {
        ErrorWrite(text);
    }
}

// How many rows the line shown last covers now: a terminal narrowed since has wrapped it
// (terminals reflow their text, the cursor staying at its end).
int RowsCovered(int columns) {
    if (columns <= 0 || g_shownLength == 0) return 1;
    return static_cast<int>((g_shownLength + columns - 1) / static_cast<std::size_t>(columns));
}

// Back to where the line shown last begins; the rows below its first that it covers now
// are erased on the way.
void ReturnToLineStart(int columns) {
    const int rows = RowsCovered(columns);
    if (rows > 1) {
        Write("\r\x1b[K");
        for (int row = rows; row > 1; --row)
            Write("\x1b[A\x1b[K");
    }
    Write("\r");
}

// Shows `text` as the line: from the line's start (the first time below the prompt), cut
// to one column less than the terminal has now, so that it never wraps, then the rest of
// the row erased.
void ShowLine(std::string_view text) {
    const int columns = TerminalColumns(StreamOf(g_place));
    if (g_shown) {
        ReturnToLineStart(columns);
    } else {
        Write(g_place == ProgressPlace::standardError ? "\r" : "\n");
    }
    g_columns = columns;
    if (g_columns > 1) text = text.substr(0, std::min<std::size_t>(text.size(), g_columns - 1));
    Write(text);
    Write("\x1b[K");
    g_shown = true;
    g_shownLength = text.size();
}

// "37% completato, 123456789 numeri scritti, mancano circa 1:05" below the dialogue's
// prompt; in batch mode, whose messages are English, "37% done, 123456789 numbers
// written, about 1:05 left".
void Show(std::int64_t done, std::int64_t elapsedMs) {
    const std::int64_t left = done > 0 ? elapsedMs * (g_count - done) / done / 1000 : 0;
    const auto percent = static_cast<int>(done * 100 / g_count);
    std::array<char, 32> time;
    if (left >= 3600) {
        std::snprintf(time.data(), time.size(), "%lld:%02lld:%02lld",
                      static_cast<long long>(left / 3600), static_cast<long long>(left / 60 % 60),
                      static_cast<long long>(left % 60));
    } else {
        std::snprintf(time.data(), time.size(), "%lld:%02lld", static_cast<long long>(left / 60),
                      static_cast<long long>(left % 60));
    }
    std::array<char, 160> line;
    const auto count = static_cast<long long>(done);
    const char* unit = g_unit == ProgressUnit::numbersWritten ? "numbers written" : "bytes checked";
    const int length =
        g_place == ProgressPlace::belowPrompt
            ? std::snprintf(line.data(), line.size(),
                            "%d%% completato, %lld numeri scritti, mancano circa %s", percent,
                            count, time.data())
            : std::snprintf(line.data(), line.size(), "%d%% done, %lld %s, about %s left", percent,
                            count, unit, time.data());
    ShowLine({line.data(), static_cast<std::size_t>(length)});
}

}  // namespace

void BeginProgress(ProgressPlace place, std::int64_t total, ProgressUnit unit) {
    g_shown = false;
    g_place = Settle(place);
    if (g_place == ProgressPlace::none || total <= 0) {
        g_place = ProgressPlace::none;
        return;
    }
    g_count = total;
    g_unit = unit;
    g_startMs = MonotonicMilliseconds();
    g_nextMs = g_startMs + kFirstShowMs;
}

void NoteProgress(std::int64_t done) {
    if (g_place == ProgressPlace::none) return;
    const std::int64_t now = MonotonicMilliseconds();
    if (now < g_nextMs) return;
    Show(done, now - g_startMs);
    g_nextMs = now + kUpdateEveryMs;
}

void ShowWaitingForFile(ProgressPlace place, const char* file) {
    g_shown = false;
    g_place = Settle(place);
    const int length =
        g_place == ProgressPlace::belowPrompt
            ? std::snprintf(g_waiting.data(), g_waiting.size(), "%s",
                            "attendo che un altro calcolo finisca di scrivere nel file "
                            "''lotrix20.txt''...")
            : std::snprintf(g_waiting.data(), g_waiting.size(),
                            "lotrix20: waiting for another run to finish writing '%s'", file);
    g_waitingLength = std::min<std::size_t>(static_cast<std::size_t>(length), g_waiting.size() - 1);
    if (g_place != ProgressPlace::none) ShowLine({g_waiting.data(), g_waitingLength});
}

void KeepWaitingLineFitting() {
    if (g_shown && TerminalColumns(StreamOf(g_place)) != g_columns)
        ShowLine({g_waiting.data(), g_waitingLength});
}

void HideProgress() {
    if (!g_shown || g_place != ProgressPlace::standardError) return;
    ReturnToLineStart(TerminalColumns(StreamOf(g_place)));
    Write("\x1b[K");
    g_shown = false;
}

void EndProgress() {
    if (g_shown) {
        // Erase the line; below the prompt, go back up to where the prompt left the cursor:
        // on a narrow terminal the prompt wrapped, and its last row holds what was left.
        const int columns = TerminalColumns(StreamOf(g_place));
        ReturnToLineStart(columns);
        Write("\x1b[K");
        if (g_place == ProgressPlace::belowPrompt) {
            std::array<char, 32> back;
            int column = kPromptLength + 1;
            if (columns > 0)
                column = kPromptLength % columns == 0 ? columns : kPromptLength % columns + 1;
            const int length = std::snprintf(back.data(), back.size(), "\x1b[A\x1b[%dG", column);
            Write({back.data(), static_cast<std::size_t>(length)});
        }
    }
    g_shown = false;
    g_place = ProgressPlace::none;
}

}  // namespace lotrix
