#include "korprog/runlog/WholeWrite.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

bool wholeWrite(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A descriptor someone made non-blocking: wait until it takes more.
            struct pollfd p = {fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) >= 0 || errno == EINTR) continue;
            return false;
        }
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}
