// A long run into a regular file on two threads, in-process: the same record as on one
// thread for every row, whichever thread made each block; on Linux, a write that fails on
// either thread (a file-size limit, which a thread with its signals blocked meets as an
// error) still leaves whole lines of the record only, and is said; a stop request mid-run
// leaves the first numbers of the sequence, in order, and counts them.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <pthread.h>
#include <sys/resource.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "dialogue_support.hpp"
#include "generators/minimal_standard.hpp"
#include "platform/results_file.hpp"
#include "texts.hpp"

namespace lotrix::testing {
namespace {

// Each row over some eighteen blocks, the last one part-filled.
const std::string kEntries[] = {"1\n700001\n1\n1\n", "2\n350003\n1\n1\n", "3\n700001\n1\n1\n",
                                "4\n-5\n70000\n700001\n1\n1\n"};
const std::string& kChoiceThree = kEntries[2];

class WriterThreadTest : public ::testing::Test {
  protected:
    // The record as one thread writes it; the file is left absent for the run on two.
    std::string Alone(const std::string& entries) {
        std::filesystem::remove("lotrix20.txt");
        UseWriterThread(WriterThread::never);
        const std::string record = RunDialogueWith(entries).record;
        std::filesystem::remove("lotrix20.txt");
        UseWriterThread(WriterThread::always);
        return record;
    }
    void TearDown() override { UseWriterThread(WriterThread::whenFree); }
    TempDir dir_;
};

TEST_F(WriterThreadTest, WritesTheSameRecordForEveryRowFromTheStartOrLater) {
    for (const std::string& entries : kEntries) {
        const std::string alone = Alone(entries);
        ASSERT_GT(alone.size(), 3'000'000u) << "not a record of many blocks: " << entries;
        for (const WriterThread when : {WriterThread::always, WriterThread::fromSecondLook}) {
            std::filesystem::remove("lotrix20.txt");
            UseWriterThread(when);
            const DialogueOutcome beside = RunDialogueWith(entries);
            EXPECT_EQ(beside.status, 0) << entries;
            EXPECT_TRUE(beside.record == alone)
                << "the records differ: " << entries << static_cast<int>(when);
        }
    }
}

#if !defined(_WIN32)  // a file-size limit and a signal to one thread
TEST_F(WriterThreadTest, TakesBackAFailedWriteOnEitherThreadAndSaysIt) {
#if defined(LOTRIX_UNDER_EMULATOR)
    GTEST_SKIP() << "an emulator restarts a write that a file-size limit refuses";
#endif
    const std::string alone = Alone(kChoiceThree);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    // Mid-block: in the second block (the second thread's) and in the third (the first's).
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

TEST_F(WriterThreadTest, AStopMidRunKeepsTheFirstNumbersInOrderAndCountsThem) {
#if defined(__i386__)
    GTEST_SKIP() << "the emulator of this build starts no thread";
#endif
    constexpr auto kCount = 20'000'000;
    UseWriterThread(WriterThread::always);
    // In a child process, which the request ends once the record is complete.
    EXPECT_EXIT(
        {
            InstallStopHandlers();
            std::thread([run = ::pthread_self()] {
                using namespace std::chrono_literals;
                std::error_code none;
                while (std::filesystem::file_size("lotrix20.txt", none) < 2'000'000 || none)
                    std::this_thread::sleep_for(100us);
                ::pthread_kill(run, SIGTERM);  // a few blocks in
            }).detach();
            (void)RunDialogueWith("3\n" + std::to_string(kCount) + "\n1\n1\n");
        },
        ::testing::KilledBySignal(SIGTERM), "");

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
#endif

}  // namespace
}  // namespace lotrix::testing
