// Checks shared by the tests that drive the real program.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "pty_harness.hpp"
#include "temp_dir.hpp"

namespace lotrix::testing {

inline constexpr const char* kRunning = "interrompere il calcolo... ";
inline constexpr const char* kClosing = "premi un tasto qualsiasi per uscire...  ";
inline constexpr const char* kLongRun = "3\n2000000000\n1\n1\n";
inline const std::string kRunningMessages =
    "\ncalcolo in corso...\npremi un tasto qualsiasi qualora volessi interrompere il calcolo... ";

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
    const std::string marker = "sono stati generati ";
    const auto at = text.rfind(marker);
    if (at == std::string::npos) return -1;
    return std::stoll(text.substr(at + marker.size()));
}

// Answers the closing prompt as a person would: after seeing it, not in the microseconds
// before the program has begun to wait (a key typed then would be echoed by the terminal).
inline void PressClosingKey(PtySession& session, std::string_view key) {
    ASSERT_TRUE(WaitForScreen(session, kClosing)) << session.screen;
    std::this_thread::sleep_for(50ms);
    Type(session, key);
}

// Waits until the terminal reads single keys without echo: the run's mode or the closing
// wait's.
inline bool WaitForSingleKeyMode(PtySession& session, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while ((TerminalSettings(session).c_lflag & (ICANON | ECHO)) != 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A choice-3 record of n numbers from seed s, checked by its size and its last number
// rather than line by line: a stopped run may hold millions of lines.
inline void ExpectChoiceThreeRecord(const std::string& path, std::int64_t seed, std::int64_t n,
                                    const std::string& countLine) {
    const std::string record = ReadFile(path);
    const std::string head = "seme = " + std::to_string(seed) +
                             ";  numeri da generare = " + countLine +
                             "\n(interi tra 0 e 2.147.483.647)\n\n";
    ASSERT_EQ(record.compare(0, head.size(), head), 0) << record.substr(0, 200);
    const std::string summary = "sono stati generati " + std::to_string(n) + " numeri casuali in ";
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
