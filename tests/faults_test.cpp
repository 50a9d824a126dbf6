// What goes wrong around a run: a results file that cannot be opened or written, several
// runs sharing one file, signals and suspension.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

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
        EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);  // not the whole run's minutes
        EXPECT_TRUE(Exited(run.status, 1)) << input;
        EXPECT_TRUE(EndsWith(run.output, kRunning + said)) << run.output;
        EXPECT_EQ(run.output.find("sono stati generati"), std::string::npos);
    }
}

// A choice-3 record's seed line, header and number lines, as a run makes them alone.
std::string ChoiceThreeBody(std::uint32_t seed, int count) {
    std::string body = SeedLine(seed, count) + kHeader3;
    std::minstd_rand0 numbers(seed);
    char line[16];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "%12lu\n", static_cast<unsigned long>(numbers()));
        body += line;
    }
    return body;
}

// Several runs append to one file at once (parallel jobs of a script); one of them meets
// a file-size limit part-way. Every record that completed is whole, contiguous and the one
// its run makes alone; the one that failed left whole lines of its own and touched nobody
// else's.
TEST_F(Faults, RunsSharingAFileWriteEachRecordWholeAndNeverTouchAnothers) {
    constexpr int kRuns = 4, kEach = 300'000, kFailing = 99, kFailingCount = 1'000'000;
    std::vector<DetachedRun> runs(kRuns + 1);
    std::vector<std::thread> jobs;
    for (int i = 0; i < kRuns; ++i) {
        jobs.emplace_back([&runs, i] {
            runs[i] = RunDetached(
                "3\n" + std::to_string(kEach) + "\n1\n" + std::to_string(i + 1) + "\n", 60s);
        });
    }
    jobs.emplace_back([&runs] {
        runs[kRuns] = RunDetached("3\n1000000\n1\n99\n", 60s, [] {
            const rlimit limit{6'000'000, 6'000'000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    });
    for (std::thread& job : jobs)
        job.join();
    for (int i = 0; i < kRuns; ++i)
        EXPECT_TRUE(Exited(runs[i].status, 0)) << runs[i].output;
    EXPECT_TRUE(Exited(runs[kRuns].status, 1));

    const std::string file = ReadFile("lotrix20.txt");
    const std::regex summary("sono stati generati 300000 numeri casuali in [0-9]+ secondi\n{5}");
    std::set<std::uint32_t> complete;
    for (std::size_t at = 0; at < file.size();) {
        ASSERT_EQ(file.compare(at, 7, "seme = "), 0) << "not a record's start at " << at;
        const auto seed = static_cast<std::uint32_t>(std::stoul(file.substr(at + 7, 12)));
        if (seed == kFailing) {
            const std::size_t next = file.find("\nseme = ", at);
            const std::size_t end = next == std::string::npos ? file.size() : next + 1;
            const std::string expected = ChoiceThreeBody(kFailing, kFailingCount);
            EXPECT_EQ(expected.compare(0, end - at, file, at, end - at), 0) << "torn at " << end;
            at = end;
            continue;
        }
        const std::string body = ChoiceThreeBody(seed, kEach);
        ASSERT_EQ(file.compare(at, body.size(), body), 0) << "record of seed " << seed;
        at += body.size();
        std::smatch found;
        const std::string rest = file.substr(at, 80);
        ASSERT_TRUE(std::regex_search(rest, found, summary, std::regex_constants::match_continuous))
            << rest;
        at += static_cast<std::size_t>(found.length());
        EXPECT_TRUE(complete.insert(seed).second);
    }
    EXPECT_EQ(complete, (std::set<std::uint32_t>{1, 2, 3, 4}));
}

// A reader of a pipe that has stopped reading, then a stop signal: the record cannot be
// completed, so the process ends by the signal after its deadline (SIGKILL at once), mid-
// write. The reader still gets whole lines only, each the one the seed makes.
TEST_F(Faults, APipeReaderGetsWholeLinesHoweverTheProcessEnds) {
    for (const int signal : {SIGTERM, SIGKILL}) {
        const DetachedRun run = RunIntoStalledReader(
            {"-c", "3", "-n", "100000000", "-s", "1", "--numbers-only", "-o", "-"}, signal);
        EXPECT_TRUE(KilledBy(run.status, signal)) << signal;
        ASSERT_GE(run.output.size(), 13u) << signal;
        EXPECT_EQ(run.output.size() % 13, 0u) << signal;
        EXPECT_EQ(run.output.back(), '\n') << signal;
        const auto lines = static_cast<std::int64_t>(run.output.size() / 13);
        EXPECT_EQ(std::stoll(run.output.substr(run.output.size() - 13)), NthValue(1, lines));
    }
}

// A file that ends in a torn line and whose end cannot be read through a second descriptor
// (no descriptor left; a file its owner may write but not read): the record still starts
// on a line of its own.
TEST_F(Faults, ARecordStartsOnItsOwnLineWhenTheFileCannotBeReadAgain) {
    struct Case {
        const char* name;
        ChildSetup setup;
    };
    const Case cases[] = {
        {"three descriptors and the file's",
         [] {
             for (int fd = 3; fd < 1024; ++fd)  // whatever the test runner passed down
                 ::close(fd);
             // The leak checker of a sanitizer build needs descriptors of its own at exit.
             ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
             const rlimit four{4, 4};
             ::setrlimit(RLIMIT_NOFILE, &four);
         }},
        {"a file only written", [] { (void)!::setuid(65534); }},
    };
    for (const Case& c : cases) {
#ifdef LOTRIX20_EMULATOR
        if (c.setup == cases[0].setup) {
            std::printf("skipped: %s (the emulator needs descriptors of its own)\n", c.name);
            continue;
        }
#endif
        if (c.setup == cases[1].setup) {
            if (::geteuid() != 0) {  // only root can become another user
                std::printf("skipped: %s (needs root to run as another user)\n", c.name);
                continue;
            }
            std::filesystem::permissions(".", std::filesystem::perms::all);
        }
        std::filesystem::remove("f.txt");
        WriteFile("f.txt", "torn");
        std::filesystem::permissions("f.txt", std::filesystem::perms::owner_write |
                                                  std::filesystem::perms::group_write |
                                                  std::filesystem::perms::others_write);
        const DetachedRun run =
            RunCommand({"-c", "3", "-n", "2", "-s", "1", "-o", "f.txt"}, "", 20s, c.setup);
        if (Exited(run.status, 127) && run.errors.empty()) {
            std::printf("skipped: %s (the program's folder is closed to another user)\n", c.name);
            continue;
        }
        EXPECT_TRUE(Exited(run.status, 0)) << c.name << run.errors;
        EXPECT_EQ(ReadFile("f.txt").substr(0, 12), "torn\nseme = ") << c.name;
    }
}

// The file is removed, renamed (a log's rotation) or re-pointed through a link while a
// run waits for its lock: the record goes where the name leads once the file is free, and
// the old file keeps what it had.
TEST_F(Faults, AFileMovedWhileARunWaitsGetsTheRecordUnderItsName) {
    struct Case {
        const char* name;
        void (*move)();
        const char* old;     // where the file the run opened is afterwards
        const char* left;    // what it holds then ("" when it is gone)
        const char* before;  // what the name leads to before the record
    };
    const Case cases[] = {
        {"removed", [] { std::filesystem::remove("d.txt"); }, "d.txt.1", "", ""},
        {"renamed",
         [] {
             std::filesystem::rename("d.txt", "d.txt.1");
             WriteFile("d.txt", "new\n");
         },
         "d.txt.1", "old\n", "new\n"},
        {"re-pointed",
         [] {
             WriteFile("other.txt", "other\n");
             std::filesystem::remove("d.txt");
             std::filesystem::create_symlink("other.txt", "d.txt");
         },
         "target.txt", "old\n", "other\n"},
    };
    const std::string record = ChoiceThreeBody(1, 3);
    for (const Case& c : cases) {
        for (const char* name : {"d.txt", "d.txt.1", "target.txt", "other.txt"})
            std::filesystem::remove(name);
        WriteFile("target.txt", "old\n");
        if (c.old == std::string("target.txt")) {
            std::filesystem::create_symlink("target.txt", "d.txt");
        } else {
            std::filesystem::rename("target.txt", "d.txt");
        }
        const int held = ::open("d.txt", O_WRONLY | O_APPEND | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        DetachedRun run{};
        std::thread job([&run] {
            run = RunCommand({"-c", "3", "-n", "3", "-s", "1", "-o", "d.txt"});
        });
        std::this_thread::sleep_for(300ms);
        c.move();
        ::close(held);
        job.join();
        EXPECT_TRUE(Exited(run.status, 0)) << c.name << run.errors;
        const std::string now = ReadFile("d.txt");
        EXPECT_EQ(now.substr(0, std::strlen(c.before) + record.size()), c.before + record)
            << c.name;
        EXPECT_EQ(std::filesystem::exists(c.old) ? ReadFile(c.old) : "", c.left) << c.name;
    }
}

// Another run holds the file (as a run writing its record does): this one waits, saying
// so below its running message; a key taken meanwhile stops it before its first number,
// and its record is written once the file is free. The message leaves no trace.
TEST_F(Faults, ARunWaitsForTheFileAnotherRunHoldsAndAKeyStopsItMeanwhile) {
    const int held = ::open("lotrix20.txt", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    session_ = StartUnderPty("3\n5\n1\n1\n", {.setup = [] { ::setenv("TERM", "xterm", 1); }});
    ASSERT_TRUE(WaitForScreen(session_, kWaitingForFile)) << session_.screen;
    ASSERT_TRUE(WaitForKeyMode(session_, KeyMode::run));
    Type(session_, "q");
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(std::filesystem::file_size("lotrix20.txt"), 0u);
    ::close(held);
    PressClosingKey(session_, "k");
    ASSERT_TRUE(WaitForExit(session_));
    EXPECT_TRUE(Exited(session_.status, 0));
    ExpectChoiceThreeRecord("lotrix20.txt", 1, 0, "5");
    const std::string rendered = RenderScreen(session_.screen);
    const std::string plain = kOpening + kCountPrompt + kSeedModePrompt + kSeedPrompt + kRunning +
                              "\n\n" + SummaryStart(0);
    EXPECT_EQ(rendered.compare(0, plain.size(), plain), 0) << rendered;
    EXPECT_TRUE(EndsWith(rendered, " secondi,\n" + kClosing)) << rendered;
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
}

// Batch mode waits the same way; a stop signal while waiting ends the run with nothing
// written, since no record was begun.
TEST_F(Faults, AStopSignalWhileWaitingForTheFileWritesNothing) {
    int held = ::open("lotrix20.txt", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    DetachedRun batch{};
    std::thread job([&batch] { batch = RunCommand({"-c", "3", "-n", "5", "-s", "1"}); });
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(std::filesystem::file_size("lotrix20.txt"), 0u);
    ::close(held);
    job.join();
    EXPECT_TRUE(Exited(batch.status, 0));
    ExpectChoiceThreeRecord("lotrix20.txt", 1, 5, "5");

    std::filesystem::remove("lotrix20.txt");
    held = ::open("lotrix20.txt", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    session_ = StartUnderPty(kLongRun, {.setup = [] { ::setenv("TERM", "xterm", 1); }});
    ASSERT_TRUE(WaitForScreen(session_, kWaitingForFile)) << session_.screen;
    ::kill(session_.pid, SIGTERM);
    ASSERT_TRUE(WaitForExit(session_, 5s));
    EXPECT_TRUE(KilledBy(session_.status, SIGTERM));
    EXPECT_EQ(std::filesystem::file_size("lotrix20.txt"), 0u);
    EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_)));
    ::close(held);
}

// SIGINT (Ctrl+C), SIGTERM, SIGHUP and every other signal whose default ends the process
// (a user signal, a CPU-time limit, a timer, a real-time signal) end a run as a key would,
// the record is completed, and then the process ends by the signal, with the terminal as
// it was.
TEST_F(Faults, AStopSignalDuringARunCompletesTheRecordAndRestoresTheTerminal) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGXCPU, SIGALRM, SIGRTMIN + 1}) {
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

// Ctrl+\ and the faults end the process at once, but never with the terminal left
// without echo.
TEST_F(Faults, QuittingOrAFaultDuringARunStillRestoresTheTerminal) {
    std::filesystem::create_symlink("/dev/null", "lotrix20.txt");
    for (const int signal : {SIGQUIT, SIGSEGV, SIGABRT}) {
        session_ = StartUnderPty(kLongRun);
        WaitForRun(session_);
        if (signal == SIGQUIT) {
            Type(session_, "\x1c");  // Ctrl+\ at the terminal
        } else {
            ::kill(session_.pid, signal);
        }
        ASSERT_TRUE(WaitForExit(session_, 20s));
        EXPECT_TRUE(KilledBy(session_.status, signal)) << signal;
        EXPECT_TRUE(SameSettings(session_.initial, TerminalSettings(session_))) << signal;
        Close(session_);
    }
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
