#include "platform/write_all.hpp"

#include <unistd.h>
#include <cerrno>

namespace lotrix {

std::size_t WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const ssize_t done = ::write(fd, data + written, size - written);
        if (done < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (done == 0) break;  // no progress and no error: treat as a failed device
        written += static_cast<std::size_t>(done);
    }
    return written;
}

}  // namespace lotrix
