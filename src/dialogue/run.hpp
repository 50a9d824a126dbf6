// The generation loop: before every number a look at the key flag (and, when it is up,
// at the terminal and the stop signals), then one line from the chosen row into the
// results file's buffer.
#pragma once

#include <cstdint>

#include "dialogue/modes.hpp"

namespace lotrix {

// Generates up to `count` numbers, counting them in g_tally; ends early on a key, a stop
// signal or a failed write.
void RunLoop(const ModeEntry& mode, std::int32_t count);

}  // namespace lotrix
