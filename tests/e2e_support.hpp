// Checks shared by the tests that drive the real program.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "pty_harness.hpp"
#include "temp_dir.hpp"
#include "texts.hpp"

namespace lotrix::testing {

inline constexpr const char* kLongRun = "3\n2000000000\n1\n1\n";

inline bool Exited(const std::optional<int>& status, int code) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

inline bool KilledBy(const std::optional<int>& status, int signal) {
    return status && WIFSIGNALED(*status) && WTERMSIG(*status) == signal;
}

inline bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The n-th value from seed s is 16807^n * s mod (2^31 - 1).
inline std::int64_t NthValue(std::int64_t seed, std::int64_t n) {
    constexpr std::int64_t kM = 2147483647;
    std::int64_t result = seed % kM, base = 16807;
    for (; n > 0; n >>= 1) {
        if (n & 1) result = result * base % kM;
        base = base * base % kM;
    }
    return result;
}

// The numbers a summary on the screen reports ("sono stati generati N numeri").
inline std::int64_t ReportedCount(const std::string& text) {
    const std::string marker = SummaryStart(0).substr(0, 20);  // "sono stati generati "
    const auto at = text.rfind(marker);
    if (at == std::string::npos) return -1;
    return std::stoll(text.substr(at + marker.size()));
}

// The terminal modes the program sets: the run's reads single keys without echo (and
// still raises signals); the closing wait's is raw (Ctrl+C is a key too).
enum class KeyMode : tcflag_t { run = ICANON | ECHO, closingWait = ICANON | ECHO | ISIG };

// Waits until the program has put the terminal in that mode.
inline bool WaitForKeyMode(PtySession& session, KeyMode mode,
                           std::chrono::milliseconds timeout = 5s) {
    const auto off = static_cast<tcflag_t>(mode);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while ((TerminalSettings(session).c_lflag & off) != 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Waits until a run is under way, reading keys, and has written numbers: into a results
// file, until its first block has reached it; into a device, which shows nothing, a while
// (long enough under an emulator too).
inline void WaitForRun(PtySession& session) {
    ASSERT_TRUE(WaitForScreen(session, kRunning)) << session.screen;
    ASSERT_TRUE(WaitForKeyMode(session, KeyMode::run));
    if (!std::filesystem::is_regular_file("lotrix20.txt")) {
        std::this_thread::sleep_for(100ms);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::filesystem::file_size("lotrix20.txt") == 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no numbers reached the file";
        std::this_thread::sleep_for(1ms);
    }
}

// Answers the closing prompt as a person would: once the program waits for the key, not
// in the microseconds before (a key typed then would be echoed by the terminal).
inline void PressClosingKey(PtySession& session, std::string_view key) {
    ASSERT_TRUE(WaitForScreen(session, kClosing)) << session.screen;
    ASSERT_TRUE(WaitForKeyMode(session, KeyMode::closingWait));
    Type(session, key);
}

// The screen a terminal shows for what the program wrote, rows joined by "\n": carriage
// returns, erasing to the end of the row (ESC [ K) and moves up (ESC [ A) and to a column
// (ESC [ n G) are followed; everything else is printed where the cursor stands. With
// `columns`, a character printed past the last column goes to the next row first, as on
// a terminal that wide.
inline std::string RenderScreen(const std::string& written, std::size_t columns = SIZE_MAX) {
    std::vector<std::string> rows(1);
    std::size_t row = 0, column = 0;
    for (std::size_t i = 0; i < written.size(); ++i) {
        const char c = written[i];
        if (c != '\n' && c != '\r' && c != '\x1b' && column >= columns) {
            column = 0;
            if (++row == rows.size()) rows.emplace_back();
        }
        if (c == '\n') {
            column = 0;
            if (++row == rows.size()) rows.emplace_back();
        } else if (c == '\r') {
            column = 0;
        } else if (c == '\x1b' && i + 1 < written.size() && written[i + 1] == '[') {
            std::size_t n = 0, at = i + 2;
            for (; at < written.size() && std::isdigit(static_cast<unsigned char>(written[at]));
                 ++at)
                n = n * 10 + static_cast<std::size_t>(written[at] - '0');
            if (at == written.size()) break;
            column = std::min(column, columns - 1);  // a pending wrap ends with the sequence
            if (written[at] == 'K') rows[row].resize(std::min(column, rows[row].size()));
            if (written[at] == 'A') row -= std::min(row, std::max<std::size_t>(n, 1));
            if (written[at] == 'G') column = std::min(std::max<std::size_t>(n, 1), columns) - 1;
            i = at;
        } else {
            std::string& line = rows[row];
            if (line.size() <= column) line.resize(column + 1, ' ');
            line[column++] = c;
        }
    }
    std::string screen;
    for (std::size_t r = 0; r < rows.size(); ++r)
        screen += (r > 0 ? "\n" : "") + rows[r];
    return screen;
}

// A key stops the run under way; the program then waits for the closing key and ends
// normally, having written some numbers, with the terminal as it found it.
inline void StopTheRunWithAKeyAndClose(PtySession& session) {
    ASSERT_TRUE(WaitForKeyMode(session, KeyMode::run));
    Type(session, "q");
    PressClosingKey(session, "k");
    ASSERT_TRUE(WaitForExit(session));
    EXPECT_TRUE(Exited(session.status, 0));
    EXPECT_GT(ReportedCount(session.screen), 0);
    EXPECT_TRUE(SameSettings(session.initial, TerminalSettings(session)));
}

// A choice-3 record of n numbers from seed s, checked by its size and its last number
// rather than line by line: a stopped run may hold millions of lines.
inline void ExpectChoiceThreeRecord(const std::string& path, std::int64_t seed, std::int64_t n,
                                    const std::string& countLine) {
    const std::string record = ReadFile(path);
    const std::string head =
        "seme = " + std::to_string(seed) + ";  numeri da generare = " + countLine + "\n" + kHeader3;
    ASSERT_EQ(record.compare(0, head.size(), head), 0) << record.substr(0, 200);
    const std::string summary = SummaryStart(n);
    const auto summaryAt = head.size() + 13 * static_cast<std::size_t>(n);
    ASSERT_GE(record.size(), summaryAt + summary.size());
    EXPECT_EQ(record.compare(summaryAt, summary.size(), summary), 0);
    EXPECT_EQ(record.substr(record.size() - 5), "\n\n\n\n\n");
    if (n > 0) {
        const std::string last = record.substr(summaryAt - 13, 13);
        EXPECT_EQ(std::stoll(last), NthValue(seed, n)) << last;
        EXPECT_EQ(last.size(), 13u);
    }
}

}  // namespace lotrix::testing
