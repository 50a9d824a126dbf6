#include "platform/results_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
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

// Does the file end with a line end (or is it empty, or not a plain file)? A line torn by
// a program that was killed, or an edit, must not have the next record glued to it. The
// last byte is read through a second descriptor, since the first is open for writing only;
// a file this program may not read is taken as it is.
//
// Another program's write may be under way: the file's size then grows while its last
// bytes are still arriving, and a last byte read at that moment is no sign of a torn line.
// Only an end that stays put is taken as torn.
bool EndsWithLineEnd(const char* name) {
    struct stat written {};
    if (::fstat(g_fd, &written) != 0 || !S_ISREG(written.st_mode)) return true;
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return true;
    struct stat file {};
    bool endsWell = true;
    if (::fstat(fd, &file) == 0 && file.st_dev == written.st_dev && file.st_ino == written.st_ino) {
        for (int look = 0; look < 3; ++look) {
            char last = '\n';
            const off_t size = file.st_size;
            if (size == 0 || ::pread(fd, &last, 1, size - 1) != 1 || last == '\n') break;
            ::usleep(2000);
            if (::fstat(fd, &file) != 0 || file.st_size == size) {
                endsWell = false;
                break;
            }
        }
    }
    ::close(fd);
    return endsWell;
}

// After a write that failed part-way, the bytes of its incomplete last line are taken back,
// so the file holds whole lines only; but only while the file still ends where this
// program's write left it, never cutting what another program appended since.
void TakeBackTornLine(const char* data, std::size_t written) {
    const void* lastEnd = ::memrchr(data, '\n', written);
    const std::size_t whole =
        lastEnd == nullptr ? 0 : static_cast<std::size_t>(static_cast<const char*>(lastEnd) - data) + 1;
    const auto torn = static_cast<off_t>(written - whole);
    if (torn == 0) return;
    struct stat file {};
    const off_t end = ::lseek(g_fd, 0, SEEK_CUR);  // just after this program's last byte
    if (end >= torn && ::fstat(g_fd, &file) == 0 && S_ISREG(file.st_mode) && file.st_size == end) {
        (void)::ftruncate(g_fd, end - torn);
    }
}

}  // namespace

bool OpenAppend(const char* name) {
    if (g_fd >= 0) ::close(g_fd);
    g_used = 0;
    g_failed = false;
    // O_NONBLOCK makes the open itself refuse what would wait for ever (a FIFO nobody
    // reads); writes then wait as usual, so pipes and devices work as they always have.
    g_fd = ::open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
    if (g_fd < 0) return false;
    const int flags = ::fcntl(g_fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(g_fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!EndsWithLineEnd(name)) g_buffer[g_used++] = '\n';
    return true;
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
    const std::size_t written = WriteAll(g_fd, g_buffer.data(), whole);
    if (written != whole) {
        TakeBackTornLine(g_buffer.data(), written);
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
