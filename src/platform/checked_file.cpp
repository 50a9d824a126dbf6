#include "platform/checked_file.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/system.hpp"

namespace lotrix {
namespace {

// A read of a megabyte costs one system call per about 80,000 number lines.
constexpr std::size_t kBuffer = 1024 * 1024;

std::array<char, kBuffer> g_buffer;
std::size_t g_begin = 0, g_end = 0;
std::int64_t g_taken = 0;
bool g_atEnd = false, g_failed = false;

// Reads more behind what is left, moved to the buffer's start first; false at the end.
bool Fill() {
    if (g_atEnd) return false;
    if (g_begin > 0) {
        std::memmove(g_buffer.data(), g_buffer.data() + g_begin, g_end - g_begin);
        g_end -= g_begin;
        g_begin = 0;
    }
    if (g_end == g_buffer.size()) return false;
    const std::ptrdiff_t got =
        system::ReadCheckedFile(g_buffer.data() + g_end, g_buffer.size() - g_end);
    if (got <= 0) {
        g_atEnd = true;
        g_failed = got < 0;
        return false;
    }
    g_end += static_cast<std::size_t>(got);
    return true;
}

}  // namespace

bool OpenCheckedFile(const char* name) {
    g_begin = g_end = 0;
    g_taken = 0;
    g_atEnd = g_failed = false;
    return system::OpenCheckedFile(name);
}

const char* CheckedFileFailure() {
    return system::CheckedFileFailure();
}

bool CheckedFileFailed() {
    return g_failed;
}

std::int64_t CheckedFileSize() {
    return system::CheckedFileSize();
}

std::int64_t CheckedFileTaken() {
    return g_taken;
}

std::string_view PeekCheckedLine() {
    std::size_t searched = g_begin;
    for (;;) {
        const char* start = g_buffer.data() + searched;
        const auto* found = static_cast<const char*>(std::memchr(start, '\n', g_end - searched));
        if (found != nullptr) {
            return {g_buffer.data() + g_begin,
                    static_cast<std::size_t>(found - (g_buffer.data() + g_begin)) + 1};
        }
        if (g_end - g_begin >= kLongestLine) return {g_buffer.data() + g_begin, kLongestLine};
        const std::size_t already = g_end - g_begin;
        if (!Fill()) return {g_buffer.data() + g_begin, g_end - g_begin};
        searched = g_begin + already;
    }
}

std::string_view PeekCheckedBytes(std::size_t want) {
    want = std::min(want, g_buffer.size());
    while (g_end - g_begin < want && Fill()) {
    }
    return {g_buffer.data() + g_begin, g_end - g_begin};
}

void TakeChecked(std::size_t bytes) {
    g_begin += bytes;
    g_taken += static_cast<std::int64_t>(bytes);
}

}  // namespace lotrix
