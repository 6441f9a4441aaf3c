#include "bdebug/BClientSocketStream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

BClientSocketStream::BClientSocketStream() : _socket(-1) { std::memset(&_address, 0, sizeof _address); }

BClientSocketStream::~BClientSocketStream() { disconnect(); }

bool BClientSocketStream::connect(const std::string& address, int port)
{
    disconnect();
    _peer = address + ":" + std::to_string(port);
    if (port <= 0 || port > 65535) return unreachable("no such port");
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    // The one look-up that may wait: once, at start-up.
    const int rc = ::getaddrinfo(address.c_str(), nullptr, &hints, &found);
    if (rc != 0) return unreachable(::gai_strerror(rc));

    int err = 0;
    for (const addrinfo* a = found; a && _socket < 0; a = a->ai_next) {
        if (a->ai_family != AF_INET || a->ai_addrlen < sizeof(sockaddr_in)) continue;
        sockaddr_in addr;
        std::memcpy(&addr, a->ai_addr, sizeof addr);
        addr.sin_port = htons(uint16_t(port));
        const int s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s < 0) {
            err = errno;
            continue;
        }
        const int flags = ::fcntl(s, F_GETFL, 0);
        if (flags < 0 || ::fcntl(s, F_SETFL, flags | O_NONBLOCK) < 0 ||
            (::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 && errno != EINPROGRESS)) {
            err = errno;
            ::close(s);
            continue;
        }
        _socket = s;
        _address = addr;
    }
    ::freeaddrinfo(found);
    return _socket >= 0 || unreachable(err ? std::strerror(err) : "no IPv4 address");
}

bool BClientSocketStream::unreachable(const char* why)
{
    std::fprintf(stderr, "Remote debug console %s cannot be reached: %s\n", _peer.c_str(), why);
    disconnect();
    return false;
}

void BClientSocketStream::checkFailure(int err)
{
    if (err != EAGAIN && err != EWOULDBLOCK && err != EINTR) unreachable(std::strerror(err));
}

bool BClientSocketStream::disconnect()
{
    if (_socket >= 0) ::close(_socket);
    _socket = -1;
    return true;
}

bool BClientSocketStream::send(const std::string& text)
{
    if (_socket < 0) return false;
    // MSG_NOSIGNAL: a console that went away must not kill the program with SIGPIPE.
    const ssize_t n = ::send(_socket, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) checkFailure(errno);
    return n >= 0;
}

int BClientSocketStream::recv(std::string& text)
{
    if (_socket < 0) return 0;
    text.clear();
    char buf[RECV_MAX];
    const ssize_t n = ::recv(_socket, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0) checkFailure(errno);
    // The console closed its end: nothing more can come, and the socket
    // would report input forever.
    if (n == 0) unreachable("the console closed the connection");
    if (n <= 0) return 0;
    text.append(buf, size_t(n));
    return int(n);
}

BClientSocketStream& BClientSocketStream::sendf(const char* format, ...)
{
    char buf[64];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    send(buf);
    return *this;
}

BClientSocketStream& BClientSocketStream::operator<<(const std::string& s)
{
    send(s);
    return *this;
}

BClientSocketStream& BClientSocketStream::operator<<(const char* s)
{
    if (s) send(s);
    return *this;
}

// A NUL character is sent as the byte it is.
BClientSocketStream& BClientSocketStream::operator<<(char c)
{
    send(std::string(1, c));
    return *this;
}

BClientSocketStream& BClientSocketStream::operator<<(unsigned char c)
{
    send(std::string(1, char(c)));
    return *this;
}

BClientSocketStream& BClientSocketStream::operator<<(short v) { return sendf("%d", int(v)); }
BClientSocketStream& BClientSocketStream::operator<<(unsigned short v) { return sendf("%d", int(v)); }
BClientSocketStream& BClientSocketStream::operator<<(int v) { return sendf("%d", v); }
// "%u": "%d" would show values above INT_MAX as negative numbers.
BClientSocketStream& BClientSocketStream::operator<<(unsigned int v) { return sendf("%u", v); }
BClientSocketStream& BClientSocketStream::operator<<(long v) { return sendf("%li", v); }
BClientSocketStream& BClientSocketStream::operator<<(unsigned long v) { return sendf("%lu", v); }
BClientSocketStream& BClientSocketStream::operator<<(const void* p) { return sendf("%p", p); }

BClientSocketStream& BClientSocketStream::operator>>(std::string& text)
{
    recv(text);
    return *this;
}
