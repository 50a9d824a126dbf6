#include "dialogue/progress.hpp"

#include <array>
#include <cstdio>
#include <string_view>

#include "platform/clock.hpp"
#include "platform/console.hpp"

namespace lotrix {
namespace {

constexpr std::int64_t kFirstShowMs = 1000;
constexpr std::int64_t kUpdateEveryMs = 250;
// Where the cursor stands after the running message: the column after its last line,
// "premi un tasto qualsiasi qualora volessi interrompere il calcolo... ".
constexpr int kPromptColumn = 68;

ProgressPlace g_place = ProgressPlace::none;
std::int32_t g_count = 0;
std::int64_t g_startMs = 0;
std::int64_t g_nextMs = 0;
bool g_shown = false;

// Where the lines go, if anywhere: only a terminal that takes cursor movements.
ProgressPlace Settle(ProgressPlace place) {
    if (place == ProgressPlace::none) return place;
    return TakesCursorMoves(place == ProgressPlace::belowPrompt ? ConsoleStream::output
                                                                : ConsoleStream::error)
               ? place
               : ProgressPlace::none;
}

void Write(std::string_view text) {
    if (g_place == ProgressPlace::belowPrompt) {
        ConsoleWrite(text);
    } else {
        ErrorWrite(text);
    }
}

// "37% completato, 123456789 numeri scritti, mancano circa 1:05"
void Show(std::int32_t done, std::int64_t elapsedMs) {
    const std::int64_t leftSeconds = done > 0 ? elapsedMs * (g_count - done) / done / 1000 : 0;
    const auto percent = static_cast<int>(std::int64_t{done} * 100 / g_count);
    std::array<char, 160> line;
    int length = 0;
    // Move to the line's start (the first time below the prompt), write, erase the rest.
    const char* start = g_shown || g_place == ProgressPlace::standardError ? "\r" : "\n";
    if (leftSeconds >= 3600) {
        length = std::snprintf(line.data(), line.size(),
                               "%s%d%% completato, %d numeri scritti, mancano circa "
                               "%lld:%02lld:%02lld\x1b[K",
                               start, percent, done, static_cast<long long>(leftSeconds / 3600),
                               static_cast<long long>(leftSeconds / 60 % 60),
                               static_cast<long long>(leftSeconds % 60));
    } else {
        length = std::snprintf(line.data(), line.size(),
                               "%s%d%% completato, %d numeri scritti, mancano circa "
                               "%lld:%02lld\x1b[K",
                               start, percent, done, static_cast<long long>(leftSeconds / 60),
                               static_cast<long long>(leftSeconds % 60));
    }
    Write({line.data(), static_cast<std::size_t>(length)});
    g_shown = true;
}

}  // namespace

void BeginProgress(ProgressPlace place, std::int32_t count) {
    g_shown = false;
    g_place = Settle(place);
    if (g_place == ProgressPlace::none) return;
    g_count = count;
    g_startMs = MonotonicMilliseconds();
    g_nextMs = g_startMs + kFirstShowMs;
}

void NoteProgress(std::int32_t done) {
    if (g_place == ProgressPlace::none) return;
    const std::int64_t now = MonotonicMilliseconds();
    if (now < g_nextMs) return;
    Show(done, now - g_startMs);
    g_nextMs = now + kUpdateEveryMs;
}

void ShowWaitingForFile(ProgressPlace place, const char* file) {
    g_shown = false;
    g_place = Settle(place);
    if (g_place == ProgressPlace::belowPrompt) {
        Write("\nattendo che un altro calcolo finisca di scrivere nel file ''lotrix20.txt''...");
    } else if (g_place == ProgressPlace::standardError) {
        Write("\rlotrix20: waiting for another run to finish writing '");
        Write(file);
        Write("'\x1b[K");
    }
    g_shown = g_place != ProgressPlace::none;
}

void EndProgress() {
    if (g_shown) {
        // Erase the line; below the prompt, go back up to where the prompt left the cursor.
        std::array<char, 32> back;
        const int length = g_place == ProgressPlace::belowPrompt
                               ? std::snprintf(back.data(), back.size(), "\r\x1b[K\x1b[A\x1b[%dG",
                                               kPromptColumn + 1)
                               : std::snprintf(back.data(), back.size(), "\r\x1b[K");
        Write({back.data(), static_cast<std::size_t>(length)});
    }
    g_shown = false;
    g_place = ProgressPlace::none;
}

}  // namespace lotrix
