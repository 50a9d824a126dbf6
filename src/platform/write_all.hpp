// Writing a whole block to a descriptor despite short writes and interrupted calls.
#pragma once

#include <cstddef>

namespace lotrix {

// True when every byte was written; false at the first real error (the rest is lost).
[[nodiscard]] bool WriteAll(int fd, const char* data, std::size_t size);

}  // namespace lotrix
