// What goes wrong around a run: a results file that cannot be opened or written, two
// programs appending at once, signals and suspension.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <termios.h>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "e2e_support.hpp"

namespace lotrix::testing {
namespace {

// The count the record's own summary line gives.
std::int64_t RecordedCount(const std::string& path) {
    const std::string record = ReadFile(path);
    return ReportedCount(record);
}

class Faults : public ::testing::Test {
  protected:
    void TearDown() override { Close(session_); }
    TempDir dir_;
    PtySession session_;
};

TEST_F(Faults, AResultsFileThatCannotBeOpenedIsSaidAndNothingIsWritten) {
    std::filesystem::create_directory("lotrix20.txt");
    const DetachedRun run = RunDetached("3\n5\n1\n1\n");
    EXPECT_TRUE(Exited(run.status, 1));
    EXPECT_TRUE(EndsWith(run.output, kRunning + kOpenError + kClosing)) << run.output;
    EXPECT_TRUE(std::filesystem::is_empty("lotrix20.txt"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(Faults, AFailedWriteStopsTheRunAtOnceAndIsSaid) {
    std::filesystem::create_symlink("/dev/full", "lotrix20.txt");
    const std::string said = kWriteError + kClosing;
    // A long run stops at its first full buffer; a short one finds out as its record ends.
    for (const char* input : {kLongRun, "2\n5\n1\n1\n"}) {
        const auto start = std::chrono::steady_clock::now();
        const DetachedRun run = RunDetached(input);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_TRUE(Exited(run.status, 1)) << input;
        EXPECT_TRUE(EndsWith(run.output, kRunning + said)) << run.output;
        EXPECT_EQ(run.output.find("sono stati generati"), std::string::npos);
    }
}

TEST_F(Faults, TwoProgramsAppendingAtOnceLoseNothingAndTearNoLine) {
    constexpr int kEach = 1'000'000;
    DetachedRun first{}, second{};
    std::thread other([&] { second = RunDetached("3\n1000000\n1\n2\n"); });
    first = RunDetached("3\n1000000\n1\n1\n");
    other.join();
    ASSERT_TRUE(Exited(first.status, 0));
    ASSERT_TRUE(Exited(second.status, 0));
    // Every number line is the next value of one of the two sequences, in order.
    std::istringstream lines(ReadFile("lotrix20.txt"));
    std::minstd_rand0 fromOne(1), fromTwo(2);
    std::uint32_t nextOne = fromOne(), nextTwo = fromTwo();
    int ones = 0, twos = 0, others = 0;
    std::string line;
    char expected[16];
    while (std::getline(lines, line)) {
        std::snprintf(expected, sizeof expected, "%12u", nextOne);
        if (ones < kEach && line == expected) {
            nextOne = fromOne();
            ++ones;
            continue;
        }
        std::snprintf(expected, sizeof expected, "%12u", nextTwo);
        if (twos < kEach && line == expected) {
            nextTwo = fromTwo();
            ++twos;
            continue;
        }
        ++others;
        EXPECT_TRUE(line.empty() || line.rfind("seme = ", 0) == 0 ||
                    line.rfind("(interi", 0) == 0 ||
                    line.rfind("sono stati generati 1000000 numeri", 0) == 0)
            << "torn line: '" << line << "'";
    }
    EXPECT_EQ(ones, kEach);
    EXPECT_EQ(twos, kEach);
    EXPECT_EQ(others, 2 * 8);  // seed line, header and empty line, summary, four empty lines
}

// SIGINT (Ctrl+C), SIGTERM and SIGHUP during a run end it as a key would, the record is
// completed, and then the process ends by the signal, with the terminal as it was.
TEST_F(Faults, AStopSignalDuringARunCompletesTheRecordAndRestoresTheTerminal) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::filesystem::remove("lotrix20.txt");
        session_ = StartUnderPty(kLongRun);
        WaitForRun(session_);
        if (signal == SIGINT) {
            Type(session_, "\x03");  // Ctrl+C at the terminal
        } else {
            ::kill(session_.pid, signal);
        }
        ASSERT_TRUE(WaitForExit(session_, 20s)) << signal;
        EXPECT_TRUE(KilledBy(session_.status, signal)) << signal;
        const std::int64_t recorded = RecordedCount("lotrix20.txt");
        EXPECT_GT(recorded, 0) << signal;
        ExpectChoiceThreeRecord("lotrix20.txt", 1, recorded, "2000000000");
        if (signal == SIGHUP) {
            EXPECT_EQ(session_.screen.find("sono stati generati"), std::string::npos);
        } else {
            EXPECT_EQ(ReportedCount(session_.screen), recorded) << signal;
        }
        EXPECT_EQ(session_.screen.find(kClosing), std::string::npos) << signal;
        EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_))) << signal;
        Close(session_);
    }
}

TEST_F(Faults, QuittingDuringARunStillRestoresTheTerminal) {
    std::filesystem::create_symlink("/dev/null", "lotrix20.txt");
    session_ = StartUnderPty(kLongRun);
    WaitForRun(session_);
    Type(session_, "\x1c");  // Ctrl+\ at the terminal
    ASSERT_TRUE(WaitForExit(session_, 20s));
    EXPECT_TRUE(KilledBy(session_.status, SIGQUIT));
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
}

TEST_F(Faults, OutsideTheRunSignalsActAtOnceButTheTerminalIsRestored) {
    // At the closing wait the terminal is in raw mode: Ctrl+C there is a key...
    session_ = StartUnderPty("3\n5\n1\n1\n");
    PressClosingKey(session_, "\x03");
    ASSERT_TRUE(WaitForExit(session_));
    EXPECT_TRUE(Exited(session_.status, 0));
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
    Close(session_);
    // ...and SIGTERM ends the process, after putting the terminal's mode back.
    session_ = StartUnderPty("3\n5\n1\n1\n");
    ASSERT_TRUE(WaitForScreen(session_, kClosing));
    ASSERT_TRUE(WaitForKeyMode(session_, KeyMode::closingWait));
    ::kill(session_.pid, SIGTERM);
    ASSERT_TRUE(WaitForExit(session_));
    EXPECT_TRUE(KilledBy(session_.status, SIGTERM));
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
    EXPECT_NE(ReadFile("lotrix20.txt").find("sono stati generati 5 numeri"), std::string::npos);
}

TEST_F(Faults, ASuspendedRunGivesTheTerminalBackAndResumesWhereItWas) {
    std::filesystem::create_symlink("/dev/null", "lotrix20.txt");  // keeps the long run light
    session_ = StartUnderPty(kLongRun, {.jobControl = true});
    WaitForRun(session_);
    Type(session_, "\x1a");  // Ctrl+Z
    ASSERT_TRUE(WaitForJobStop(session_));
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
    ContinueJob(session_);
    // Back in the foreground the run takes its mode again and a key still stops it.
    StopTheRunWithAKeyAndClose(session_);
}

}  // namespace
}  // namespace lotrix::testing
