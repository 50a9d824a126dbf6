// What ends a run before its count: a key pressed on the terminal or a stop request from
// outside, looked for between the numbers by the run's main thread.
#pragma once

#include "platform/terminal.hpp"

namespace lotrix {

// The test that precedes each buffer of numbers (the line makers look at the flag itself
// before each number or block of 64). The flag is cheap; the terminal is asked only when
// the flag says something may have happened. A key that stops the run is taken; any others
// stay queued. Main thread only.
[[nodiscard]] inline bool KeyOrStopRequest() {
    if (!g_stopFlag.load(std::memory_order_relaxed)) return false;
    // Cleared before looking, so a key arriving meanwhile raises it again.
    g_stopFlag.store(0, std::memory_order_relaxed);
    if (HeldStopRequest() != StopRequest::none) return true;
    if (!KeyWaiting()) return false;
    (void)ReadKey();
    return true;
}

}  // namespace lotrix
