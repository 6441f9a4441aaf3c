#include "korprog/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
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

const char* const TEMP_SUFFIX = ".XXXXXX";
const size_t TEMP_CHARS = 6;
// The kinds of file we write whole, by their ending: preferences, editor
// layout and language, help pages and logo, trace commands, packs and
// restrictions, settings files.
const char* const OURS[] = {".ini", ".csv", ".html", ".gif", ".txt", ".rst", ".rpa", ".RPA", ".adn"};
// A file under way younger than this may be one whose writer has not
// locked it yet.
const time_t SETTLE_S = 2;

bool endsWith(const std::string& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    return s.size() > n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& target) : _target(target), _fd(nullptr), _lock(-1), _error(0) {}

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
    std::string temp = _path + TEMP_SUFFIX;
    const int fd = ::mkstemp(&temp[0]);
    if (fd < 0) return fail(errno), nullptr;
    // Tells a start that cleans up that this file is no leftover.
    _lock = ::dup(fd);
    if (_lock >= 0) ::flock(_lock, LOCK_EX | LOCK_NB);
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
        unlock();
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
    unlock();
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
    unlock();
}

void AtomicFile::unlock()
{
    if (_lock >= 0) ::close(_lock);
    _lock = -1;
}

bool AtomicFile::isTemporary(const std::string& name)
{
    const size_t n = std::strlen(TEMP_SUFFIX);
    if (name.size() <= n || name[name.size() - n] != '.') return false;
    for (size_t i = name.size() - TEMP_CHARS; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    const std::string target = name.substr(0, name.size() - n);
    for (const char* ending : OURS)
        if (endsWith(target, ending)) return true;
    return false;
}

int AtomicFile::removeLeftovers(const std::string& dir)
{
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string path = it->path().string();
        struct stat st;
        if (!isTemporary(it->path().filename().string()) || ::lstat(path.c_str(), &st) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || std::time(nullptr) - st.st_mtime < SETTLE_S)
            continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        // A writer that is alive holds its lock.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0) ++removed;
        ::close(fd);
    }
    return removed;
}
