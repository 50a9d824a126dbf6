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

TEST(WriterThread, WritesTheSameRecordAndTakesBackAFailedWrite) {
    TempDir dir;
    const std::string entries = "3\n3000000\n1\n1\n";  // 39 MB: many buffers
    UseWriterThread(WriterThread::never);
    const DialogueOutcome alone = RunDialogueWith(entries);
    std::filesystem::remove("lotrix20.txt");
    UseWriterThread(WriterThread::always);
    const DialogueOutcome beside = RunDialogueWith(entries);
    EXPECT_EQ(beside.status, 0);
    EXPECT_TRUE(beside.record == alone.record) << "the records differ";

    std::filesystem::remove("lotrix20.txt");
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    constexpr rlim_t kLimit = 5'000'003;  // mid-line, several buffers in
    const rlimit limit{kLimit, before.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const DialogueOutcome failed = RunDialogueWith(entries);
    ::setrlimit(RLIMIT_FSIZE, &before);
    UseWriterThread(WriterThread::whenFree);
    EXPECT_NE(failed.status, 0);
    EXPECT_NE(failed.console.find("ERRORE DI SCRITTURA"), std::string::npos);
    ASSERT_FALSE(failed.record.empty());
    EXPECT_LE(failed.record.size(), kLimit);
    EXPECT_EQ(failed.record.back(), '\n');
    EXPECT_EQ(alone.record.compare(0, failed.record.size(), failed.record), 0);
}

}  // namespace
}  // namespace lotrix::testing
