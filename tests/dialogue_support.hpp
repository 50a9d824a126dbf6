// Runs the whole dialogue inside the test process: entries from memory, the console
// captured, a clock that returns the readings a test gives, no terminal.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/dialogue.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
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
    outcome.console = g_console;
    outcome.fileExists = std::filesystem::exists("lotrix20.txt");
    if (outcome.fileExists) outcome.record = ReadFile("lotrix20.txt");
    return outcome;
}

}  // namespace lotrix::testing
