// Each choice's exact record, the clock seed and the limits on seeds and bounds, through
// the whole dialogue in-process.
#include <gtest/gtest.h>

#include <string>

#include "dialogue_support.hpp"
#include "texts.hpp"

namespace lotrix::testing {
namespace {

class Record : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(Record, EachChoiceWritesItsExactRecord) {
    const std::pair<const char*, std::string> runs[] = {
        {"1\n5\n1\n1\n", R"((interi tra 0 e 32.767)

          41
       18467
        6334
       26500
       19169
)"},
        {"2\n5\n1\n1\n", R"((reali tra 0 e 1)

       7.8263692590125011e-006
       0.1315377881362231
       0.75560532215514897
       0.4586501318992397
       0.53276723738404741
)"},
        {"4\n-3\n2\n5\n1\n1\n", R"((interi tra -2.147.483.648 e +2.147.483.647)
intervallo scelto: da -3 a +2

          -3
          -3
          +1
          -1
          +0
)"},
    };
    for (const auto& [input, body] : runs) {
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

}  // namespace
}  // namespace lotrix::testing
