#ifndef TESTS_SUPPORT_KVPTY_H
#define TESTS_SUPPORT_KVPTY_H

// A pseudo-terminal whose master side plays the unit; the program opens the
// slave by name and is the only one holding it open. Waits are bounded polls
// on descriptors, never on a clock.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

typedef std::vector<uint8_t> Bytes;

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Fills a terminal from the program's side (writer, opened non-blocking)
// until its other side (master, which nobody reads) holds all it will take:
// a unit that stopped reading, or a hung adapter. Returns the bytes written.
inline size_t stuffUntilFull(int writer, int master)
{
    const std::string junk(4096, 'f');
    size_t total = 0;
    for (;;) {
        for (ssize_t n; (n = ::write(writer, junk.data(), junk.size())) > 0;) total += static_cast<size_t>(n);
        // The terminal moves bytes on to its reading side in the background:
        // it is full once that has settled and still nothing fits.
        int held = -1;
        for (int same = 0; same < 5;) {
            int now = 0;
            ::ioctl(master, FIONREAD, &now);
            same = now == held ? same + 1 : 0;
            held = now;
            ::poll(nullptr, 0, 10);
        }
        if (::write(writer, junk.data(), 1) <= 0) return total;
        ++total;
    }
}

class KvPty {
public:
    KvPty()
    {
        int slave = -1;
        char buf[64];
        if (::openpty(&master, &slave, buf, nullptr, nullptr) == 0) {
            name = buf;
            ::close(slave);
        }
    }
    ~KvPty()
    {
        if (master >= 0) ::close(master);
    }
    // Writes and waits until fd (the program's side) holds all the bytes,
    // so that its next read takes them at once.
    bool deliver(const Bytes& b, int fd) const
    {
        int before = 0;
        ::ioctl(fd, FIONREAD, &before);
        if (::write(master, b.data(), b.size()) != static_cast<ssize_t>(b.size())) return false;
        for (int i = 0; i < 600; ++i) {
            int n = 0;
            if (::ioctl(fd, FIONREAD, &n) == 0 && n >= before + static_cast<int>(b.size())) return true;
            struct pollfd p = {fd, POLLIN, 0};
            ::poll(&p, 1, 5);
        }
        return false;
    }
    // What the program wrote: count bytes, or less when timeoutMs passed.
    Bytes read(size_t count, int timeoutMs = 3000) const
    {
        Bytes got;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count && std::chrono::steady_clock::now() < end) {
            struct pollfd p = {master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            uint8_t buf[4096];
            ssize_t n = ::read(master, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    int master = -1;
    std::string name;
};

#endif
