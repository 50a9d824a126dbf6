// Writing a whole block to a descriptor despite short writes and interrupted calls.
#pragma once

#include <cstddef>

namespace lotrix {

// How many bytes were written: all of them, or fewer when a real error came first (the
// rest is lost).
[[nodiscard]] std::size_t WriteAll(int fd, const char* data, std::size_t size);

}  // namespace lotrix
