#include <gtest/gtest.h>

#include <string>

#include "dialogue_support.hpp"
#include "texts.hpp"

namespace lotrix::testing {
namespace {

class Dialogue : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(Dialogue, ChoiceThreeWritesTheExactRecordAndTranscript) {
    const auto outcome = RunDialogueWith("3\n5\n1\n1\n");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.console, kOpening + kCountPrompt + kSeedModePrompt + kSeedPrompt + kRunning +
                                   "\n\nsono stati generati 5 numeri casuali in 1 secondi,\n" +
                                   kClosing);
    EXPECT_EQ(outcome.record,
              "seme = 1;  numeri da generare = 5\n"
              "(interi tra 0 e 2.147.483.647)\n\n"
              "       16807\n"
              "   282475249\n"
              "  1622650073\n"
              "   984943658\n"
              "  1144108930\n"
              "sono stati generati 5 numeri casuali in 1 secondi\n\n\n\n\n");
}

TEST_F(Dialogue, EveryBadEntryClosesWithItsErrorAndCreatesNoFile) {
    struct Case {
        const char* input;
        std::string transcriptAfterOpening;
    };
    const std::string seedAsked = kCountPrompt + kSeedModePrompt + kSeedPrompt;
    const Case cases[] = {
        {"0\n", kChoiceError},
        {"5\n", kChoiceError},
        {"-1\n", kChoiceError},
        {"x\n", kChoiceError},
        {"4\n5\n5\n", kBoundsPrompts + kIntervalError},
        {"4\n6\n5\n", kBoundsPrompts + kIntervalError},
        {"4\nabc\n", kBoundsPrompts + kIntervalError},  // both bounds stay 0
        {"3\n0\n", kCountPrompt + kChoiceError},
        {"3\n-3\n", kCountPrompt + kChoiceError},
        {"4\n1\n9\n0\n", kBoundsPrompts + kCountPrompt + kChoiceError},
        {"3\n5\n3\n", kCountPrompt + kSeedModePrompt + kChoiceError},
        {"3\n5\n0\n", kCountPrompt + kSeedModePrompt + kChoiceError},
        {"3\n5\n1\n0\n", seedAsked + kChoiceError},
        {"3\n5\n1\n-5\n", seedAsked + kChoiceError},
        {"3\n5\n1\nseme\n", seedAsked + kChoiceError},
    };
    for (const Case& c : cases) {
        const auto outcome = RunDialogueWith(c.input);
        EXPECT_EQ(outcome.status, 0) << c.input;
        EXPECT_EQ(outcome.console, kOpening + c.transcriptAfterOpening + kClosing) << c.input;
        EXPECT_FALSE(outcome.fileExists) << c.input;
    }
}

// The bounds are judged as a pair even when input ended: bounds never typed stay 0 and 0.
TEST_F(Dialogue, EndOfInputClosesWithTheChoiceErrorButUnreadBoundsWithTheIntervalError) {
    const std::pair<const char*, std::string> cases[] = {
        {"", kChoiceError},
        {"4\n", kBoundsPrompts + kIntervalError},
        {"4\n-5\n", kBoundsPrompts + kCountPrompt + kChoiceError},
        {"3\n", kCountPrompt + kChoiceError},
        {"3\n5\n", kCountPrompt + kSeedModePrompt + kChoiceError},
        {"3\n5\n1\n", kCountPrompt + kSeedModePrompt + kSeedPrompt + kChoiceError},
    };
    for (const auto& [input, said] : cases) {
        const auto outcome = RunDialogueWith(input);
        EXPECT_EQ(outcome.status, 0) << input;
        EXPECT_EQ(outcome.console, kOpening + said + kClosing) << input;
        EXPECT_FALSE(outcome.fileExists) << input;
    }
}

TEST_F(Dialogue, EntriesWrapAt32BitsAndTheLargestSeedIsAccepted) {
    // 4294967299 is read as 3; 2147483647 is a valid seed, from which the generator sticks at 0.
    const auto outcome = RunDialogueWith("4294967299 2 1 2147483647");
    EXPECT_EQ(outcome.record,
              "seme = 2147483647;  numeri da generare = 2\n"
              "(interi tra 0 e 2.147.483.647)\n\n"
              "           0\n"
              "           0\n"
              "sono stati generati 2 numeri casuali in 1 secondi\n\n\n\n\n");
}

TEST_F(Dialogue, SummaryTellsSecondsUpToAMinuteThenMinutesAndSeconds) {
    struct Case {
        std::int32_t elapsed;
        std::string file;
        std::string console;
    };
    const Case cases[] = {
        {1, "in 1 secondi", "in 1 secondi,"},
        {2, "in 2 secondi", "in 2 secondi,"},
        {59, "in 59 secondi", "in 59 secondi,"},
        {60, "in 1 minuti 00 secondi", "in 1 minuti 00 secondi,"},
        {61, "in 1 minuti 01 secondi", "in 1 minuti 01 secondi,"},
        {3600, "in 60 minuti 00 secondi", "in 60 minuti 00 secondi,"},
        {7325, "in 122 minuti 05 secondi", "in 122 minuti 05 secondi,"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove("lotrix20.txt");
        const std::int32_t start = 1'700'000'000;
        const auto outcome = RunDialogueWith("3\n1\n1\n1\n", {start, start + c.elapsed - 1});
        EXPECT_NE(
            outcome.record.find("sono stati generati 1 numeri casuali " + c.file + "\n\n\n\n\n"),
            std::string::npos)
            << outcome.record;
        EXPECT_NE(outcome.console.find("\n\nsono stati generati 1 numeri casuali " + c.console +
                                       "\n" + kClosing),
                  std::string::npos)
            << outcome.console;
    }
}

TEST_F(Dialogue, ClockSeedIsTheFirstReadingEvenPast2038) {
    // Seed mode 2: the seed line and the generator take the clock's value. After January
    // 2038 the clock keeps its low 32 bits, and the elapsed time stays right across the wrap.
    const auto outcome = RunDialogueWith("3\n2\n2\n", {INT32_MAX, INT32_MIN});
    EXPECT_EQ(outcome.record,
              "seme = 2147483647;  numeri da generare = 2\n"
              "(interi tra 0 e 2.147.483.647)\n\n"
              "           0\n"
              "           0\n"
              "sono stati generati 2 numeri casuali in 2 secondi\n\n\n\n\n");
    std::filesystem::remove("lotrix20.txt");
    const auto later = RunDialogueWith("3\n2\n2\n", {-2000000000, -1999999990});
    EXPECT_EQ(later.record,
              "seme = -2000000000;  numeri da generare = 2\n"
              "(interi tra 0 e 2.147.483.647)\n\n"
              "   561526491\n"
              "  1532589319\n"
              "sono stati generati 2 numeri casuali in 11 secondi\n\n\n\n\n");
}

TEST_F(Dialogue, TwoRunsAppendTwoRecords) {
    const auto first = RunDialogueWith("3\n1\n1\n7\n");
    const auto second = RunDialogueWith("3\n1\n1\n7\n");
    EXPECT_EQ(second.record, first.record + first.record);
    EXPECT_EQ(first.record,
              "seme = 7;  numeri da generare = 1\n"
              "(interi tra 0 e 2.147.483.647)\n\n"
              "      117649\n"
              "sono stati generati 1 numeri casuali in 1 secondi\n\n\n\n\n");
}

}  // namespace
}  // namespace lotrix::testing
