// Hostile but ordinary surroundings: closed standard streams, a full disk, a file-size
// limit, a FIFO, signals inherited as ignored, and a shell moving the job between the
// background and the foreground.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "e2e_support.hpp"

namespace lotrix::testing {
namespace {

using SteadyClock = std::chrono::steady_clock;

const std::string kLongRunHead = SeedLine(1, 2000000000) + kHeader3;

// A long run's record cut short by a failed write: its head and whole number lines only,
// each the next value of the sequence.
void ExpectWholeLinesOnly(const std::string& record) {
    ASSERT_EQ(record.compare(0, kLongRunHead.size(), kLongRunHead), 0) << record.substr(0, 100);
    const std::size_t body = record.size() - kLongRunHead.size();
    EXPECT_EQ(body % 13, 0u) << "torn line: '" << record.substr(record.size() - body % 13) << "'";
    const auto lines = static_cast<std::int64_t>(body / 13);
    ASSERT_GT(lines, 0);
    EXPECT_EQ(std::stoll(record.substr(kLongRunHead.size() + 13 * (lines - 1), 13)),
              NthValue(1, lines));
}

class Surroundings : public ::testing::Test {
  protected:
    void TearDown() override { Close(session_); }
    TempDir dir_;
    PtySession session_;
};

TEST_F(Surroundings, AClosedStandardOutputLeavesTheRecordExactlyTheRecord) {
    const DetachedRun run = RunDetached("3\n5\n1\n1\n", 20s, [] { ::close(STDOUT_FILENO); });
    EXPECT_TRUE(Exited(run.status, 0));
    ExpectChoiceThreeRecord("lotrix20.txt", 1, 5, "5");
}

TEST_F(Surroundings, AFullDiskKeepsWholeLinesAndSaysSo) {
    if (::geteuid() != 0) GTEST_SKIP() << "a small file system can be mounted only by root";
    std::filesystem::create_directory("small");
    if (::mount("tmpfs", "small", "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "tmpfs could not be mounted: " << std::strerror(errno);
    }
    std::filesystem::current_path("small");
    const DetachedRun run = RunDetached(kLongRun);
    const std::string record = ReadFile("lotrix20.txt");
    std::filesystem::current_path(dir_.path());
    ::umount2("small", MNT_DETACH);
    EXPECT_TRUE(Exited(run.status, 1));
    EXPECT_TRUE(EndsWith(run.output, kWriteError + kClosing)) << run.output;
    ExpectWholeLinesOnly(record);
}

TEST_F(Surroundings, ARecordStartsOnALineOfItsOwnAfterATornLine) {
    std::ofstream("lotrix20.txt") << "   89";  // what a killed program may have left
    ASSERT_TRUE(Exited(RunDetached("3\n1\n1\n7\n").status, 0));
    EXPECT_EQ(ReadFile("lotrix20.txt").substr(0, 40), "   89\nseme = 7;  numeri da generare = 1\n");
}

TEST_F(Surroundings, AFileSizeLimitFailsTheWriteKeepsWholeLinesAndRestoresTheTerminal) {
    session_ = StartUnderPty(kLongRun, {.setup = [] {
                                 const rlimit limit{100 * 1024, 100 * 1024};
                                 ::setrlimit(RLIMIT_FSIZE, &limit);
                             }});
    PressClosingKey(session_, "k");
    ASSERT_TRUE(WaitForExit(session_));
    EXPECT_TRUE(Exited(session_.status, 1));
    EXPECT_NE(session_.screen.find(kWriteError + kClosing), std::string::npos) << session_.screen;
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
    EXPECT_LE(std::filesystem::file_size("lotrix20.txt"), 100u * 1024);
    ExpectWholeLinesOnly(ReadFile("lotrix20.txt"));
}

TEST_F(Surroundings, AFifoCannotHoldTheProgram) {
    ASSERT_EQ(::mkfifo("lotrix20.txt", 0600), 0);
    // Without a reader it cannot be opened, and the program says so at once.
    const DetachedRun alone = RunDetached("3\n5\n1\n1\n", 5s);
    EXPECT_TRUE(Exited(alone.status, 1));
    EXPECT_NE(alone.output.find(kOpenError), std::string::npos);
    // With a reader that never reads, the first block fills the pipe and the write waits;
    // a stop signal still ends the program within about a second.
    const int reader = ::open("lotrix20.txt", O_RDONLY | O_NONBLOCK);
    session_ = StartUnderPty(kLongRun);
    ASSERT_TRUE(WaitForScreen(session_, kRunning));
    int queued = 0;  // the program's first block has reached the pipe
    while (::ioctl(reader, FIONREAD, &queued) == 0 && queued == 0) {
        std::this_thread::sleep_for(1ms);
    }
    const auto stopped = SteadyClock::now();
    ::kill(session_.pid, SIGTERM);
    ASSERT_TRUE(WaitForExit(session_, 10s));
    EXPECT_LT(SteadyClock::now() - stopped, 8s);  // a second, with room for a loaded machine
    EXPECT_TRUE(KilledBy(session_.status, SIGTERM));
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
    ::close(reader);
}

// A signal ignored at start (nohup) stays ignored; the signals the program relies on work
// even when the parent left them blocked.
TEST_F(Surroundings, ASignalIgnoredAtStartStaysIgnoredAndBlockedOnesAreUnblocked) {
    std::filesystem::create_symlink("/dev/null", "lotrix20.txt");
    session_ = StartUnderPty(kLongRun, {.setup = [] {
                                 ::signal(SIGHUP, SIG_IGN);
                                 sigset_t blocked;
                                 sigemptyset(&blocked);
                                 sigaddset(&blocked, SIGIO);
                                 sigaddset(&blocked, SIGALRM);
                                 ::sigprocmask(SIG_BLOCK, &blocked, nullptr);
                             }});
    WaitForRun(session_);
    ::kill(session_.pid, SIGHUP);
    StopTheRunWithAKeyAndClose(session_);
}

TEST_F(Surroundings, ARunStartedInTheBackgroundTakesTheTerminalWhenBroughtToTheForeground) {
    std::filesystem::create_symlink("/dev/null", "lotrix20.txt");
    session_ = StartUnderPty(kLongRun, {.jobControl = true, .inBackground = true});
    ASSERT_TRUE(WaitForScreen(session_, kRunning));
    std::this_thread::sleep_for(100ms);  // numbers are being written, in the background
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
    ContinueJob(session_, JobCommand::toForeground);  // as bash's fg: no SIGCONT
    StopTheRunWithAKeyAndClose(session_);
}

TEST_F(Surroundings, AClosingWaitReachedInTheBackgroundTakesOneKeyInTheForeground) {
    std::filesystem::create_symlink("/dev/null", "lotrix20.txt");
    session_ = StartUnderPty("3\n30000000\n1\n1\n", {.jobControl = true});
    ASSERT_TRUE(WaitForScreen(session_, kRunning));
    Type(session_, "\x1a");  // Ctrl+Z, then bg: the run finishes in the background...
    ASSERT_TRUE(WaitForJobStop(session_));
    ContinueJob(session_, JobCommand::continueInBackground);
    ASSERT_TRUE(WaitForJobStop(session_, 60s));  // ...and its closing wait reads the terminal
    ContinueJob(session_);                       // fg
    ASSERT_TRUE(WaitForKeyMode(session_, KeyMode::closingWait));
    Type(session_, "k");
    ASSERT_TRUE(WaitForExit(session_));
    EXPECT_TRUE(Exited(session_.status, 0));
    EXPECT_EQ(ReportedCount(session_.screen), 30000000);
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
}

}  // namespace
}  // namespace lotrix::testing
