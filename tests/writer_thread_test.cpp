// The writes beside the numbers, on a second thread, in-process: the same record as
// without, and a write that fails there (a file-size limit, which that thread meets as an
// error, its signals blocked) still leaves whole lines of the record only, and is said.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "dialogue_support.hpp"
#include "platform/results_file.hpp"

namespace lotrix::testing {
namespace {

const std::string kEntries = "3\n1500000\n1\n1\n";  // 19.5 MB: many buffers

// The record written with no writer thread, then with one, whatever the processors' load.
class WriterThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseWriterThread(WriterThread::never);
        alone_ = RunDialogueWith(kEntries).record;
        std::filesystem::remove("lotrix20.txt");
        UseWriterThread(WriterThread::always);
    }
    void TearDown() override { UseWriterThread(WriterThread::whenFree); }
    TempDir dir_;
    std::string alone_;
};

TEST_F(WriterThreadTest, WritesTheSameRecord) {
    const DialogueOutcome beside = RunDialogueWith(kEntries);
    EXPECT_EQ(beside.status, 0);
    EXPECT_TRUE(beside.record == alone_) << "the records differ";
}

TEST_F(WriterThreadTest, TakesBackAFailedWriteAndSaysIt) {
#if defined(LOTRIX_UNDER_EMULATOR)
    GTEST_SKIP() << "an emulator restarts a write that a file-size limit refuses";
#endif
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    constexpr rlim_t kLimit = 2'500'003;  // mid-line, several buffers in
    const rlimit limit{kLimit, before.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const DialogueOutcome failed = RunDialogueWith(kEntries);
    ::setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_NE(failed.status, 0);
    EXPECT_NE(failed.console.find("ERRORE DI SCRITTURA"), std::string::npos);
    ASSERT_FALSE(failed.record.empty());
    EXPECT_LE(failed.record.size(), kLimit);
    EXPECT_EQ(failed.record.back(), '\n');
    EXPECT_EQ(alone_.compare(0, failed.record.size(), failed.record), 0);
}

}  // namespace
}  // namespace lotrix::testing
