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
        {"-c", "3", "-n", "5", "-s", "0"},
        {"-c", "3", "-n", "5", "-s", "1", "-l", "1", "-u", "2"},
        {"-c", "4", "-n", "5", "-s", "1", "-l", "1"},
        {"-c", "4", "-n", "5", "-s", "1", "-l", "2", "-u", "2"},
        {"-c", "4", "-n", "5", "-s", "1", "-l", "-1", "-u", "2147483646"},
        {"-c", "3", "-n", "5", "-s", "1", "stray"},
        {"-c", "3", "-n", "5", "-s", "1", "-o", ""},
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

// A long run at a terminal shows its progress, then leaves the very screen a run without
// progress leaves; a batch run shows it on standard error and takes it away too.
TEST_F(CommandLine, ProgressIsShownOnALongRunAndTakenAwayBeforeTheSummary) {
    std::filesystem::create_symlink("/dev/null", "lotrix20.txt");
    const auto aTerminal = [] { ::setenv("TERM", "xterm", 1); };
    session_ = StartUnderPty(kLongRun, {.setup = aTerminal});
    WaitForRun(session_);
    ASSERT_TRUE(WaitForScreen(session_, "% completato, ", 10s)) << session_.screen;
    Type(session_, "q");
    PressClosingKey(session_, "k");
    ASSERT_TRUE(WaitForExit(session_));
    const std::size_t summary = session_.screen.rfind(SummaryStart(0).substr(0, 20));
    ASSERT_NE(summary, std::string::npos);
    const std::string summaryLine =
        session_.screen.substr(summary, session_.screen.find('\n', summary) - summary);
    EXPECT_EQ(RenderScreen(session_.screen), kOpening + kCountPrompt + kSeedModePrompt +
                                                 kSeedPrompt + kRunning + "\n\n" + summaryLine +
                                                 "\n" + kClosing);
    Close(session_);
    session_ = StartUnderPty(std::nullopt, {.setup = aTerminal,
                                            .arguments = {"-c", "2", "-n", "2000000000", "-s", "1",
                                                          "--progress", "-o", "lotrix20.txt"}});
    ASSERT_TRUE(WaitForScreen(session_, "% completato, ", 10s)) << session_.screen;
    ::kill(session_.pid, SIGINT);
    ASSERT_TRUE(WaitForExit(session_, 20s));
    EXPECT_TRUE(KilledBy(session_.status, SIGINT));
    EXPECT_EQ(RenderScreen(session_.screen), "");
}

}  // namespace
}  // namespace lotrix::testing
