// Draws without repeats against their definition: choice 4's plain sequence for the same
// seed and bounds with every value seen before left out (awk '!seen[$0]++'), the filter
// done here on values drawn one by one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "generators/distinct.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "record/modes.hpp"
#include "run/run.hpp"

namespace lotrix::testing {
namespace {

const StopFlag kNeverStop{0};

std::string Line(std::int32_t value) {
    char line[16];
    std::snprintf(line, sizeof line, "%+12d\n", value);
    return line;
}

// The definition: the plain sequence, filtered.
std::string Filtered(std::int32_t lower, std::int32_t upper, std::int32_t seed,
                     std::int32_t count) {
    SeedMinimalStandard(seed);
    std::unordered_set<std::int32_t> seen;
    std::string lines;
    while (static_cast<std::int32_t>(seen.size()) < count) {
        const std::int32_t value = DrawInInterval(lower, upper);
        if (seen.insert(value).second) lines += Line(value);
    }
    return lines;
}

// The draw as a run makes it, in chunks of `chunk` lines.
std::string Drawn(std::int32_t lower, std::int32_t upper, std::int32_t seed, std::int32_t count,
                  std::int32_t chunk) {
    RunSettings settings;
    settings.choice = 4;
    settings.lower = lower;
    settings.upper = upper;
    settings.seed = seed;
    EXPECT_TRUE(BeginDrawWithoutRepeats(lower, upper, count));
    StartSequence(kDistinctRow, settings, 0);
    std::vector<char> buffer(static_cast<std::size_t>(chunk) * 13 + kSpill);
    std::string lines;
    for (std::int32_t made = 0; made < count;) {
        char* out = buffer.data();
        const std::int32_t got =
            DistinctIntervalLines(out, std::min(chunk, count - made), "\n", kNeverStop);
        if (got == 0) break;
        made += got;
        lines.append(buffer.data(), out);
    }
    return lines;
}

TEST(Distinct, IsThePlainSequenceWithEveryRepeatLeftOut) {
    struct Case {
        std::int32_t lower, upper, seed, count;
    };
    const Case cases[] = {
        {1, 6, 7, 6},                   // a permutation
        {1, 90, 1, 90},                 // a whole shuffle
        {1, 90, 2147483646, 6},         // a lottery draw
        {-5, 5, -7, 11},                // negative bounds, all of them
        {-2147483648, -2, 5, 1000000},  // the widest bounds: a set, not the bitmap
        {0, 999, 42, 1000},             // at the limit, in the bitmap
        {1, 10000000, 9, 1000000},      // a tenth of the values
        {1, 70000000, 3, 1000000},      // a set half full: repeats past full buckets
    };
    for (const Case& c : cases) {
        const std::string expected = Filtered(c.lower, c.upper, c.seed, c.count);
        for (const std::int32_t chunk : {1, 4096}) {
            if (chunk == 1 && c.count > 1000) continue;  // one line a call: the short draws
            EXPECT_TRUE(Drawn(c.lower, c.upper, c.seed, c.count, chunk) == expected)
                << c.lower << ".." << c.upper << " seed " << c.seed << " chunk " << chunk;
        }
    }
}

// The stuck seed gives its one value only; the draw then ends instead of waiting for ever.
TEST(Distinct, EndsWhenTheSequenceHasNoValueLeft) {
    EXPECT_EQ(Drawn(-9, 9, 2147483647, 5, 4096), Line(-9));
}

// The memory is the smaller of a set of the values and a bitmap of the interval.
TEST(Distinct, TakesTheMemoryOfTheSmallerWay) {
    EXPECT_EQ(DistinctMemory(2147483647, 2147483647), 256u << 20);  // the widest: 256 MiB
    EXPECT_EQ(DistinctMemory(2147483647, 1000), 8192u);             // a set of 2048 slots
    EXPECT_EQ(DistinctMemory(90, 6), 16u);                          // two words of bits
}

}  // namespace
}  // namespace lotrix::testing
