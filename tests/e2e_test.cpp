// The real program, end to end: at a terminal, with entries from a pipe, and with no
// terminal at all.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/wait.h>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "e2e_support.hpp"

namespace lotrix::testing {
namespace {

class EndToEnd : public ::testing::Test {
  protected:
    void TearDown() override { Close(session_); }
    TempDir dir_;
    PtySession session_;
};

TEST_F(EndToEnd, PipedEntriesAtATerminalGiveTheExactTranscriptAndRecord) {
    session_ = StartUnderPty("3\n5\n1\n1\n");
    PressClosingKey(session_, "k");
    ASSERT_TRUE(WaitForExit(session_));
    EXPECT_TRUE(WIFEXITED(*session_.status) && WEXITSTATUS(*session_.status) == 0);
    const std::string expectedTail =
        kCountPrompt + kSeedModePrompt + kSeedPrompt + kRunning + "\n\n" + SummaryStart(5);
    EXPECT_EQ(session_.screen.substr(0, kOpening.size()), kOpening) << session_.screen;
    EXPECT_NE(session_.screen.find(expectedTail), std::string::npos) << session_.screen;
    EXPECT_EQ(session_.screen.substr(session_.screen.size() - kClosing.size()), kClosing);
    const std::string record = ReadFile("lotrix20.txt");
    EXPECT_EQ(record.substr(0, record.find("sono stati")),
              "seme = 1;  numeri da generare = 5\n(interi tra 0 e 2.147.483.647)\n\n"
              "       16807\n   282475249\n  1622650073\n   984943658\n  1144108930\n");
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
}

TEST_F(EndToEnd, EntriesTypedAtTheTerminal) {
    session_ = StartUnderPty(std::nullopt);
    ASSERT_TRUE(WaitForScreen(session_, "POI PREMI INVIO...  "));
    Type(session_, "3\r");
    ASSERT_TRUE(WaitForScreen(session_, "generare e poi premi invio...  "));
    Type(session_, "4\r");
    ASSERT_TRUE(WaitForScreen(session_, "digita 2 e poi premi invio...  "));
    Type(session_, "1\r");
    ASSERT_TRUE(WaitForScreen(session_, "2.147.483.647)...  "));
    Type(session_, "2\r");
    ASSERT_TRUE(WaitForScreen(session_, kClosing)) << session_.screen;
    EXPECT_NE(session_.screen.find("sono stati generati 4 numeri casuali in "), std::string::npos);
    // The closing wait takes one key, without Enter and without echo.
    PressClosingKey(session_, "z");
    ASSERT_TRUE(WaitForExit(session_));
    EXPECT_EQ(session_.screen.substr(session_.screen.size() - kClosing.size()), kClosing);
    EXPECT_TRUE(WIFEXITED(*session_.status) && WEXITSTATUS(*session_.status) == 0);
    EXPECT_EQ(ReadFile("lotrix20.txt").substr(0, 100).find("seme = 2;  numeri da generare = 4\n"),
              0u);
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
}

TEST_F(EndToEnd, AnErrorPathClosesWithoutAFile) {
    session_ = StartUnderPty("4\n7\n7\n");
    PressClosingKey(session_, "\r");
    EXPECT_NE(session_.screen.find("O UGUALE A QUELLO SUPERIORE\n"), std::string::npos);
    ASSERT_TRUE(WaitForExit(session_));
    EXPECT_TRUE(WIFEXITED(*session_.status) && WEXITSTATUS(*session_.status) == 0);
    EXPECT_FALSE(std::filesystem::exists("lotrix20.txt"));
}

TEST_F(EndToEnd, EveryErrorPathOfTheRealProgramClosesWithoutAFile) {
    const std::string& choiceError = kChoiceError;
    const std::string& intervalError = kIntervalError;
    const std::string& widthError = kWidthError;
    const std::pair<const char*, std::string> paths[] = {
        {"0\n", choiceError},
        {"5\n", choiceError},
        {"a\n", choiceError},
        {"4\n3\n3\n", intervalError},
        {"4\n3\n-3\n", intervalError},
        {"4\nx\n", intervalError},
        {"4\n-2\n2147483646\n", widthError},
        {"3\n0\n", choiceError},
        {"4\n1\n2\n-1\n", choiceError},
        {"3\n9\n7\n", choiceError},
        {"3\n9\n1\n0\n", choiceError},
        {"3\n9\n1\n-9\n", choiceError},
        {"3\n9\n1\n", choiceError},
    };
    for (const auto& [input, said] : paths) {
        const DetachedRun run = RunDetached(input);
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << input;
        EXPECT_EQ(run.output.substr(run.output.size() - said.size() - kClosing.size()),
                  said + kClosing)
            << input;
        EXPECT_FALSE(std::filesystem::exists("lotrix20.txt")) << input;
    }
}

TEST_F(EndToEnd, AKeyTypedBeforeTheRunMeansNoNumbers) {
    // Typed ahead at the terminal, after the entries that come from the pipe.
    session_ = StartUnderPty(std::nullopt);
    Type(session_, "3\r2000000000\r1\r9\rx");
    ASSERT_TRUE(WaitForScreen(session_, kClosing)) << session_.screen;
    EXPECT_NE(session_.screen.find("sono stati generati 0 numeri casuali in "), std::string::npos)
        << session_.screen;
    PressClosingKey(session_, "k");
    ASSERT_TRUE(WaitForExit(session_));
    ExpectChoiceThreeRecord("lotrix20.txt", 9, 0, "2000000000");
}

TEST_F(EndToEnd, AKeyDuringARunStopsItAndBothSummariesAgree) {
    session_ = StartUnderPty("3\n2000000000\n1\n1\n");
    WaitForRun(session_);
    Type(session_, "q");
    ASSERT_TRUE(WaitForScreen(session_, kClosing, 20s)) << session_.screen;
    const std::int64_t shown = ReportedCount(session_.screen);
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, 2000000000);
    PressClosingKey(session_, "w");
    ASSERT_TRUE(WaitForExit(session_));
    EXPECT_TRUE(WIFEXITED(*session_.status) && WEXITSTATUS(*session_.status) == 0);
    ExpectChoiceThreeRecord("lotrix20.txt", 1, shown, "2000000000");
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
}

// Two keys in one burst: a cursor key's two codes, or a byte that cannot continue the
// character its lead byte began (0xC3 then '(': two keys, not one).
TEST_F(EndToEnd, ACursorKeyOrABrokenCharacterStopsTheRunAndItsSecondKeyEndsTheClosingWait) {
    for (const char* keys : {"\x1b[A", "\xc3("}) {
        std::filesystem::remove("lotrix20.txt");
        session_ = StartUnderPty("3\n2000000000\n1\n1\n");
        WaitForRun(session_);
        Type(session_, keys);
        ASSERT_TRUE(WaitForExit(session_, 20s)) << session_.screen;  // no further key is needed
        EXPECT_TRUE(WIFEXITED(*session_.status) && WEXITSTATUS(*session_.status) == 0);
        const std::int64_t shown = ReportedCount(session_.screen);
        EXPECT_GT(shown, 0);
        ExpectChoiceThreeRecord("lotrix20.txt", 1, shown, "2000000000");
        EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
        Close(session_);
    }
}

// Ctrl+S and Ctrl+Q are keys, not flow control; a character of several bytes (è) is one
// key, during the run and at the closing wait, and leaves no byte behind for the shell.
TEST_F(EndToEnd, CtrlSAndAKeyOfSeveralBytesAreOneKeyLikeAnyOther) {
    for (const char* key : {"\x13", "\xc3\xa8"}) {
        std::filesystem::remove("lotrix20.txt");
        session_ = StartUnderPty(kLongRun);
        WaitForRun(session_);
        Type(session_, key);
        ASSERT_TRUE(WaitForScreen(session_, kClosing, 20s)) << session_.screen;
        ASSERT_TRUE(WaitForKeyMode(session_, KeyMode::closingWait));
        std::this_thread::sleep_for(100ms);
        int status = 0;
        EXPECT_EQ(::waitpid(session_.pid, &status, WNOHANG), 0) << "a byte of the key was left";
        Type(session_, "\xc3\xa8");
        ASSERT_TRUE(WaitForExit(session_));
        EXPECT_TRUE(Exited(session_.status, 0));
        int unread = -1;
        EXPECT_EQ(::ioctl(session_.slave, FIONREAD, &unread), 0);
        EXPECT_EQ(unread, 0);
        ExpectChoiceThreeRecord("lotrix20.txt", 1, ReportedCount(session_.screen), "2000000000");
        Close(session_);
    }
}

// Ctrl+D at the start of an entry typed at the terminal ends that entry only: the lower
// bound keeps its 0 and the next prompt waits for a line of its own.
TEST_F(EndToEnd, EndOfInputTypedAtTheTerminalEndsThatEntryOnly) {
    session_ = StartUnderPty(std::nullopt);
    Type(session_,
         "4\r\x04"
         "5\r3\r1\r1\r");
    PressClosingKey(session_, "k");
    ASSERT_TRUE(WaitForExit(session_));
    const std::string head =
        "seme = 1;  numeri da generare = 3\n(interi tra -2.147.483.648 e +2.147.483.647)\n"
        "intervallo scelto: da +0 a +5\n\n";
    EXPECT_EQ(ReadFile("lotrix20.txt").substr(0, head.size()), head);
}

TEST_F(EndToEnd, WithoutATerminalTheProgramRunsAndEndsByItself) {
    const DetachedRun run = RunDetached("3\n1000\n1\n1\n");
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
    EXPECT_NE(run.output.find("sono stati generati 1000 numeri casuali in "), std::string::npos);
    EXPECT_EQ(run.output.substr(run.output.size() - kClosing.size()), kClosing);
    ExpectChoiceThreeRecord("lotrix20.txt", 1, 1000, "1000");
    // And an error path, with standard input ending early.
    const DetachedRun error = RunDetached("3\n");
    EXPECT_TRUE(WIFEXITED(error.status) && WEXITSTATUS(error.status) == 0);
    EXPECT_NE(error.output.find("NON E' CORRETTA\n"), std::string::npos);
}

TEST_F(EndToEnd, EveryChoiceWritesItsExactRecord) {
    for (const auto& [input, body] : kGoldenRecords) {
        std::filesystem::remove("lotrix20.txt");
        const DetachedRun run = RunDetached(input);
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << input;
        const std::string record = ReadFile("lotrix20.txt");
        EXPECT_EQ(record.substr(0, record.find(SummaryStart(5))), SeedLine(1, 5) + body) << input;
    }
}

TEST_F(EndToEnd, AWideIntervalRunIsAsQuickAsAnyOther) {
    // Width 2^30 + 1: each number once cost up to a billion comparisons.
    const auto start = std::chrono::steady_clock::now();
    const DetachedRun run = RunDetached("4\n0\n1073741824\n2000000\n1\n2147483646\n");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
    EXPECT_LT(took, 20s);  // about 0.1 s here; the old way took hours
    const std::string record = ReadFile("lotrix20.txt");
    const auto summary = record.find("sono stati generati 2000000 numeri");
    ASSERT_NE(summary, std::string::npos);
    const std::int64_t r = NthValue(2147483646, 2000000);
    EXPECT_EQ(std::stoll(record.substr(summary - 13, 13)), (1073741825LL * r) / 2147483647LL);
}

}  // namespace
}  // namespace lotrix::testing
