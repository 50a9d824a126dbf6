// The program as a tool for scripts: help and version, batch runs that write the
// dialogue's record, standard output and bare numbers, wrong command lines, and progress.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.hpp"

namespace lotrix::testing {
namespace {

using Arguments = std::vector<std::string>;

std::string WithoutTimes(const std::string& record) {
    return std::regex_replace(record, std::regex("in [0-9]+ (minuti [0-9]{2} )?secondi"), "in T");
}

class CommandLine : public ::testing::Test {
  protected:
    void TearDown() override { Close(session_); }
    TempDir dir_;
    PtySession session_;
};

TEST_F(CommandLine, HelpAndVersionGoToStandardOutput) {
    for (const char* help : {"-h", "--help"}) {
        const DetachedRun run = RunCommand({help});
        EXPECT_TRUE(Exited(run.status, 0));
        EXPECT_EQ(run.output.rfind("Usage: lotrix20\n", 0), 0u) << run.output;
        EXPECT_NE(run.output.find("--numbers-only"), std::string::npos);
        EXPECT_EQ(run.errors, "");
    }
    for (const char* version : {"-V", "--version"}) {
        EXPECT_EQ(RunCommand({version}).output, "lotrix20 2.0.0\n");
    }
    EXPECT_TRUE(std::filesystem::is_empty("."));
}

TEST_F(CommandLine, ABatchRunWritesTheRecordTheDialogueWrites) {
    const std::pair<const char*, Arguments> runs[] = {
        {"1\n7\n1\n3\n", {"-c", "1", "-n", "7", "-s", "3"}},
        {"2\n7\n1\n3\n", {"--choice=2", "--count", "7", "--seed=3"}},
        {"3\n7\n1\n3\n", {"-c3", "-n7", "-s3", "-o", "lotrix20.txt"}},
        {"4\n-3\n2\n7\n1\n3\n", {"-c", "4", "-l", "-3", "--upper=2", "-n", "7", "-s", "3"}},
    };
    for (const auto& [entries, arguments] : runs) {
        std::filesystem::remove("lotrix20.txt");
        ASSERT_TRUE(Exited(RunDetached(entries).status, 0));
        const std::string dialogue = ReadFile("lotrix20.txt");
        std::filesystem::remove("lotrix20.txt");
        const DetachedRun batch = RunCommand(arguments);
        EXPECT_TRUE(Exited(batch.status, 0)) << entries;
        EXPECT_EQ(batch.output + batch.errors, "") << entries;
        EXPECT_EQ(WithoutTimes(ReadFile("lotrix20.txt")), WithoutTimes(dialogue)) << entries;
    }
}

TEST_F(CommandLine, NumberLinesAloneOnStandardOutputForPipelines) {
    const Arguments dice{"-c", "4", "-l", "1", "-u", "6", "-n", "20", "-s", "7"};
    Arguments toFile = dice, toOutput = dice;
    toFile.insert(toFile.end(), {"-o", "dice.txt"});
    toOutput.insert(toOutput.end(), {"--numbers-only", "-o", "-"});
    ASSERT_TRUE(Exited(RunCommand(toFile).status, 0));
    const DetachedRun run = RunCommand(toOutput);
    EXPECT_TRUE(Exited(run.status, 0));
    std::istringstream record(ReadFile("dice.txt"));
    std::string line, numbers;
    for (int i = 0; std::getline(record, line); ++i) {
        if (i >= 4 && i < 24) numbers += line + "\n";  // after the seed line and the header
    }
    EXPECT_EQ(run.output, numbers);
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), '\n'), 20);
    EXPECT_FALSE(std::filesystem::exists("lotrix20.txt"));
}

TEST_F(CommandLine, AWrongCommandLineIsSaidOnStandardErrorAndTouchesNoFile) {
    const Arguments wrong[] = {
        {"--frobnicate"},
        {"-c"},
        {"-c", "5", "-n", "1", "-s", "1"},
        {"-c", "3", "-n", "0", "-s", "1"},
        {"-c", "3", "-n", "1x", "-s", "1"},
        {"-c", "3", "-n", "2147483648", "-s", "1"},
        {"-c", "3", "-n", "4294967297", "-s", "1"},
        {"-c", "3", "-n", "5"},
        {"-c", "3", "-n", "5", "-s", "1", "--clock-seed"},
        {"-c", "3", "-n", "5", "-s", "2147483648"},
        {"-c", "3", "-n", "5", "-s", "-2147483649"},
        {"-c", "3", "-n", "5", "-s", "1", "-l", "1", "-u", "2"},
        {"-c", "4", "-n", "5", "-s", "1", "-l", "1"},
        {"-c", "4", "-n", "5", "-s", "1", "-l", "2", "-u", "2"},
        {"-c", "4", "-n", "5", "-s", "1", "-l", "-1", "-u", "2147483646"},
        {"-c", "3", "-n", "5", "-s", "1", "stray"},
        {"-c", "3", "-n", "5", "-s", "1", "-o", ""},
        {"-c", "3", "-n", "5", "-s", "1", "--skip", "3"},  // a record could not say where
        {"-c", "3", "-n", "5", "-s", "1", "--numbers-only", "--skip", "18446744073709551616"},
        {"-c", "3", "-n", "5", "-s", "1", "--replace", "-o", "-"},
        {"-c", "3", "-n", "5", "-s", "1", "--distinct"},
        {"-c", "4", "-l", "1", "-u", "90", "-n", "91", "-s", "1", "--distinct"},
        {"-c", "4", "-l", "1", "-u", "90", "-n", "5", "-s", "1", "--distinct", "--numbers-only",
         "--skip", "1"},
        {"--verify", "f.txt", "-c", "4", "-l", "1", "-u", "9", "-s", "1", "--distinct", "--skip",
         "1"},
    };
    const std::string hint = "Try 'lotrix20 --help' for more information.\n";
    for (const Arguments& arguments : wrong) {
        const DetachedRun run = RunCommand(arguments);
        const std::string said = arguments.front() + " ... " + arguments.back();
        EXPECT_TRUE(Exited(run.status, 2)) << said;
        EXPECT_EQ(run.output, "") << said;
        EXPECT_EQ(run.errors.rfind("lotrix20: ", 0), 0u) << said;
        EXPECT_TRUE(EndsWith(run.errors, hint)) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 2) << run.errors;
    }
    EXPECT_TRUE(std::filesystem::is_empty("."));
}

// --distinct: six numbers from 1 to 90, none twice, in a record that says so; more than
// the bounds hold is refused with their count; a stop request keeps what was drawn.
TEST_F(CommandLine, ADrawWithoutRepeatsSaysSoAndStopsLikeAnyRun) {
    const DetachedRun draw = RunCommand(
        {"-c", "4", "-l", "1", "-u", "90", "-n", "6", "-s", "7", "--distinct", "-o", "-"});
    EXPECT_TRUE(Exited(draw.status, 0)) << draw.errors;
    EXPECT_EQ(draw.output.substr(0, draw.output.find(SummaryStart(6))),
              SeedLine(7, 6) +
                  "(interi tra -2.147.483.648 e +2.147.483.647)\n"
                  "intervallo scelto: da +1 a +90, senza ripetizioni\n\n"
                  "          +1\n         +83\n         +27\n         +19\n         +66\n"
                  "         +48\n");
    EXPECT_EQ(RunCommand({"-c", "4", "-l", "1", "-u", "90", "-n", "91", "-s", "1", "--distinct"})
                  .errors.rfind("lotrix20: --distinct: the bounds hold 90 values, fewer than the "
                                "91 asked for\n",
                                0),
              0u);
    session_ =
        StartUnderPty(std::nullopt, {.arguments = {"-c", "4", "-l", "-2147483648", "-u", "-2", "-n",
                                                   "2000000000", "-s", "1", "--distinct"}});
    while (!std::filesystem::exists("lotrix20.txt") ||
           std::filesystem::file_size("lotrix20.txt") < 1'000'000)
        std::this_thread::sleep_for(1ms);
    ::kill(session_.pid, SIGTERM);
    ASSERT_TRUE(WaitForExit(session_, 20s));
    EXPECT_TRUE(KilledBy(session_.status, SIGTERM));
    const std::string record = ReadFile("lotrix20.txt");
    const std::int64_t recorded = ReportedCount(record);
    EXPECT_GT(recorded, 0);
    const std::size_t numbers = record.find("ripetizioni\n\n") + 13;
    EXPECT_EQ(record.find(SummaryStart(recorded)), numbers + 13 * recorded) << recorded;
}

// Arguments without an option (a file dropped onto the program, a launcher's) are
// ignored and the dialogue runs; "/?" asks for the help, as on Windows.
TEST_F(CommandLine, ArgumentsWithoutAnOptionAreIgnored) {
    const DetachedRun run = RunCommand({"dropped.txt", "-"}, "3\n5\n1\n1\n");
    EXPECT_TRUE(Exited(run.status, 0)) << run.errors;
    EXPECT_TRUE(EndsWith(run.output, kClosing));
    ExpectChoiceThreeRecord("lotrix20.txt", 1, 5, "5");
    EXPECT_EQ(RunCommand({"/?"}).output.rfind("Usage: lotrix20\n", 0), 0u);
}

// A reader that stops early (`| head -2`) ends the program as it ends other filters: by
// SIGPIPE, without a word.
TEST_F(CommandLine, AReaderThatStopsEarlyEndsItQuietly) {
    const DetachedRun run = RunIntoShortReader(
        {"-c", "3", "-n", "100000000", "-s", "1", "--numbers-only", "-o", "-"}, 26);
    EXPECT_TRUE(KilledBy(run.status, SIGPIPE));
    EXPECT_EQ(run.errors, "");
}

// What bare numbers cannot say goes to standard error: the clock seed that made them, and
// a warning for the seed that makes choices 2 to 4 constant (still accepted, for old files).
TEST_F(CommandLine, WhatBareNumbersCannotSayIsSaidOnStandardError) {
    const DetachedRun clock =
        RunCommand({"-c", "3", "-n", "3", "--clock-seed", "--numbers-only", "-o", "-"});
    std::smatch seed;
    ASSERT_TRUE(std::regex_match(clock.errors, seed, std::regex("lotrix20: seed (-?[0-9]+)\n")))
        << clock.errors;
    EXPECT_EQ(RunCommand({"-c", "3", "-n", "3", "-s", seed[1], "--numbers-only", "-o", "-"}).output,
              clock.output);
    // Every seed the clock can give is taken back, past 2038 too; the ones that make
    // choices 2 to 4 constant are warned of.
    const std::pair<const char*, bool> seeds[] = {
        {"-2136004096", false}, {"-2147483648", false}, {"2147483647", true}, {"0", true},
        {"-2147483647", true},
    };
    for (const auto& [seed, stuck] : seeds) {
        const DetachedRun run = RunCommand({"-c", "2", "-n", "2", "-s", seed, "-o", "-"});
        EXPECT_TRUE(Exited(run.status, 0)) << seed;
        const std::string warning = "lotrix20: warning: seed " + std::string(seed) +
                                    " makes every number of choice 2 the same\n";
        EXPECT_EQ(run.errors, stuck ? warning : "") << seed;
    }
    EXPECT_EQ(RunCommand({"-c", "1", "-n", "2", "-s", "2147483647", "-o", "-"}).errors, "");
}

// Leading zeros are any in number, in every numeric option.
TEST_F(CommandLine, LeadingZerosAreAnyInNumber) {
    const std::string plain = RunCommand({"-c", "4", "-l", "-3", "-u", "9", "-n", "5", "-s", "7",
                                          "--skip", "2", "--numbers-only", "-o", "-"})
                                  .output;
    const std::string zeros(30, '0');
    const DetachedRun padded = RunCommand({"-c", zeros + "4", "-l", "-" + zeros + "3", "-u",
                                           "+" + zeros + "9", "-n", zeros + "5", "-s", zeros + "7",
                                           "--skip", zeros + "2", "--numbers-only", "-o", "-"});
    EXPECT_TRUE(Exited(padded.status, 0)) << padded.errors;
    EXPECT_EQ(padded.output, plain);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), '\n'), 5);
}

TEST_F(CommandLine, ReplaceWritesTheOutputAfresh) {
    for (const char* seed : {"1", "2"}) {
        ASSERT_TRUE(Exited(RunCommand({"-c", "3", "-n", "2", "-s", seed, "--numbers-only", "-o",
                                       "nums.txt", "--replace"})
                               .status,
                           0));
        ASSERT_TRUE(Exited(RunCommand({"-c", "3", "-n", "2", "-s", seed, "--replace"}).status, 0));
    }
    EXPECT_EQ(ReadFile("nums.txt"), "       33614\n   564950498\n");  // seed 2's alone
    ExpectChoiceThreeRecord("lotrix20.txt", 2, 2, "2");
}

// --skip K writes lines K+1 to K+M of the seed's whole output, at once whatever K is.
TEST_F(CommandLine, SkipStartsAnyNumberOfStepsIntoTheSequence) {
    const Arguments choices[] = {
        {"-c", "1"}, {"-c", "2"}, {"-c", "3"}, {"-c", "4", "-l", "-5", "-u", "2000000000"}};
    const auto numbers = [](Arguments arguments, const char* count, const char* skip) {
        arguments.insert(arguments.end(),
                         {"-s", "7", "-n", count, "--skip", skip, "--numbers-only", "-o", "-"});
        return RunCommand(arguments).output;
    };
    for (const Arguments& choice : choices) {
        const std::string whole = numbers(choice, "8", "0");
        const std::size_t third = whole.find('\n', whole.find('\n', whole.find('\n') + 1) + 1);
        EXPECT_EQ(numbers(choice, "5", "3"), whole.substr(third + 1)) << choice[1];
        const std::string far = numbers(choice, "8", "1099511627776");  // 2^40
        const std::size_t fifth = [&] {
            std::size_t at = 0;
            for (int i = 0; i < 5; ++i)
                at = far.find('\n', at) + 1;
            return at;
        }();
        EXPECT_EQ(numbers(choice, "3", "1099511627781"), far.substr(fifth)) << choice[1];
    }
    const std::string farthest = numbers(choices[2], "2", "18446744073709551615");
    EXPECT_EQ(std::count(farthest.begin(), farthest.end(), '\n'), 2);
}

TEST_F(CommandLine, AnOutputThatCannotBeWrittenIsSaidWithTheSystemsReason) {
    const DetachedRun missing = RunCommand({"-c", "3", "-n", "5", "-s", "1", "-o", "no/such"});
    EXPECT_TRUE(Exited(missing.status, 1));
    EXPECT_EQ(missing.errors, "lotrix20: cannot open 'no/such': No such file or directory\n");
    const DetachedRun full = RunCommand({"-c", "3", "-n", "100000", "-s", "1", "-o", "/dev/full"});
    EXPECT_TRUE(Exited(full.status, 1));
    EXPECT_EQ(full.errors, "lotrix20: cannot write to '/dev/full': No space left on device\n");
    const std::string longPath = "no/" + std::string(600, 'x');  // said whole, never cut
    EXPECT_EQ(RunCommand({"-c", "3", "-n", "5", "-s", "1", "-o", longPath}).errors,
              "lotrix20: cannot open '" + longPath + "': No such file or directory\n");
}

// Every write to standard output is checked, as a filter's are: one that fails is said and
// fails the command (--verify with 2, its status for trouble); a reader that has gone is
// no one's error (AReaderThatStopsEarlyEndsItQuietly).
TEST_F(CommandLine, AStandardOutputThatCannotBeWrittenFailsTheCommand) {
    ASSERT_TRUE(Exited(RunCommand({"-c", "3", "-n", "5", "-s", "1", "-o", "f.txt"}).status, 0));
    const std::pair<Arguments, int> commands[] = {
        {{"--help"}, 1}, {{"--version"}, 1}, {{"--verify", "f.txt"}, 2}};
    for (const auto& [arguments, status] : commands) {
        const DetachedRun run = RunCommand(
            arguments, "", 20s, [] { ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO); });
        EXPECT_TRUE(Exited(run.status, status)) << arguments[0];
        EXPECT_EQ(run.errors, "lotrix20: write error: No space left on device\n") << arguments[0];
    }
}

// A standard output inherited in non-blocking mode: every line still reaches the reader.
TEST_F(CommandLine, ANonBlockingStandardOutputGetsEveryLine) {
    const DetachedRun run = RunCommand(
        {"-c", "3", "-n", "1000000", "-s", "1", "--numbers-only", "-o", "-"}, "", 20s,
        [] { ::fcntl(STDOUT_FILENO, F_SETFL, ::fcntl(STDOUT_FILENO, F_GETFL) | O_NONBLOCK); });
    EXPECT_TRUE(Exited(run.status, 0)) << run.errors;
    ASSERT_EQ(run.output.size(), 13'000'000u);
    EXPECT_EQ(std::stoll(run.output.substr(run.output.size() - 13)), NthValue(1, 1'000'000));
}

// Past 2038 the clock keeps its low 32 bits: clock seeds stay distinct and a short run
// still takes a second, in 2039 as in 2106 (when the count passes 2^32).
TEST_F(CommandLine, TheClockGoesOnAfter2038) {
#ifndef LOTRIX_FAKETIME_LIBRARY
    GTEST_SKIP() << "faketime is not installed (Debian: faketime), or this is a cross build";
#else
    static const char* fakeDate = nullptr;
    for (const char* date : {"2039-03-01 12:00:00", "2106-03-01 12:00:00"}) {
        fakeDate = date;
        const DetachedRun run =
            RunCommand({"-c", "3", "-n", "3", "--clock-seed", "-o", "-"}, "", 20s, [] {
                ::setenv("LD_PRELOAD", LOTRIX_FAKETIME_LIBRARY, 1);
                ::setenv("FAKETIME", (std::string("@") + fakeDate).c_str(), 1);
                ::setenv("TZ", "UTC", 1);
                ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
            });
        ASSERT_TRUE(Exited(run.status, 0)) << run.errors;
        std::tm calendar{};
        ::strptime(date, "%Y-%m-%d %H:%M:%S", &calendar);
        const auto wrapped =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(::timegm(&calendar)));
        const long long seed = std::stoll(run.output.substr(7));
        EXPECT_TRUE(seed == wrapped || seed == wrapped + 1) << date << ": " << run.output;
        EXPECT_TRUE(std::regex_search(run.output, std::regex("numeri casuali in [12] secondi\n")))
            << run.output;
    }
#endif
}

TEST_F(CommandLine, AStopSignalInABatchRunCompletesTheRecord) {
    session_ =
        StartUnderPty(std::nullopt, {.arguments = {"-c", "3", "-n", "2000000000", "-s", "1"}});
    while (!std::filesystem::exists("lotrix20.txt") ||
           std::filesystem::file_size("lotrix20.txt") == 0)
        std::this_thread::sleep_for(1ms);
    ::kill(session_.pid, SIGTERM);
    ASSERT_TRUE(WaitForExit(session_, 20s));
    EXPECT_TRUE(KilledBy(session_.status, SIGTERM));
    const std::int64_t recorded = ReportedCount(ReadFile("lotrix20.txt"));
    EXPECT_GT(recorded, 0);
    ExpectChoiceThreeRecord("lotrix20.txt", 1, recorded, "2000000000");
}

// A long run at a terminal shows its progress, never wider than the terminal, then leaves
// the very screen a run without progress leaves, at 20, 40 and 80 columns; a batch run
// shows it on standard error, in English, and takes it away too.
TEST_F(CommandLine, ProgressIsShownOnALongRunAndTakenAwayBeforeTheSummary) {
    std::filesystem::create_symlink("/dev/null", "lotrix20.txt");
    const auto aTerminal = [] { ::setenv("TERM", "xterm", 1); };
    for (const unsigned short columns : {20, 40, 80}) {
        session_ = StartUnderPty(kLongRun, {.setup = aTerminal, .columns = columns});
        WaitForRun(session_);
        const std::size_t from = session_.screen.size();
        ASSERT_TRUE(WaitForScreen(session_, "\x1b[K", 10s, from)) << session_.screen;
        std::this_thread::sleep_for(600ms);  // a few updates
        Type(session_, "q");
        PressClosingKey(session_, "k");
        ASSERT_TRUE(WaitForExit(session_));
        const std::string& screen = session_.screen;
        for (std::size_t at = screen.find("\x1b[K", from); at != std::string::npos;
             at = screen.find("\x1b[K", at + 1)) {
            const std::size_t start = screen.find_last_of("\r\n", at) + 1;
            EXPECT_LT(at - start, columns) << screen.substr(start, at - start);
        }
        const std::size_t summary = screen.rfind(SummaryStart(0).substr(0, 20));
        ASSERT_NE(summary, std::string::npos);
        const std::string summaryLine =
            screen.substr(summary, screen.find('\n', summary) - summary);
        const std::string plain = kOpening + kCountPrompt + kSeedModePrompt + kSeedPrompt +
                                  kRunning + "\n\n" + summaryLine + "\n" + kClosing;
        EXPECT_EQ(RenderScreen(screen, columns), RenderScreen(plain, columns)) << columns;
        Close(session_);
    }
    session_ = StartUnderPty(std::nullopt, {.setup = aTerminal,
                                            .arguments = {"-c", "2", "-n", "2000000000", "-s", "1",
                                                          "--progress", "-o", "lotrix20.txt"}});
    ASSERT_TRUE(WaitForScreen(session_, "% done, ", 10s)) << session_.screen;
    ::kill(session_.pid, SIGINT);
    ASSERT_TRUE(WaitForExit(session_, 20s));
    EXPECT_TRUE(KilledBy(session_.status, SIGINT));
    EXPECT_EQ(RenderScreen(session_.screen), "");
}

}  // namespace
}  // namespace lotrix::testing
