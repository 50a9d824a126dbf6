// Each row's lines many at a time, as a run writes them: on the path chosen for this processor
// while the generator's state suits its lanes, handing over to the scalar reference (one step
// and one line a number, which defines the bytes) for the lines left over a block and for
// the states the lanes do not take. The text is the same as one line at a time, whichever
// way each line is made.
//
// Every batch maker looks at the stop flag before each block of kBlockLines lines on a
// vector path and before every number on the scalar reference, and stops while it is up. It
// returns how many lines it wrote, leaves `out` at their end, and may store up to
// kSpill bytes past it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "generators/fast_lines.hpp"

namespace lotrix {

// Lines per call of a vector path: the stop flag is read between calls.
constexpr std::int32_t kBlockLines = 64;
static_assert(kBlockLines % kWidestGroup == 0);

// The path the batch makers use from now on: tests run them on each path the processor
// has; nullptr goes back to the one chosen for the processor.
void UsePath(const Path* path);

using StopFlag = std::atomic<int>;

std::int32_t CompatLines(char*& out, std::int32_t count, std::string_view lineEnd,
                         const StopFlag& stop);
std::int32_t UnitRealLines(char*& out, std::int32_t count, std::string_view lineEnd,
                           const StopFlag& stop);
std::int32_t MinimalStandardLines(char*& out, std::int32_t count, std::string_view lineEnd,
                                  const StopFlag& stop);
// Needs lower < upper, at most 2147483647 values apart. Where `offsets` is not null, each
// value's offset from `lower` is stored there too, in the lines' order.
std::int32_t IntervalLines(char*& out, std::int32_t count, std::int32_t lower, std::int32_t upper,
                           std::string_view lineEnd, const StopFlag& stop,
                           std::uint32_t* offsets = nullptr);

}  // namespace lotrix
