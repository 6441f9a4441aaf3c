#include "korprog/runlog/WholeWrite.h"

#include <cerrno>

#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool endsMidLine(int fd)
{
    struct stat st;
    char last = '\n';
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
           ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n';
}

}  // namespace

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

bool appendWhole(int fd, const std::string& line)
{
    // The last byte is looked at under the lock: a line another run is
    // writing must not look like a cut one.
    int locked;
    while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    struct stat st;
    const off_t before = ::fstat(fd, &st) == 0 ? st.st_size : -1;
    const bool ok = wholeWrite(fd, (locked == 0 && endsMidLine(fd) ? "\n" : "") + line) && ::fsync(fd) == 0;
    const int e = errno;
    // Only under the lock: without it another run's line may follow ours.
    if (!ok && locked == 0 && before >= 0 && ::ftruncate(fd, before) == 0) ::fsync(fd);
    if (locked == 0) ::flock(fd, LOCK_UN);
    errno = e;
    return ok;
}
