#include "helm/platform/BNamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

std::string BNamedMutex::lockPath(const std::string& name)
{
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string base = (dir && *dir) ? dir : "/tmp";
    std::string safe;
    for (char c : name) safe += (c == '/' || c == '\0') ? '_' : c;
    return base + "/" + safe + ".lock";
}

BNamedMutex::Result BNamedMutex::create(const std::string& name)
{
    close();
    _path = lockPath(name);
    _fd = ::open(_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (_fd < 0) return FAILED;
    if (::flock(_fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(_fd);
        _fd = -1;
        return busy ? ALREADY_EXISTS : FAILED;
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
