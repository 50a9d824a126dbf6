// Runs the whole dialogue inside the test process: entries from memory, the console
// captured, a clock that returns the readings a test gives, no terminal.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/dialogue.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/line_end.hpp"
#include "platform/terminal.hpp"
#include "temp_dir.hpp"

namespace lotrix::testing {

inline std::vector<std::int32_t> g_clockReadings;
inline std::size_t g_clockNext = 0;
inline std::string g_console;

inline std::int32_t FakeClock() {
    const std::size_t i =
        g_clockNext < g_clockReadings.size() ? g_clockNext++ : g_clockReadings.size() - 1;
    return g_clockReadings[i];
}

// Text as the tests write it, "\n" for each of the platform's line ends; every line must
// end as the platform's do (CR LF on Windows, never a lone LF).
inline std::string FromPlatformLines(const std::string& text) {
    if (kLineEnd == "\n") return text;
    std::string lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(kLineEnd, from)) != std::string::npos;
         from = at + kLineEnd.size()) {
        lines.append(text, from, at - from).push_back('\n');
    }
    lines.append(text, from);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'),
              std::count(text.begin(), text.end(), '\n'))
        << "a line that does not end as the platform's do";
    return lines;
}

struct DialogueOutcome {
    int status;
    std::string console;
    bool fileExists;
    std::string record;
};

inline DialogueOutcome RunDialogueWith(const std::string& input,
                                       std::vector<std::int32_t> clock = {1000, 1000}) {
    g_clockReadings = std::move(clock);
    g_clockNext = 0;
    UseClock(FakeClock);
    TerminalDisable();
    g_console.clear();
    ConsoleUseSink([](std::string_view text) { g_console += text; });
    ConsoleUseInputText(input);
    DialogueOutcome outcome{};
    outcome.status = RunDialogue();
    ConsoleUseSink(nullptr);
    UseClock(nullptr);
    outcome.console = FromPlatformLines(g_console);
    outcome.fileExists = std::filesystem::exists("lotrix20.txt");
    if (outcome.fileExists) outcome.record = FromPlatformLines(ReadFile("lotrix20.txt"));
    return outcome;
}

}  // namespace lotrix::testing
