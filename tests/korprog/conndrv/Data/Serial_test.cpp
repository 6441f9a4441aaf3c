#include "korprog/conndrv/Data/Serial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The test plays the unit on the master side; the Serial opens the slave by
// name and is the only one holding it open.
struct Pty {
    int master = -1;
    std::string name;
    Pty()
    {
        int slave = -1;
        char buf[64];
        if (::openpty(&master, &slave, buf, nullptr, nullptr) == 0) {
            name = buf;
            ::close(slave);
        }
    }
    ~Pty() { ::close(master); }
};

// Waits (bounded) until `fd` has `count` bytes to read, then reads them.
std::string readBytes(int fd, int count)
{
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (static_cast<int>(got.size()) < count && std::chrono::steady_clock::now() < end) {
        struct pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char buf[512];
        ssize_t n = ::read(fd, buf, std::min(sizeof buf, static_cast<size_t>(count) - got.size()));
        if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

bool waitWaiting(Serial& s, int count)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (s.getNbrOfBytes() < count && std::chrono::steady_clock::now() < end) {
        struct pollfd p = {s.handle(), POLLIN, 0};
        ::poll(&p, 1, 20);
    }
    return s.getNbrOfBytes() >= count;
}

} // namespace

TEST(Serial, ClosedPortAndRefusedNames)
{
    Serial s;
    char buf[4];
    EXPECT_EQ(0, s.writePort("ab", 2));
    EXPECT_EQ(-1, s.readPort(buf, sizeof buf));
    EXPECT_EQ(0, s.getNbrOfBytes());
    EXPECT_FALSE(s.openPort("/dev/korprog-no-such-port"));
    EXPECT_EQ(Serial::INVALID_HANDLE, s.handle());
    // Too long for the preference field: refused, never cut to another device.
    for (const char* bad : {"", "LPT1", "/dev/pts/0123456789", "/dev/null"}) EXPECT_FALSE(s.openPort(bad)) << bad;
    EXPECT_FALSE(s.isOpen());

    char path[32];
    ASSERT_TRUE(Serial::devicePath("COM1", path, sizeof path));
    EXPECT_STREQ("/dev/ttyS0", path);
    ASSERT_TRUE(Serial::devicePath("com16", path, sizeof path));
    EXPECT_STREQ("/dev/ttyS15", path);
    for (const char* bad : {"COM0", "COM17", "COM01", "COM", "COM1x", "korvan0"})
        EXPECT_FALSE(Serial::devicePath(bad, path, sizeof path)) << bad;
}

TEST(Serial, OpensRaw9600_8N1WithoutFlowControlAndExclusive)
{
    Pty pty;
    Serial s;
    ASSERT_TRUE(s.openPort(pty.name.c_str()));
    EXPECT_EQ(pty.name, s.port());
    struct termios tio;
    ASSERT_EQ(0, ::tcgetattr(s.handle(), &tio));
    EXPECT_EQ(B9600, ::cfgetispeed(&tio));
    EXPECT_EQ(B9600, ::cfgetospeed(&tio));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), tio.c_cflag & CSIZE);
    EXPECT_EQ(0u, tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_EQ(0u, tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INPCK));
    EXPECT_EQ(0u, tio.c_oflag & OPOST);
    EXPECT_EQ(0u, tio.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_EQ(0, tio.c_cc[VMIN]);
    EXPECT_EQ(0, tio.c_cc[VTIME]);
    int excl = 0;
    ASSERT_EQ(0, ::ioctl(s.handle(), TIOCGEXCL, &excl));
    EXPECT_NE(0, excl);
    Serial other;
    EXPECT_FALSE(other.openPort(pty.name.c_str())) << "a second user is turned away";
}

TEST(Serial, ReadsNeverWaitAndTakeAtMostTheMaximum)
{
    Pty pty;
    Serial s;
    ASSERT_TRUE(s.openPort(pty.name.c_str()));
    char buf[16];
    EXPECT_EQ(-1, s.readPort(buf, sizeof buf)); // a blocking read would hang here
    ASSERT_EQ(10, ::write(pty.master, "0123456789", 10));
    ASSERT_TRUE(waitWaiting(s, 10));
    EXPECT_EQ(4, s.readPort(buf, 4));
    EXPECT_EQ(0, std::memcmp(buf, "0123", 4));
    EXPECT_EQ(6, s.getNbrOfBytes());
    EXPECT_EQ('4', s.getChar());
    EXPECT_EQ(5, s.readPort(buf, sizeof buf));
    EXPECT_EQ(-1, s.readPort(buf, sizeof buf));
}

TEST(Serial, EveryByteValuePassesUnchangedBothWays)
{
    Pty pty;
    Serial s;
    ASSERT_TRUE(s.openPort(pty.name.c_str()));
    // CR, LF, XON, XOFF and the protocol's control bytes must not be
    // translated or swallowed by the line discipline.
    std::string all;
    for (int i = 0; i < 512; ++i) all += static_cast<char>(i & 0xFF);
    EXPECT_EQ(512, s.writePort(all.data(), 512));
    EXPECT_EQ(all, readBytes(pty.master, 512));
    ASSERT_EQ(512, ::write(pty.master, all.data(), all.size()));
    ASSERT_TRUE(waitWaiting(s, 512));
    std::string got(512, '\0');
    EXPECT_EQ(512, s.readPort(&got[0], 600));
    EXPECT_EQ(all, got);
}

TEST(Serial, OpeningAgainClosesThePreviousPortFirst)
{
    Pty a, b;
    Serial s;
    ASSERT_TRUE(s.openPort(a.name.c_str()));
    ASSERT_TRUE(s.openPort(b.name.c_str()));
    struct pollfd p = {a.master, POLLIN, 0};
    ASSERT_EQ(1, ::poll(&p, 1, 1000));
    EXPECT_NE(0, p.revents & POLLHUP) << "port a was closed";
    // Exclusivity is released with the close: the port opens again.
    ASSERT_TRUE(s.openPort(a.name.c_str()));
    s.closePort();
    Serial other;
    EXPECT_TRUE(other.openPort(a.name.c_str()));
}
