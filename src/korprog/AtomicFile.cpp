#include "korprog/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

AtomicFile::AtomicFile(const std::string& target) : _target(target), _fd(nullptr) {}

AtomicFile::~AtomicFile() { discard(); }

FILE* AtomicFile::open()
{
    discard();
    if (_target.empty()) return nullptr;
    struct stat st;
    const bool exists = ::stat(_target.c_str(), &st) == 0;
    if (exists && (!S_ISREG(st.st_mode) || ::access(_target.c_str(), W_OK) != 0)) return nullptr;
    std::string temp = _target + ".XXXXXX";
    const int fd = ::mkstemp(&temp[0]);
    if (fd < 0) return nullptr;
    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    _fd = ::fdopen(fd, "wb");
    if (!_fd) {
        ::close(fd);
        ::unlink(temp.c_str());
        return nullptr;
    }
    _temp = temp;
    return _fd;
}

bool AtomicFile::commit()
{
    if (!_fd) return false;
    bool ok = std::ferror(_fd) == 0;
    ok = std::fflush(_fd) == 0 && ok;
    ok = ::fsync(::fileno(_fd)) == 0 && ok;
    ok = std::fclose(_fd) == 0 && ok;
    _fd = nullptr;
    ok = ok && std::rename(_temp.c_str(), _target.c_str()) == 0;
    if (!ok) ::unlink(_temp.c_str());
    _temp.clear();
    return ok;
}

void AtomicFile::discard()
{
    if (_fd) std::fclose(_fd);
    _fd = nullptr;
    if (!_temp.empty()) ::unlink(_temp.c_str());
    _temp.clear();
}
