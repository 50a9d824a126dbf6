#include "platform/write_all.hpp"

#include <unistd.h>
#include <cerrno>

namespace lotrix {

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (done == 0) return false;  // no progress and no error: treat as a failed device
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

}  // namespace lotrix
