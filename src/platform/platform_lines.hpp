// Text as the platform ends its lines: the program's texts end their lines with "\n",
// which becomes kLineEnd ("\r\n" on Windows) on the way to the console and the file.
#pragma once

#include <cstring>
#include <string_view>

#include "platform/line_end.hpp"

namespace lotrix {

inline constexpr bool kLineEndIsNewline = kLineEnd == "\n";

// Copies `text` to `out` with every "\n" made kLineEnd; `out` needs room for
// text.size() * kLineEnd.size() bytes. Returns the end of what was copied.
inline char* CopyInPlatformLines(std::string_view text, char* out) {
    for (const char c : text) {
        if (c == '\n') {
            std::memcpy(out, kLineEnd.data(), kLineEnd.size());
            out += kLineEnd.size();
        } else {
            *out++ = c;
        }
    }
    return out;
}

}  // namespace lotrix
