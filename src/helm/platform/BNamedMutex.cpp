#include "helm/platform/BNamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

std::string BNamedMutex::lockPath(const std::string& name)
{
    std::string safe;
    for (char c : name) safe += (c == '/' || c == '\0') ? '_' : c;
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir && *dir) return std::string(dir) + "/" + safe + ".lock";
    // /tmp is shared: a file of another user's there must not lock us out.
    return "/tmp/" + safe + "-" + std::to_string(::getuid()) + ".lock";
}

BNamedMutex::Result BNamedMutex::create(const std::string& name)
{
    const std::string path = lockPath(name);
    if (_fd >= 0 && path == _path) return CREATED;
    close();
    _path = path;
    _error = 0;
    // Never through a link someone else may have put in our place.
    _fd = ::open(_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (_fd < 0) {
        _error = errno;
        return FAILED;
    }
    if (::flock(_fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(_fd);
        _fd = -1;
        if (err == EWOULDBLOCK) return ALREADY_EXISTS;
        _error = err;
        return FAILED;
    }
    return CREATED;
}

void BNamedMutex::close()
{
    if (_fd >= 0) {
        // The lock file stays: removing it could let a third process lock a
        // fresh file while a second still holds the old one.
        ::flock(_fd, LOCK_UN);
        ::close(_fd);
        _fd = -1;
    }
}
