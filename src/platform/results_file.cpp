#include "platform/results_file.hpp"

#include <fcntl.h>
#include <unistd.h>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/write_all.hpp"

namespace lotrix {
namespace {

// Large enough that the system call per block is lost in the cost of the numbers,
// small enough to keep the process's footprint to a few hundred kilobytes.
constexpr std::size_t kBlock = 256 * 1024;

std::array<char, kBlock> g_buffer;
std::size_t g_used = 0;
int g_fd = -1;
bool g_failed = false;

}  // namespace

bool OpenAppend(const char* name) {
    if (g_fd >= 0) ::close(g_fd);
    g_used = 0;
    g_failed = false;
    g_fd = ::open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    return g_fd >= 0;
}

bool FileFlush() {
    if (g_fd < 0 || g_failed) {
        g_used = 0;
        return !g_failed;
    }
    // Only whole lines leave the buffer: an O_APPEND write lands in one piece, so a line
    // is never split between two writes that another program's write could come between.
    const void* lastEnd = ::memrchr(g_buffer.data(), '\n', g_used);
    if (lastEnd == nullptr) return true;
    const auto whole =
        static_cast<std::size_t>(static_cast<const char*>(lastEnd) - g_buffer.data()) + 1;
    if (!WriteAll(g_fd, g_buffer.data(), whole)) {
        g_failed = true;
        g_used = 0;
        return false;
    }
    std::memmove(g_buffer.data(), g_buffer.data() + whole, g_used - whole);
    g_used -= whole;
    return true;
}

bool FileFailed() {
    return g_failed;
}

FileSpan FileFreeSpace(std::size_t atLeast) {
    if (g_buffer.size() - g_used < atLeast) (void)FileFlush();
    return {g_buffer.data() + g_used, g_buffer.data() + g_buffer.size()};
}

void FileCommit(char* newEnd) {
    g_used = static_cast<std::size_t>(newEnd - g_buffer.data());
    if (g_fd < 0 || g_failed) g_used = 0;  // nothing may reach a file that is not sound
}

void FilePrint(const char* format, ...) {
    constexpr std::size_t kLongest = 512;  // every record line but the numbers is shorter
    const FileSpan space = FileFreeSpace(kLongest);
    va_list values;
    va_start(values, format);
    const int length = std::vsnprintf(space.begin, kLongest, format, values);
    va_end(values);
    if (length <= 0) return;
    const auto size = static_cast<std::size_t>(length) < kLongest ? static_cast<std::size_t>(length)
                                                                  : kLongest - 1;
    FileCommit(space.begin + size);
}

}  // namespace lotrix
