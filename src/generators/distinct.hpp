// Draws without repeats: the numbers of choice 4's sequence for a seed and bounds, each
// kept only the first time it comes; so exactly what a filter that drops every line seen
// before makes of the plain sequence (awk '!seen[$0]++'). The values seen are remembered in
// memory taken before the draw: a set of them while that is the smaller, else a bitmap of
// the whole interval (256 MiB for the widest bounds).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "generators/rows.hpp"

namespace lotrix {

// The memory a draw of `count` numbers from `width` values takes, in bytes.
[[nodiscard]] std::size_t DistinctMemory(std::int64_t width, std::int64_t count);
// Takes that memory, empty, for a draw from lower..upper (lower < upper): every value is
// new from now on. False, with nothing taken, when the system refuses it.
[[nodiscard]] bool BeginDistinct(std::int32_t lower, std::int32_t upper, std::int64_t count);

// Up to `count` lines of "%+12d" of values not seen before, from the minimal-standard
// state on, as IntervalLines would write them but for the values seen before. Fewer when
// `stop` is up (looked at every 64 draws) or when the sequence has no value left to give:
// a whole period of the generator without a new value (the widest bounds never give their
// lower bound, the stuck seed only it). Returns how many it wrote.
std::int32_t DistinctIntervalLines(char*& out, std::int32_t count, std::string_view lineEnd,
                                   const StopFlag& stop);

}  // namespace lotrix
