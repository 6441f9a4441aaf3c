#include "korprog/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

int fail(int* error, int value)
{
    if (error) *error = value ? value : EIO;
    return -1;
}

}  // namespace

int WholeFile::open(const std::string& path, uintmax_t maxBytes, int* error)
{
    // O_NONBLOCK: opening a FIFO would wait for a writer. The type and size
    // are those of what was opened, not of what the name meant a moment ago.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(error, errno);
    struct stat st;
    int why = 0;
    if (::fstat(fd, &st) != 0) why = errno;
    else if (S_ISDIR(st.st_mode)) why = EISDIR;
    else if (!S_ISREG(st.st_mode)) why = EINVAL;
    else if (static_cast<uintmax_t>(st.st_size) > maxBytes) why = EFBIG;
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) why = errno;
    if (why == 0) return fd;
    ::close(fd);
    return fail(error, why);
}

bool WholeFile::usable(const std::string& path, uintmax_t maxBytes, int* error)
{
    const int fd = open(path, maxBytes, error);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::string WholeFile::reason(int error, uintmax_t maxBytes)
{
    if (error == EINVAL) return "not a regular file";
    if (error == EFBIG) return "larger than " + std::to_string(maxBytes) + " bytes";
    return std::strerror(error);
}

bool WholeFile::read(const std::string& path, std::string& out, int* error, uintmax_t maxBytes)
{
    out.clear();
    const int fd = open(path, maxBytes, error);
    if (fd < 0) return false;
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int why = errno;
            ::close(fd);
            return fail(error, why) == 0;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
        // A file that grows while it is read is still no larger than allowed.
        if (out.size() > maxBytes) {
            ::close(fd);
            return fail(error, EFBIG) == 0;
        }
    }
    ::close(fd);
    return true;
}
