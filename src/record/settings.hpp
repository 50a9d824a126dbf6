// The process-wide values of one dialogue and its run: what the user chose and what the
// run counted. All start at 0; an entry that cannot be read leaves its field as it was.
#pragma once

#include <cstdint>

namespace lotrix {

// The seed modes the menu offers.
inline constexpr std::int32_t kSeedTyped = 1;
inline constexpr std::int32_t kSeedFromClock = 2;

struct RunSettings {
    std::int32_t choice = 0;
    std::int32_t lower = 0;
    std::int32_t upper = 0;
    std::int32_t count = 0;
    std::int32_t seedMode = 0;  // kSeedTyped or kSeedFromClock once accepted
    std::int32_t seed = 0;
};

struct RunTally {
    std::int32_t written = 0;  // numbers handed to the results file
    std::int32_t index = 0;
    std::int32_t start = 0;  // calendar seconds
    std::int32_t end = 0;
    std::int32_t elapsed = 0;  // end - start + 1, taken modulo 2^32
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;
};

extern RunSettings g_settings;
extern RunTally g_tally;

}  // namespace lotrix
