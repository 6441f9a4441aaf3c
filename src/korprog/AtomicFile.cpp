#include "korprog/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// As many links as the kernel follows.
const int MAX_LINKS = 40;

// The file a path names once its links are followed, even when that file
// does not exist yet; "" (ELOOP) for a loop.
std::string followLinks(const std::string& target)
{
    fs::path p = target;
    for (int hops = 0; hops <= MAX_LINKS; ++hops) {
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
        std::error_code ec;
        const fs::path to = fs::read_symlink(p, ec);
        if (ec) return p.string();
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    errno = ELOOP;
    return "";
}

}  // namespace

AtomicFile::AtomicFile(const std::string& target) : _target(target), _fd(nullptr), _error(0) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::fail(int error)
{
    _error = error ? error : EIO;
    return false;
}

FILE* AtomicFile::open()
{
    discard();
    _error = 0;
    if (_target.empty()) return fail(ENOENT), nullptr;
    _path = followLinks(_target);
    if (_path.empty()) return fail(errno), nullptr;
    struct stat st;
    const bool exists = ::stat(_path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL), nullptr;
    if (exists && ::access(_path.c_str(), W_OK) != 0) return fail(errno), nullptr;
    std::string temp = _path + ".XXXXXX";
    const int fd = ::mkstemp(&temp[0]);
    if (fd < 0) return fail(errno), nullptr;
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
        fail(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return nullptr;
    }
    _temp = temp;
    return _fd;
}

bool AtomicFile::commit()
{
    if (!_fd) return _error ? false : fail(EBADF);
    // A failed write of the stream itself left no errno behind.
    bool ok = std::ferror(_fd) == 0 || fail(EIO);
    ok = (std::fflush(_fd) == 0 || fail(errno)) && ok;
    ok = (::fsync(::fileno(_fd)) == 0 || fail(errno)) && ok;
    ok = (std::fclose(_fd) == 0 || fail(errno)) && ok;
    _fd = nullptr;
    ok = ok && (std::rename(_temp.c_str(), _path.c_str()) == 0 || fail(errno));
    if (!ok) ::unlink(_temp.c_str());
    _temp.clear();
    return ok;
}

bool AtomicFile::write(const void* data, size_t size)
{
    FILE* f = open();
    if (!f) return false;
    if (size > 0 && std::fwrite(data, 1, size, f) != size) {
        fail(errno);
        discard();
        return false;
    }
    return commit();
}

void AtomicFile::discard()
{
    if (_fd) std::fclose(_fd);
    _fd = nullptr;
    if (!_temp.empty()) ::unlink(_temp.c_str());
    _temp.clear();
}
