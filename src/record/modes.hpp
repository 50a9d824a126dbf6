// The table of generation modes: one fixed row per menu choice, with the header written
// before the numbers, the action done once before them, and the line maker that draws
// one number and writes its whole line.
//
// Each row also has a batch maker that writes many lines in one call, so the loop pays no
// indirect call per number. It checks a stop flag (the run's, or the one its second thread
// is stopped by) before every number it makes by the scalar reference, and once per block
// of 64 lines on a vector path: a key stops a run within one block (well under a
// microsecond).
#pragma once

#include <cstdint>

#include "generators/fast_lines.hpp"
#include "generators/rows.hpp"
#include "record/settings.hpp"

namespace lotrix {

// No line is longer than this, and a line maker may store up to this many bytes.
constexpr std::int32_t kLineRoom = 32;
// A batch maker may store up to kSpill bytes (generators/fast_lines.hpp) past the end of
// its last line: a path's whole vector registers.

struct ModeEntry {
    std::int32_t choice;
    const char* header;     // when the row asks for bounds, a second line with them follows
    bool asksForBounds;     // the dialogue asks for an interval's bounds for this row
    std::int32_t lineRoom;  // the most bytes one of its lines takes
    void (*startAction)(const RunSettings& settings);  // nullptr for none
    // Draws one number and writes its line at out; returns the line's end.
    char* (*makeLine)(char* out, const RunSettings& settings);
    // Up to `count` lines from `out` on; stops early when `stop` is up (seen within a block
    // of 64 lines). Returns how many it wrote and leaves `out` at their end.
    std::int32_t (*makeLines)(char*& out, std::int32_t count, const RunSettings& settings,
                              const StopFlag& stop);
    // Each value only the first time it comes (choice 4 with --distinct): its numbers cannot
    // be shared between threads, and its draw needs memory taken first (BeginDrawWithoutRepeats).
    bool withoutRepeats;
};

// The rows of the menu: every table and check of the choices is sized by this count.
inline constexpr std::int32_t kRows = 4;
extern const ModeEntry kModes[kRows];
// Choice 4 without repeats: a row of its own, outside the menu's table.
extern const ModeEntry kDistinctRow;

// The row for a choice from 1 to 4.
[[nodiscard]] const ModeEntry& ModeFor(std::int32_t choice);
// The same, or choice 4 without repeats.
[[nodiscard]] const ModeEntry& RowFor(std::int32_t choice, bool withoutRepeats);

}  // namespace lotrix
