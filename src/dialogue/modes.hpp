// The table of generation modes: one fixed row per menu choice, with the header written
// before the numbers, the action done once before them, and the line maker that draws
// one number and writes its whole line.
//
// Each row also has a batch maker that writes many lines in one call and checks the
// run's key flag before every number, so the loop pays no indirect call per number.
#pragma once

#include <cstdint>

namespace lotrix {

// No line is longer than this, and a line maker may store up to this many bytes.
constexpr std::int32_t kLineRoom = 32;

struct ModeEntry {
    std::int32_t choice;
    const char* header;            // row 4's second line, with the bounds, follows it
    void (*startAction)();         // nullptr for none
    char* (*makeLine)(char* out);  // returns the end of the line written at out
    // Up to `count` lines from `out` on; stops early when the key flag is up. Returns how
    // many it wrote and leaves `out` at their end.
    std::int32_t (*makeLines)(char*& out, std::int32_t count);
};

extern const ModeEntry kModes[4];

// The row for a choice from 1 to 4.
[[nodiscard]] const ModeEntry& ModeFor(std::int32_t choice);

}  // namespace lotrix
