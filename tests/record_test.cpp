// Each choice's exact record, the clock seed and the limits on seeds and bounds, through
// the whole dialogue in-process.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "dialogue_support.hpp"
#include "platform/results_file.hpp"
#include "record/record.hpp"
#include "texts.hpp"

namespace lotrix::testing {
namespace {

class Record : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(Record, EachChoiceWritesItsExactRecord) {
    for (const auto& [input, body] : kGoldenRecords) {
        std::filesystem::remove("lotrix20.txt");
        EXPECT_EQ(RunDialogueWith(input).record,
                  SeedLine(1, 5) + body + SummaryStart(5) + "1 secondi\n\n\n\n\n")
            << input;
    }
}

TEST_F(Record, ClockSeedGoesThroughTheSameSeeding) {
    const auto outcome = RunDialogueWith("1\n2\n2\n", {12345, 12345});
    EXPECT_EQ(outcome.record,
              "seme = 12345;  numeri da generare = 2\n(interi tra 0 e 32.767)\n\n"
              "        7584\n       19164\n"
              "sono stati generati 2 numeri casuali in 1 secondi\n\n\n\n\n");
}

TEST_F(Record, TheStuckSeedGivesZeroTheLowerBoundOrNothingElse) {
    EXPECT_NE(RunDialogueWith("2\n3\n1\n2147483647\n")
                  .record.find("(reali tra 0 e 1)\n\n       0\n       0\n       0\nsono"),
              std::string::npos);
    std::filesystem::remove("lotrix20.txt");
    EXPECT_NE(RunDialogueWith("4\n-9\n9\n2\n1\n2147483647\n")
                  .record.find("\n\n          -9\n          -9\nsono"),
              std::string::npos);
}

TEST_F(Record, AnIntervalWiderThanTheScalingCanTellApartIsRefused) {
    const std::string error = kWidthError + kClosing;
    for (const char* input : {"4\n0\n2147483647\n", "4\n-2000000000\n2000000000\n",
                              "4\n-2147483648\n0\n", "4\n-1\n2147483646\n"}) {
        const auto outcome = RunDialogueWith(input);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.console.substr(outcome.console.size() - error.size()), error) << input;
        EXPECT_FALSE(outcome.fileExists) << input;
    }
    // The widest interval allowed has exactly 2147483647 values.
    const auto widest = RunDialogueWith("4\n-2147483648\n-2\n1\n1\n1\n");
    EXPECT_NE(widest.record.find("intervallo scelto: da -2147483648 a -2\n\n"), std::string::npos);
    EXPECT_NE(widest.record.find("\n -2147466841\n"), std::string::npos) << widest.record;
}

// Every kind of record line, written as a run writes it, reads back through the same
// definitions to the values written; changed by a character, it reads no more.
TEST_F(Record, EveryKindOfLineReadsBackAsItWasWritten) {
    struct Case {
        std::int32_t seed, count, lower, upper, written, elapsed;
    };
    const Case cases[] = {
        {INT32_MIN, 1, -3, 2, 0, 1},
        {-1, 7, INT32_MIN, -2, 5, 59},
        {0, INT32_MAX, 1, 10, INT32_MAX, 60},
        {INT32_MAX, 5, 0, INT32_MAX - 1, 7, 3661},
        {42, 3, -9, 9, 3, -5},
    };
    for (const Case& c : cases) {
        const ModeEntry& row = &c - cases == 1 ? kDistinctRow : ModeFor(4);  // both interval lines
        std::filesystem::remove("lines.txt");
        ASSERT_TRUE(OpenAppend("lines.txt"));
        ASSERT_EQ(FileTakeTurn(), FileTurn::taken);
        RunTally tally;
        tally.written = c.written;
        tally.start = 1000;
        tally.end = 1000 + c.elapsed - 1;
        ComputeElapsed(tally);
        WriteSeedLine(c.seed, c.count);
        WriteHeader(row, c.lower, c.upper);
        WriteSummary(tally);
        ASSERT_TRUE(FileFlush());
        FileReleaseTurn();
        std::vector<std::string> lines;
        std::istringstream file(FromPlatformLines(ReadFile("lines.txt")));
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        ASSERT_EQ(lines.size(), 9u) << "seed, header, interval, empty, summary, four empty";
        std::int32_t seed = 0, count = 0, lower = 0, upper = 0, written = -1;
        bool withoutRepeats = false;
        EXPECT_TRUE(BeginsLikeSeedLine(lines[0]) && ReadSeedLine(lines[0], seed, count));
        EXPECT_EQ(RowOfHeader(lines[1]), &ModeFor(4));
        EXPECT_TRUE(ReadIntervalLine(lines[2], lower, upper, withoutRepeats));
        EXPECT_EQ(withoutRepeats, row.withoutRepeats);
        EXPECT_TRUE(BeginsLikeSummary(lines[4]) && ReadSummary(lines[4], written)) << lines[4];
        EXPECT_EQ(std::tie(seed, count, lower, upper, written),
                  std::tie(c.seed, c.count, c.lower, c.upper, c.written));
        EXPECT_EQ(std::count(lines.begin() + 5, lines.end(), ""), kEmptyLinesAfterSummary);
        // A changed character: a digit made a letter, a leading zero, a sign, a space.
        for (std::string line : {lines[0], lines[2], lines[4]}) {
            for (const auto& [from, to] : {std::pair{"= ", "= 0"},
                                           {"da ", "da 0"},
                                           {" in ", " in +"},
                                           {"1", "l"},
                                           {" ", "  "}}) {
                const std::size_t at = line.find(from);
                if (at == std::string::npos) continue;
                std::string changed = line;
                changed.replace(at, std::string_view(from).size(), to);
                EXPECT_FALSE(ReadSeedLine(changed, seed, count) ||
                             ReadIntervalLine(changed, lower, upper, withoutRepeats) ||
                             ReadSummary(changed, written))
                    << changed;
            }
        }
    }
}

}  // namespace
}  // namespace lotrix::testing
