#include "korprog/conndrv/Data/PortLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "helm/platform/BNamedMutex.h"
#include "helm/platform/BTimerTick.h"

namespace {

const int RETRY_MS = 20;

bool lockNb(int fd, int how)
{
    int r;
    while ((r = ::flock(fd, how | LOCK_NB)) != 0 && errno == EINTR) {
    }
    return r == 0;
}

bool alive(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

} // namespace

std::string PortLock::fileFor(const char* path)
{
    struct stat st;
    if (!path || !*path || ::stat(path, &st) != 0 || !S_ISCHR(st.st_mode)) return "";
    char name[64];
    std::snprintf(name, sizeof name, "korprog-port-%u.%u", ::major(st.st_rdev), ::minor(st.st_rdev));
    return BNamedMutex::lockPath(name);
}

pid_t PortLock::readHolder(int fd)
{
    // The holder writes its pid right after it took the lock: a reader
    // that comes in between, or finds the pid of a holder that died
    // without clearing it, tries again for a moment.
    for (int tries = 0; tries < 10; ++tries) {
        char text[24] = {0};
        const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
        const pid_t pid = n > 0 ? static_cast<pid_t>(std::strtol(text, nullptr, 10)) : 0;
        if (alive(pid)) return pid;
        bSleepMs(RETRY_MS);
    }
    return 0;
}

std::string PortLock::fileForNet(const std::string& hostPort)
{
    // One file name per HOST:PORT, whatever its characters: the host's
    // case and an IPv6 address's colons do not make another port.
    std::string name = "korprog-net-";
    for (char c : hostPort)
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ? char(std::tolower(static_cast<unsigned char>(c))) : '_';
    return BNamedMutex::lockPath(name.c_str());
}

PortLock::Result PortLock::take(const char* path, bool exclusive)
{
    return takeFile(fileFor(path), exclusive);
}

PortLock::Result PortLock::takeNet(const std::string& hostPort, bool exclusive)
{
    return takeFile(fileForNet(hostPort), exclusive);
}

PortLock::Result PortLock::takeFile(const std::string& file, bool exclusive)
{
    release();
    _holder = 0;
    if (file.empty()) return NO_LOCK;
    // Never through a link someone else may have put in our place.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return NO_LOCK;
    for (int waited = 0;; waited += RETRY_MS) {
        if (lockNb(fd, exclusive ? LOCK_EX : LOCK_SH)) break;
        // Only looks hold it when a shared lock is to be had: they end soon.
        const bool looksOnly = exclusive && lockNb(fd, LOCK_SH);
        if (looksOnly) ::flock(fd, LOCK_UN);
        if (!looksOnly || waited >= LOOK_WAIT_MS) {
            if (!looksOnly) _holder = readHolder(fd);
            ::close(fd);
            return HELD;
        }
        bSleepMs(RETRY_MS);
    }
    if (exclusive) {
        char text[24];
        const int n = std::snprintf(text, sizeof text, "%ld\n", static_cast<long>(::getpid()));
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text, static_cast<size_t>(n), 0) != n) {
            // The lock holds all the same; only the name of its holder is missing.
        }
    }
    _fd = fd;
    _exclusive = exclusive;
    return TAKEN;
}

void PortLock::release()
{
    if (_fd < 0) return;
    // A run that finds the file after us must not name us.
    if (_exclusive) (void)::ftruncate(_fd, 0);
    ::close(_fd);
    _fd = -1;
}
