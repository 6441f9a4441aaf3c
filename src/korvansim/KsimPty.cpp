#include "korvansim/KsimPty.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

KsimPty::KsimPty() : _master(-1) {}

KsimPty::~KsimPty()
{
    removeLink();
    if (_master >= 0) ::close(_master);
}

bool KsimPty::open(std::string* error)
{
    struct termios tio;
    std::memset(&tio, 0, sizeof tio);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    int slave = -1;
    char name[PATH_MAX];
    if (::openpty(&_master, &slave, name, &tio, nullptr) != 0) {
        *error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    _device = name;
    // Only the program keeps the other end open (see peerOpen).
    ::close(slave);
    int flags = ::fcntl(_master, F_GETFL);
    if (flags < 0 || ::fcntl(_master, F_SETFL, flags | O_NONBLOCK) != 0 ||
        ::fcntl(_master, F_SETFD, FD_CLOEXEC) != 0) {
        *error = std::string("fcntl: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool KsimPty::makeLink(const std::string& path, std::string* error)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *error = path + " exists and is not a symbolic link; left alone";
            return false;
        }
        ::unlink(path.c_str());
    }
    if (::symlink(_device.c_str(), path.c_str()) != 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    _link = path;
    return true;
}

void KsimPty::removeLink()
{
    if (_link.empty()) return;
    char target[PATH_MAX];
    ssize_t n = ::readlink(_link.c_str(), target, sizeof target - 1);
    if (n >= 0) {
        target[n] = '\0';
        if (_device == target) ::unlink(_link.c_str());
    }
    _link.clear();
}

void KsimPty::close()
{
    removeLink();
    if (_master >= 0) ::close(_master);
    _master = -1;
}

bool KsimPty::peerOpen() const
{
    if (_master < 0) return false;
    struct pollfd p = {_master, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0) return false;
    return (p.revents & POLLHUP) == 0;
}

int KsimPty::read(char* buffer, int size)
{
    ssize_t n;
    do {
        n = ::read(_master, buffer, static_cast<size_t>(size));
    } while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<int>(n) : -1;
}

int KsimPty::write(const char* bytes, int size)
{
    ssize_t n;
    do {
        n = ::write(_master, bytes, static_cast<size_t>(size));
    } while (n < 0 && errno == EINTR);
    return n >= 0 ? static_cast<int>(n) : -1;
}
