// The generation loop: before every number a look at the key flag (and, when it is up,
// at the terminal and the stop requests), then one line from the chosen row into the
// results file's buffer.
#pragma once

#include <cstdint>

#include "dialogue/modes.hpp"
#include "dialogue/settings.hpp"

namespace lotrix {

// Generates up to `count` numbers, counting them in `tally`; ends early on a key, a stop
// request or a failed write.
void RunLoop(const ModeEntry& mode, const RunSettings& settings, std::int32_t count,
             RunTally& tally);

}  // namespace lotrix
