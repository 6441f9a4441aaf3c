// A serial line between two pseudo-terminals, paced in each direction with
// the unit simulator's own pacer: what lrzsz's sx and rx talk over in the
// upgrade benchmark, so both tools see the same line as korprog does.
//
//   korbench_relay BAUD LINK_A LINK_B
//
// LINK_A and LINK_B become symbolic links to the two terminals. Standard
// output gets one line per XMODEM milestone of the A-to-B direction, with
// microseconds since the start: "packet1 T" when the first packet has
// crossed the line, "eot T" when the first EOT has, then "packets N". It
// ends on SIGINT or SIGTERM.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "korvansim/KsimPacer.h"
#include "korvansim/KsimRunner.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

const unsigned char SOH = 0x01, EOT = 0x04, NAK = 0x15;

struct End {
    int master = -1, slave = -1;
    std::string device, link;
    std::string pending;  // paced bytes not yet taken by the terminal

    bool open(const std::string& linkPath)
    {
        struct termios tio;
        std::memset(&tio, 0, sizeof tio);
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        char name[256];
        if (::openpty(&master, &slave, name, &tio, nullptr) != 0) return false;
        device = name;
        link = linkPath;
        ::unlink(link.c_str());
        return ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) == 0 &&
               ::symlink(device.c_str(), link.c_str()) == 0;
    }
    ~End()
    {
        if (!link.empty()) ::unlink(link.c_str());
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
    }
};

// Follows the A-to-B bytes as XMODEM: packets of 128 data bytes with a
// checksum (or a CRC when the receiver asked with 'C'), then EOT.
class Tracker {
public:
    explicit Tracker(int64_t startUs) : _startUs(startUs) {}
    void fromReceiver(char c)
    {
        if (c == 'C') _crc = true;
        if (static_cast<unsigned char>(c) == NAK && _packets == 0) _crc = false;
    }
    void delivered(const std::string& bytes, int64_t now)
    {
        for (char ch : bytes) {
            const unsigned char c = static_cast<unsigned char>(ch);
            if (_left > 0) {
                if (--_left == 0 && ++_packets == 1) say("packet1", now);
                continue;
            }
            if (c == SOH) _left = (_crc ? 133 : 132) - 1;
            else if (c == EOT && !_eot) {
                _eot = true;
                say("eot", now);
                std::printf("packets %d\n", _packets);
                std::fflush(stdout);
            }
        }
    }

private:
    void say(const char* what, int64_t now)
    {
        std::printf("%s %lld\n", what, static_cast<long long>(now - _startUs));
        std::fflush(stdout);
    }
    int64_t _startUs;
    bool _crc = false, _eot = false;
    int _left = 0, _packets = 0;
};

void moveOn(End& from, KsimPacer& pacer, End& to, int64_t now, std::string* taken)
{
    char buf[4096];
    ssize_t n;
    while ((n = ::read(from.master, buf, sizeof buf)) > 0) pacer.push(std::string(buf, size_t(n)), now);
    *taken = pacer.take(now);
    to.pending += *taken;
    if (!to.pending.empty()) {
        const ssize_t w = ::write(to.master, to.pending.data(), to.pending.size());
        if (w > 0) to.pending.erase(0, size_t(w));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s BAUD LINK_A LINK_B\n", argv[0]);
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const int baud = std::atoi(argv[1]);
    End a, b;
    if (!a.open(argv[2]) || !b.open(argv[3])) {
        std::fprintf(stderr, "korbench_relay: %s\n", std::strerror(errno));
        return 1;
    }
    KsimPacer ab(baud), ba(baud);
    const int64_t start = KsimRunner::nowUs();
    Tracker xmodem(start);
    std::printf("ready\n");
    std::fflush(stdout);
    while (!g_stop) {
        const int64_t now = KsimRunner::nowUs();
        std::string toB, toA;
        moveOn(a, ab, b, now, &toB);
        moveOn(b, ba, a, now, &toA);
        for (char c : toA) xmodem.fromReceiver(c);
        xmodem.delivered(toB, now);

        int64_t due = -1;
        for (int64_t t : {ab.nextDue(), ba.nextDue()})
            if (t >= 0 && (due < 0 || t < due)) due = t;
        struct pollfd fds[2] = {{a.master, short(POLLIN | (a.pending.empty() ? 0 : POLLOUT)), 0},
                                {b.master, short(POLLIN | (b.pending.empty() ? 0 : POLLOUT)), 0}};
        struct timespec ts;
        const int64_t after = KsimRunner::nowUs();
        const int64_t us = due < 0 ? 100000 : (due > after ? due - after : 0);
        ts.tv_sec = us / 1000000;
        ts.tv_nsec = (us % 1000000) * 1000;
        ::ppoll(fds, 2, &ts, nullptr);
    }
    return 0;
}
