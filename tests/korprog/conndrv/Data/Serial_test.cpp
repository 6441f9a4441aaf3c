#include "korprog/conndrv/Data/Serial.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A pseudo-terminal pair: the test plays the unit on the master side and
// the Serial opens the slave by name. The slave fd openpty gives us is
// closed so the Serial is the only one with the device open.
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
    ~Pty()
    {
        if (master >= 0) ::close(master);
    }
};

// Waits (bounded) until `fd` has at least `count` bytes to read.
bool waitForBytes(int fd, int count, int timeoutMs = 2000)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int n = 0;
        if (::ioctl(fd, FIONREAD, &n) == 0 && n >= count) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        struct pollfd p = {fd, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left.count() < 20 ? left.count() : 20));
    }
}

std::string readAll(int fd, int count, int timeoutMs = 2000)
{
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (static_cast<int>(got.size()) < count && std::chrono::steady_clock::now() < end) {
        struct pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
            char buf[512];
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) got.append(buf, static_cast<size_t>(n));
        }
    }
    return got;
}

} // namespace

TEST(Serial, NewPortIsClosedAndRefusesIo)
{
    Serial s;
    EXPECT_FALSE(s.isOpen());
    EXPECT_STREQ("", s.port());
    char buf[4];
    EXPECT_EQ(0, s.writePort("ab", 2));
    EXPECT_EQ(-1, s.readPort(buf, sizeof buf));
    EXPECT_EQ(0, s.getArray(buf, sizeof buf));
    EXPECT_EQ(0, s.getNbrOfBytes());
    EXPECT_EQ(0, s.getChar());
    s.closePort(); // harmless when closed
}

TEST(Serial, MissingOrBadPortNamesAreRefused)
{
    Serial s;
    EXPECT_FALSE(s.openPort("/dev/korprog-no-such-port"));
    EXPECT_FALSE(s.isOpen());
    EXPECT_EQ(Serial::INVALID_HANDLE, s.handle());
    EXPECT_FALSE(s.openPort(""));
    EXPECT_FALSE(s.openPort(nullptr));
    EXPECT_FALSE(s.openPort("LPT1"));
    // A name longer than the preference field is refused, not cut to another device.
    EXPECT_FALSE(s.openPort("/dev/pts/0123456789"));
    // Not a terminal: the line settings cannot be applied.
    EXPECT_FALSE(s.openPort("/dev/null"));
    EXPECT_FALSE(s.isOpen());
}

TEST(Serial, ComNamesMapToSerialDevices)
{
    char path[32];
    ASSERT_TRUE(Serial::devicePath("COM1", path, sizeof path));
    EXPECT_STREQ("/dev/ttyS0", path);
    ASSERT_TRUE(Serial::devicePath("COM16", path, sizeof path));
    EXPECT_STREQ("/dev/ttyS15", path);
    ASSERT_TRUE(Serial::devicePath("com3", path, sizeof path));
    EXPECT_STREQ("/dev/ttyS2", path);
    ASSERT_TRUE(Serial::devicePath("/tmp/korvan0", path, sizeof path));
    EXPECT_STREQ("/tmp/korvan0", path);
    for (const char* bad : {"COM0", "COM17", "COM01", "COM", "COM1x", "COM123", "ttyS0", "korvan0"})
        EXPECT_FALSE(Serial::devicePath(bad, path, sizeof path)) << bad;
    // The destination is never overrun.
    char tiny[8];
    EXPECT_FALSE(Serial::devicePath("/tmp/korvan0", tiny, sizeof tiny));
}

TEST(Serial, OpensRaw9600_8N1WithoutFlowControlAndExclusive)
{
    Pty pty;
    ASSERT_GE(pty.master, 0);
    Serial s;
    ASSERT_TRUE(s.openPort(pty.name.c_str()));
    EXPECT_TRUE(s.isOpen());
    EXPECT_EQ(pty.name, s.port());

    struct termios tio;
    ASSERT_EQ(0, ::tcgetattr(s.handle(), &tio));
    EXPECT_EQ(B9600, ::cfgetispeed(&tio));
    EXPECT_EQ(B9600, ::cfgetospeed(&tio));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), tio.c_cflag & CSIZE);
    EXPECT_EQ(0u, tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_NE(0u, tio.c_cflag & CLOCAL);
    EXPECT_NE(0u, tio.c_cflag & CREAD);
    EXPECT_EQ(0u, tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK));
    EXPECT_EQ(0u, tio.c_oflag & OPOST);
    EXPECT_EQ(0u, tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    EXPECT_EQ(0, tio.c_cc[VMIN]);
    EXPECT_EQ(0, tio.c_cc[VTIME]);

    int excl = 0;
    ASSERT_EQ(0, ::ioctl(s.handle(), TIOCGEXCL, &excl));
    EXPECT_NE(0, excl);
    // A second user of the same port is turned away.
    Serial other;
    EXPECT_FALSE(other.openPort(pty.name.c_str()));
    EXPECT_TRUE(s.isOpen());
}

TEST(Serial, ReadsNeverWaitAndTakeAtMostTheMaximum)
{
    Pty pty;
    Serial s;
    ASSERT_TRUE(s.openPort(pty.name.c_str()));
    char buf[16];
    // Nothing received: -1 at once (a blocking read would hang the test here).
    EXPECT_EQ(-1, s.readPort(buf, sizeof buf));
    EXPECT_EQ(0, s.getArray(buf, sizeof buf));

    ASSERT_EQ(10, ::write(pty.master, "0123456789", 10));
    ASSERT_TRUE(waitForBytes(s.handle(), 10));
    EXPECT_EQ(10, s.getNbrOfBytes());
    EXPECT_EQ(4, s.readPort(buf, 4));
    EXPECT_EQ(0, std::memcmp(buf, "0123", 4));
    EXPECT_EQ(6, s.getNbrOfBytes());
    EXPECT_EQ('4', s.getChar());
    EXPECT_EQ(5, s.readPort(buf, sizeof buf));
    EXPECT_EQ(0, std::memcmp(buf, "56789", 5));
    EXPECT_EQ(-1, s.readPort(buf, sizeof buf));
    EXPECT_EQ(-1, s.readPort(buf, 0));
}

TEST(Serial, AllByteValuesPassUnchangedBothWays)
{
    Pty pty;
    Serial s;
    ASSERT_TRUE(s.openPort(pty.name.c_str()));
    // Control bytes of the protocol, CR/LF, XON/XOFF and 0xFF must not be
    // translated or swallowed by the line discipline.
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    std::string twice = all + all;
    EXPECT_EQ(static_cast<int>(twice.size()), s.writePort(twice.data(), static_cast<int>(twice.size())));
    EXPECT_EQ(twice, readAll(pty.master, static_cast<int>(twice.size())));

    ASSERT_EQ(256, ::write(pty.master, all.data(), all.size()));
    ASSERT_TRUE(waitForBytes(s.handle(), 256));
    std::string got;
    char buf[100];
    int n;
    while ((n = s.readPort(buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
    EXPECT_EQ(all, got);
    EXPECT_EQ(1, s.sendChar('\x06'));
    EXPECT_EQ(std::string("\x06"), readAll(pty.master, 1));
}

TEST(Serial, OpeningAgainClosesThePreviousPortFirst)
{
    Pty a, b;
    Serial s;
    ASSERT_TRUE(s.openPort(a.name.c_str()));
    ASSERT_TRUE(s.openPort(b.name.c_str()));
    EXPECT_EQ(b.name, s.port());
    // Port a was closed: its master sees the hang-up.
    struct pollfd p = {a.master, POLLIN, 0};
    ASSERT_EQ(1, ::poll(&p, 1, 1000));
    EXPECT_NE(0, p.revents & POLLHUP);
    // The same port can be opened again and again (exclusivity is released).
    ASSERT_TRUE(s.openPort(b.name.c_str()));
    ASSERT_TRUE(s.openPort(a.name.c_str()));
    s.closePort();
    EXPECT_FALSE(s.isOpen());
    Serial other;
    EXPECT_TRUE(other.openPort(a.name.c_str()));
}

TEST(Serial, ConnectAppliesOtherSettingsAndRefusesRatesWithoutDeviceSpeed)
{
    Pty pty;
    Serial s;
    Serial::Handle h = s.connect(pty.name.c_str(), Serial::R_19200, Serial::EVEN, Serial::TWO, Serial::SEVEN);
    ASSERT_NE(Serial::INVALID_HANDLE, h);
    struct termios tio;
    ASSERT_EQ(0, ::tcgetattr(h, &tio));
    EXPECT_EQ(B19200, ::cfgetospeed(&tio));
    // A pseudo-terminal forces 8 bits without parity; what it keeps shows the
    // other settings were applied.
    EXPECT_NE(0u, tio.c_cflag & CSTOPB);
    EXPECT_NE(0u, tio.c_iflag & INPCK);
    EXPECT_EQ(Serial::INVALID_HANDLE,
              s.connect(pty.name.c_str(), Serial::R_56000, Serial::NONE, Serial::ONE, Serial::EIGHT));
    EXPECT_FALSE(s.isOpen());
}
