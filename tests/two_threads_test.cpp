// A long run into a regular file on two threads, in-process: the same record as on one
// thread for every row, whichever thread made each share; on Linux, a write that fails on
// either thread (a file-size limit, which a thread with its signals blocked meets as an
// error) still leaves whole lines of the record only, and is said; a stop request mid-run
// leaves the first numbers of the sequence, in order, and counts them. Its endings at once:
// prompt, and never a line cut by the other thread's write.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <pthread.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "dialogue_support.hpp"
#include "generators/minimal_standard.hpp"
#include "platform/results_file.hpp"
#include "platform/terminal.hpp"
#include "run/run.hpp"
#include "run/two_threads.hpp"
#include "texts.hpp"

namespace lotrix::testing {
namespace {

// Each row over some eighteen shares, the last one part-filled.
const std::string kEntries[] = {"1\n700001\n1\n1\n", "2\n350003\n1\n1\n", "3\n700001\n1\n1\n",
                                "4\n-5\n70000\n700001\n1\n1\n"};
const std::string& kChoiceThree = kEntries[2];

// The processor checks a test chooses one or two threads with: a processor always free,
// never, or from the second look on (the run then starts on one thread).
int g_looks = 0;
bool AlwaysFree() {
    return true;
}
bool NeverFree() {
    return false;
}
bool FreeFromSecondLook() {
    return g_looks++ > 0;
}

class TwoThreadsTest : public ::testing::Test {
  protected:
    // The record as one thread writes it; the file is left absent for the run on two.
    std::string Alone(const std::string& entries) {
        std::filesystem::remove("lotrix20.txt");
        UseProcessorCheck(NeverFree);
        const std::string record = RunDialogueWith(entries).record;
        EXPECT_EQ(SecondThreadShares(), 0);
        std::filesystem::remove("lotrix20.txt");
        UseProcessorCheck(AlwaysFree);
        return record;
    }
    void TearDown() override { UseProcessorCheck(nullptr); }
    TempDir dir_;
};

TEST_F(TwoThreadsTest, WritesTheSameRecordForEveryRowFromTheStartOrLater) {
    for (const std::string& entries : kEntries) {
        const std::string alone = Alone(entries);
        ASSERT_GT(alone.size(), 3'000'000u) << "not a record of many shares: " << entries;
        for (const ProcessorCheck check : {AlwaysFree, FreeFromSecondLook}) {
            std::filesystem::remove("lotrix20.txt");
            UseProcessorCheck(check);
            g_looks = 0;
            const DialogueOutcome twoThreads = RunDialogueWith(entries);
            EXPECT_EQ(twoThreads.status, 0) << entries;
            EXPECT_TRUE(twoThreads.record == alone) << "the records differ: " << entries;
#if !defined(__i386__)  // 32-bit x86 makes every number on one thread
            EXPECT_GE(SecondThreadShares(), 4) << "the second thread wrote too little: " << entries;
#endif
        }
    }
}

// A draw without repeats: its shares are the plain sequence's draws, sifted in turn. The
// same numbers as on one thread, whichever share the last one falls in: a tenth of the
// values, and every value (the last shares mostly repeats).
TEST_F(TwoThreadsTest, DrawsWithoutRepeatsTheSameNumbers) {
    const auto numbers = [](std::int32_t upper, std::int32_t count, ProcessorCheck check) {
        std::filesystem::remove("lotrix20.txt");
        UseProcessorCheck(check);
        RecordOptions options;
        options.numbersOnly = true;
        options.keysStop = false;
        options.distinct = true;
        RunSettings settings{4, 1, upper, count, kSeedTyped, 5};
        RunTally tally{};
        EXPECT_EQ(WriteRecord(options, settings, tally), RecordOutcome::written);
        ReleaseStopRequests();
        EXPECT_EQ(tally.written, settings.count) << upper;
        return ReadFile("lotrix20.txt");
    };
    for (const auto& [upper, count] : {std::pair{10'000'000, 1'000'000}, {300'000, 300'000}}) {
        const std::string alone = numbers(upper, count, NeverFree);
        EXPECT_EQ(SecondThreadShares(), 0);
        EXPECT_TRUE(numbers(upper, count, AlwaysFree) == alone) << "they differ: 1.." << upper;
#if !defined(__i386__)  // 32-bit x86 makes every number on one thread
        EXPECT_GE(SecondThreadShares(), 4) << "the second thread wrote too little: " << upper;
#endif
    }
}

#if !defined(_WIN32)  // a file-size limit and a signal to one thread
TEST_F(TwoThreadsTest, TakesBackAFailedWriteOnEitherThreadAndSaysIt) {
#if defined(LOTRIX_UNDER_EMULATOR)
    GTEST_SKIP() << "an emulator restarts a write that a file-size limit refuses";
#endif
    const std::string alone = Alone(kChoiceThree);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    // Mid-share: in the second share (the second thread's) and in the third (the first's).
    for (const rlim_t limit : {rlim_t{kFileBuffer * 3 / 2 + 5}, rlim_t{kFileBuffer * 5 / 2 + 5}}) {
        std::filesystem::remove("lotrix20.txt");
        const rlimit cap{limit, before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &cap);
        const auto kept = ::signal(SIGXFSZ, SIG_IGN);  // as the program has it: the write fails
        const DialogueOutcome failed = RunDialogueWith(kChoiceThree);
        ::signal(SIGXFSZ, kept);
        ::setrlimit(RLIMIT_FSIZE, &before);
        EXPECT_NE(failed.status, 0) << limit;
        EXPECT_NE(failed.console.find("ERRORE DI SCRITTURA"), std::string::npos) << limit;
        ASSERT_FALSE(failed.record.empty()) << limit;
        EXPECT_LE(failed.record.size(), limit);
        EXPECT_GT(failed.record.size(), limit - 13) << "lines before the limit are missing";
        EXPECT_EQ(failed.record.back(), '\n') << limit;
        EXPECT_EQ(alone.compare(0, failed.record.size(), failed.record), 0) << limit;
    }
}

// In a child process: a run of choice 3 on two threads, sent `signal` on its main thread
// once the file holds `bytes`. With `lingering`, the child gives up that long after the
// signal (status 3): the ending lingered.
void RunSignalledAfter(std::uintmax_t bytes, int signal, int count,
                       std::chrono::milliseconds lingering = std::chrono::milliseconds(0)) {
    InstallStopHandlers();
    UseProcessorCheck(AlwaysFree);
    std::thread([run = ::pthread_self(), bytes, signal, lingering] {
        std::error_code none;
        while (std::filesystem::file_size("lotrix20.txt", none) < bytes || none)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        ::pthread_kill(run, signal);
        if (lingering.count() == 0) return;
        std::this_thread::sleep_for(lingering);
        std::_Exit(3);
    }).detach();
    (void)RunDialogueWith("3\n" + std::to_string(count) + "\n1\n1\n");
}

TEST_F(TwoThreadsTest, AStopMidRunKeepsTheFirstNumbersInOrderAndCountsThem) {
#if defined(__i386__)
    GTEST_SKIP() << "the emulator of this build starts no thread";
#endif
    constexpr int kCount = 20'000'000;
    // In a child process, which the request ends once the record is complete.
    EXPECT_EXIT(RunSignalledAfter(2'000'000, SIGTERM, kCount), ::testing::KilledBySignal(SIGTERM),
                "");

    const std::string record = FromPlatformLines(ReadFile("lotrix20.txt"));
    const std::size_t numbersAt = SeedLine(1, kCount).size() + kHeader3.size();
    const std::size_t summaryAt = record.find("sono stati generati ");
    ASSERT_NE(summaryAt, std::string::npos) << "no summary";
    const long long written = std::stoll(record.substr(summaryAt + 20));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, kCount) << "the stop came after the run";
    ASSERT_EQ(summaryAt, numbersAt + 13 * static_cast<std::size_t>(written)) << written;
    SeedMinimalStandard(1);
    std::string expected;
    for (long long n = 0; n < written; ++n) {
        char line[16];
        std::snprintf(line, sizeof line, "%12d\n", NextMinimalStandard());
        expected += line;
    }
    EXPECT_TRUE(record.compare(numbersAt, expected.size(), expected) == 0) << "numbers astray";
}

// Ctrl+\ (or a fault, or a held request's deadline) ends the process at once: the write the
// handler interrupted on the main thread is not waited for, only the second thread's under
// way, so the ending takes milliseconds, never the second a wait for its own write would.
TEST_F(TwoThreadsTest, QuittingDuringARunOnTwoThreadsEndsAtOnce) {
#if defined(__i386__)
    GTEST_SKIP() << "the emulator of this build starts no thread";
#endif
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::filesystem::remove("lotrix20.txt");
        EXPECT_EXIT(
            RunSignalledAfter(20'000'000, SIGQUIT, 100'000'000, std::chrono::milliseconds(400)),
            ::testing::KilledBySignal(SIGQUIT), "")
            << attempt;
    }
}

// A fault raised on the second thread (a vector path the processor lacks would raise SIGILL
// there) runs the handler there, which gives the terminal its mode back.
std::thread::id g_mainThread;
std::int32_t FaultOnTheSecondThread(char*& out, std::int32_t count, const RunSettings& settings,
                                    const StopFlag& stop) {
    if (std::this_thread::get_id() != g_mainThread) __builtin_trap();
    return ModeFor(3).makeLines(out, count, settings, stop);
}

// At `terminal`, the process's terminal from now on: a run whose second thread faults.
void RunFaultingOnTheSecondThread(int terminal) {
    ::setsid();
    ::ioctl(terminal, TIOCSCTTY, 0);
    TerminalDisable(false);
    InstallStopHandlers();
    UseProcessorCheck(AlwaysFree);
    g_mainThread = std::this_thread::get_id();
    ModeEntry faulty = ModeFor(3);
    faulty.makeLines = FaultOnTheSecondThread;
    RunSettings settings;
    settings.choice = 3;
    settings.count = 10'000'000;
    settings.seed = 1;
    RunTally tally;
    if (!OpenAppend("lotrix20.txt") || FileTakeTurn() != FileTurn::taken) std::_Exit(4);
    BeginKeyPoll();
    termios polling{};
    ::tcgetattr(terminal, &polling);
    if ((polling.c_lflag & ECHO) != 0) std::_Exit(5);  // the run's mode, without echo
    StartSequence(faulty, settings, 0);
    RunLoop(faulty, settings, settings.count, tally);
    std::_Exit(6);
}

// The fault a processor raises for a trap instruction: SIGILL on x86, SIGTRAP on ARM,
// SIGFPE on s390x.
bool KilledByTheTrap(int status) {
    const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return signal == SIGILL || signal == SIGTRAP || signal == SIGFPE;
}

TEST_F(TwoThreadsTest, AFaultOnTheSecondThreadStillRestoresTheTerminal) {
#if defined(__i386__)
    GTEST_SKIP() << "the emulator of this build starts no thread";
#endif
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios before{};
    ::tcgetattr(slave, &before);
    EXPECT_EXIT(RunFaultingOnTheSecondThread(slave), KilledByTheTrap, "");
    termios after{};
    ::tcgetattr(slave, &after);
    EXPECT_NE(after.c_lflag & ECHO, 0u) << "the terminal was left without echo";
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    ::close(master);
    ::close(slave);
}

// Under a container's quota of one processor a run stays on one thread, however many
// processors it may run on. Needs a control group of its own (root, a writable hierarchy).
void RunUnderAQuotaOfOneProcessor(const std::filesystem::path& group, bool v2) {
    if (v2) {
        WriteFile(group / "cpu.max", "100000 100000");
    } else {
        WriteFile(group / "cpu.cfs_period_us", "100000");
        WriteFile(group / "cpu.cfs_quota_us", "100000");
    }
    WriteFile(group / "cgroup.procs", std::to_string(::getpid()));
    UseProcessorCheck(AlwaysFree);
    const DialogueOutcome run = RunDialogueWith(kChoiceThree);
    std::_Exit(run.status == 0 && SecondThreadShares() == 0 ? 0 : 1);
}

TEST_F(TwoThreadsTest, AQuotaOfOneProcessorKeepsARunOnOneThread) {
#if defined(__i386__)
    GTEST_SKIP() << "the emulator of this build hangs in a child process of a test";
#endif
    const bool v2 = std::filesystem::exists("/sys/fs/cgroup/cgroup.controllers");
    const std::filesystem::path group =
        std::filesystem::path(v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/cpu") /
        ("lotrix-test-" + std::to_string(::getpid()));
    std::error_code refused;
    if (!std::filesystem::create_directory(group, refused))
        GTEST_SKIP() << "no control group of its own can be made here: " << refused.message();
    EXPECT_EXIT(RunUnderAQuotaOfOneProcessor(group, v2), ::testing::ExitedWithCode(0), "");
    std::filesystem::remove(group, refused);
}

// An alarm sent by another process while a stop request is held is one more stop request,
// not the program's own deadline: the record is still completed.
TEST(Endings, AnAlarmFromOutsideIsNotTheDeadline) {
#if defined(__i386__)
    GTEST_SKIP() << "the emulator of this build hangs in a child process of a test";
#endif
    EXPECT_EXIT(
        {
            InstallStopHandlers();
            HoldStopRequests();
            ::kill(::getpid(), SIGTERM);
            ::kill(::getpid(), SIGALRM);
            ::alarm(0);
            std::_Exit(HeldStopRequest() == StopRequest::terminate ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

// An ending from another thread (on Windows, a console's stop request) lets the main
// thread's write under way finish: the file the ending leaves is the file at its return.
std::atomic<int> g_flushing{0};

void EndWhileTheMainThreadWrites() {
    if (!OpenAppend("lotrix20.txt") || FileTakeTurn() != FileTurn::taken) std::_Exit(4);
    std::uintmax_t sizeAtEnding = 0;
    std::thread ending([&sizeAtEnding] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (g_flushing.load() == 0) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(50));  // into the write
        FileHaltWrites();
        sizeAtEnding = std::filesystem::file_size("lotrix20.txt");
    });
    for (bool written = true; written;) {  // buffers of lines until no write begins
        const FileSpan space = FileFreeSpace(kFileBuffer);
        char* out = space.begin;
        while (space.end - out > 13) {
            std::memcpy(out, "123456789012\n", 13);
            out += 13;
        }
        FileCommit(out);
        g_flushing.store(1);
        written = FileFlush();
        g_flushing.store(0);
    }
    ending.join();
    const std::string file = ReadFile("lotrix20.txt");
    std::_Exit(file.size() == sizeAtEnding && file.size() % 13 == 0 ? 0 : 1);
}

TEST(Endings, AnEndingFromAnotherThreadLetsTheMainThreadsWriteFinish) {
#if defined(__i386__) && !defined(_WIN32)
    GTEST_SKIP() << "the emulator of this build starts no thread";
#endif
    TempDir dir;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::filesystem::remove("lotrix20.txt");
        EXPECT_EXIT(EndWhileTheMainThreadWrites(), ::testing::ExitedWithCode(0), "") << attempt;
    }
}

}  // namespace
}  // namespace lotrix::testing
