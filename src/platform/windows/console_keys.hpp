// The Windows console's key events read as the program's key codes (platform/keys.hpp):
// what the poll counts as a key and what the single-key read returns for it.
#pragma once

#include <windows.h>

#include "platform/keys.hpp"

namespace lotrix {

struct ConsoleKey {
    int code;    // a character's code, or a two-code key's prefix; -1: not a key for us
    int second;  // a two-code key's own code; -1 for a character
};

inline constexpr ConsoleKey kNotAKey{-1, -1};

// A key press that yields a character or a cursor, editing or function key; releases,
// Shift, Ctrl or Alt alone and keys without a code are kNotAKey.
[[nodiscard]] ConsoleKey KeyOfEvent(const KEY_EVENT_RECORD& key);

// The same for any input record: mouse, focus, menu and size events are kNotAKey.
[[nodiscard]] ConsoleKey KeyOfRecord(const INPUT_RECORD& record);

}  // namespace lotrix
