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
// A draw from lower..upper (lower < upper) in `memory`, that many bytes, zeroed: every
// value is new from now on. The memory is the caller's, taken before the draw (a system's
// pages, given as first touched: a draw of a few numbers from the widest bounds costs a
// few pages, not 256 MiB of clearing).
void BeginDistinct(std::int32_t lower, std::int32_t upper, std::int64_t count, void* memory);

// The plain sequence's draws are made ahead as lines, with their values' offsets from the
// lower bound, and then sifted in order: the lines of new values kept, moved down over the
// repeats. Made in any thread from its own state, sifted in turn (the values seen are shared).
constexpr std::int32_t kDistinctChunk = 4096;  // draws a one-thread draw makes at a time

// Up to `draws` lines of choice 4 from this thread's state on, as IntervalLines makes them,
// and their offsets; fewer when `stop` is up (looked at every 64 lines). Returns how many.
std::int32_t DrawLines(char*& out, std::uint32_t* offsets, std::int32_t draws,
                       std::string_view lineEnd, const StopFlag& stop);

struct KeptLines {
    char* end;           // the end of the lines kept
    std::int32_t lines;  // lines kept
    std::int32_t draws;  // draws looked at: all, unless `wanted` came first or none was left
};
// Sifts `draws` lines of `lineSize` bytes made by DrawLines at `lines`, in order, keeping
// those whose values are new, up to `wanted`, and noting them as seen.
KeptLines KeepNewLines(char* lines, const std::uint32_t* offsets, std::int32_t draws,
                       std::int32_t wanted, std::size_t lineSize);
// The sequence has no value left to give: a whole period of the generator without a new
// value (the widest bounds never give their lower bound, the stuck seed only it).
[[nodiscard]] bool DistinctExhausted();

// Up to `count` lines of "%+12d" of values not seen before, from the minimal-standard
// state on, as IntervalLines would write them but for the values seen before; the state is
// left after the last draw kept. Fewer when `stop` is up or when the sequence has no value
// left to give. Returns how many it wrote.
std::int32_t DistinctIntervalLines(char*& out, std::int32_t count, std::string_view lineEnd,
                                   const StopFlag& stop);

}  // namespace lotrix
