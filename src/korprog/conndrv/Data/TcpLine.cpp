#include "korprog/conndrv/Data/TcpLine.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "helm/platform/BTimerTick.h"

namespace {

// A slice of the wait: the clock is looked at between slices.
const int SLICE_MS = 100;

int connectOne(const addrinfo* ai, std::string* why, int limitMs, const TcpLine::Clock& clock)
{
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
        *why = std::strerror(errno);
        return -1;
    }
    // The unit's messages are short and every answer is waited for.
    const int on = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    (void)::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    int err = 0;
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) err = errno;
    if (err == EINPROGRESS) {
        const int64_t end = clock() + limitMs;
        err = ETIMEDOUT;
        for (int64_t now = clock(); now < end; now = clock()) {
            struct pollfd p = {fd, POLLOUT, 0};
            const int64_t left = end - now;
            const int r = ::poll(&p, 1, static_cast<int>(left < SLICE_MS ? left : SLICE_MS));
            if (r < 0 && errno == EINTR) {
                err = EINTR;
                break;
            }
            if (r <= 0) continue;
            socklen_t len = sizeof err;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            break;
        }
    }
    if (err) {
        ::close(fd);
        *why = std::strerror(err);
        return -1;
    }
    return fd;
}

} // namespace

int TcpLine::connect(const NetAddress& address, std::string* why, int limitMs, const Clock& clock)
{
    std::string ignored;
    if (!why) why = &ignored;
    const Clock now = clock ? clock : Clock([] { return bMonotonicMs(); });
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    const int gai = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
    if (gai != 0) {
        *why = gai == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(gai);
        return -1;
    }
    // Every address the name has, within the one limit.
    const int64_t end = now() + limitMs;
    int fd = -1;
    for (const addrinfo* ai = found; ai && fd < 0; ai = ai->ai_next) {
        const int64_t left = end - now();
        if (left <= 0) {
            *why = std::strerror(ETIMEDOUT);
            break;
        }
        fd = connectOne(ai, why, static_cast<int>(left), now);
        if (fd < 0 && *why == std::strerror(EINTR)) break;
    }
    ::freeaddrinfo(found);
    return fd;
}
