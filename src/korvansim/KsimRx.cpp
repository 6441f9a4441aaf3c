#include "korvansim/KsimRx.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

KsimRx::~KsimRx()
{
    if (_pid > 0) {
        ::kill(_pid, SIGTERM);
        ::waitpid(_pid, nullptr, 0);
        _pid = -1;
    }
    closeAll();
}

void KsimRx::closeAll()
{
    if (_master >= 0) ::close(_master);
    if (_slave >= 0) ::close(_slave);
    _master = _slave = -1;
    _pending.clear();
}

bool KsimRx::start(const std::string& program, const std::string& file, std::string* error)
{
    closeAll();
    struct termios tio;
    std::memset(&tio, 0, sizeof tio);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    char name[PATH_MAX];
    if (::openpty(&_master, &_slave, name, &tio, nullptr) != 0) {
        *error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    ::fcntl(_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(_slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(_master, F_SETFL, ::fcntl(_master, F_GETFL) | O_NONBLOCK);
    // It takes no path with a directory in it: it writes where it runs.
    // Made before the fork, which must not allocate.
    const size_t slash = file.rfind('/');
    const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    const pid_t pid = ::fork();
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        closeAll();
        return false;
    }
    if (pid == 0) {
        ::setsid();
        const int line = ::open(name, O_RDWR);  // the receiver's controlling terminal
        if (line < 0 || ::dup2(line, 0) < 0 || ::dup2(line, 1) < 0) ::_exit(127);
        if (line > 1) ::close(line);
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        // Four seconds before it asks again: it empties its input right
        // after each answer, and a packet that came before that is lost;
        // shorter, a loaded machine makes it count errors until it gives up.
        const char* argv[] = {program.c_str(), "-X", "-b", "-y", "-q", "-t", "40", base.c_str(), nullptr};
        ::execvp(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    _pid = pid;
    return true;
}

void KsimRx::write(const std::string& bytes)
{
    _pending += bytes;
    flush();
}

void KsimRx::flush()
{
    while (!_pending.empty() && _master >= 0) {
        const ssize_t w = ::write(_master, _pending.data(), _pending.size());
        if (w <= 0) return;
        _pending.erase(0, static_cast<size_t>(w));
    }
}

std::string KsimRx::read(bool* ended, int* status)
{
    *ended = false;
    std::string out;
    if (_master < 0) return out;
    flush();
    char buf[1024];
    ssize_t n;
    while ((n = ::read(_master, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    if (_pid <= 0) return out;
    int st = 0;
    if (::waitpid(_pid, &st, WNOHANG) != _pid) return out;
    // Gone: what it wrote last is read before the terminal goes.
    while ((n = ::read(_master, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    _pid = -1;
    *ended = true;
    *status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + (WIFSIGNALED(st) ? WTERMSIG(st) : 0);
    closeAll();
    return out;
}
