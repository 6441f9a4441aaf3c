#include "korprog/conndrv/Data/TcpLine.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "helm/platform/BTimerTick.h"

namespace {

// A slice of a wait: the clock is looked at between slices.
const int SLICE_MS = 100;

} // namespace

TcpLine::TcpLine(Clock clock) : _clock(clock ? std::move(clock) : Clock([] { return bMonotonicMs(); })) {}

void TcpLine::abandon()
{
    if (_fd >= 0) ::close(_fd);
    _fd = -1;
    _connected = false;
    if (_found) ::freeaddrinfo(_found);
    _found = nullptr;
    _next = nullptr;
    _key.clear();
}

int TcpLine::take()
{
    const int fd = _connected ? _fd : -1;
    if (_connected) _fd = -1;
    abandon();
    return fd;
}

bool TcpLine::startNext(std::string* why)
{
    for (; _next; _next = _next->ai_next) {
        const addrinfo* ai = _next;
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) {
            *why = std::strerror(errno);
            continue;
        }
        // The unit's messages are short and every answer is waited for.
        const int on = 1;
        (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        (void)::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 || errno == EINPROGRESS) {
            _next = ai->ai_next;
            _fd = fd;
            return true;
        }
        *why = std::strerror(errno);
        ::close(fd);
    }
    return false;
}

TcpLine::Step TcpLine::connect(const NetAddress& address, int waitMs, std::string* why)
{
    std::string ignored;
    if (!why) why = &ignored;
    const std::string key = address.hostPort();
    if (_key != key || _connected) {
        abandon();
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        const std::string service = std::to_string(address.port);
        const int gai = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &_found);
        if (gai != 0) {
            *why = gai == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(gai);
            _found = nullptr;
            return FAILED;
        }
        _key = key;
        _next = _found;
        _started = _clock();
        if (!startNext(why)) {
            abandon();
            return FAILED;
        }
    }
    // Every address the name has, within the one limit; the limit is
    // looked at before the wait, so a wait as long as the limit fails at
    // its end rather than leaving the attempt pending.
    const int64_t waitEnd = _clock() + (waitMs > 0 ? waitMs : 0);
    const int64_t limitEnd = _started + CONNECT_LIMIT_MS;
    for (int64_t now = _clock();; now = _clock()) {
        int64_t slice = (waitEnd < limitEnd ? waitEnd : limitEnd) - now;
        if (slice > SLICE_MS) slice = SLICE_MS;
        if (slice < 0) slice = 0;
        struct pollfd p = {_fd, POLLOUT, 0};
        const int r = ::poll(&p, 1, static_cast<int>(slice));
        if (r < 0 && errno == EINTR) {
            // The program is told to end: no more waiting.
            *why = std::strerror(EINTR);
            abandon();
            return FAILED;
        }
        if (r > 0) {
            int err = 0;
            socklen_t len = sizeof err;
            if (::getsockopt(_fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            if (err == 0) {
                _connected = true;
                return CONNECTED;
            }
            *why = std::strerror(err);
            ::close(_fd);
            _fd = -1;
            if (!startNext(why)) {
                abandon();
                return FAILED;
            }
            continue;
        }
        const int64_t after = _clock();
        if (after >= limitEnd) {
            *why = std::strerror(ETIMEDOUT);
            abandon();
            return FAILED;
        }
        if (after >= waitEnd) return PENDING;
    }
}
