#include "korprog/conndrv/Data/Serial.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <termios.h>

#include "support/ForeignPortHolder.h"
#include "support/KvPty.h"

TEST(Serial, ClosedPortAndRefusedNames)
{
    Serial s;
    char buf[4];
    EXPECT_EQ(0, s.writePort("ab", 2));
    EXPECT_EQ(-1, s.readPort(buf, sizeof buf));
    EXPECT_EQ(0, s.getNbrOfBytes());
    EXPECT_FALSE(s.openPort("/dev/korprog-no-such-port"));
    EXPECT_EQ(Serial::INVALID_HANDLE, s.handle());
    // Longer than a port name may be: refused, never cut to another device.
    const std::string tooLong = "/dev/" + std::string(Serial::PORTNAME_MAX - 4, 'x');
    for (const char* bad : {"", "LPT1", "/dev/pts/0123456789", "/dev/null", tooLong.c_str()})
        EXPECT_FALSE(s.openPort(bad)) << bad;
    EXPECT_FALSE(s.isOpen());

    char path[32];
    ASSERT_TRUE(Serial::devicePath("COM1", path, sizeof path));
    EXPECT_STREQ("/dev/ttyS0", path);
    ASSERT_TRUE(Serial::devicePath("com16", path, sizeof path));
    EXPECT_STREQ("/dev/ttyS15", path);
    for (const char* bad : {"COM0", "COM17", "COM01", "COM", "COM1x", "korvan0"})
        EXPECT_FALSE(Serial::devicePath(bad, path, sizeof path)) << bad;
}

TEST(Serial, AFailedOpenSaysWhy)
{
    KvPty pty, other;
    Serial holder, s;
    ASSERT_TRUE(holder.openPort(pty.name.c_str()));
    ForeignPortHolder foreign(other.name);
    ASSERT_TRUE(foreign.held());
    const struct {
        std::string port;
        Serial::OpenFault fault;
    } cases[] = {{"", Serial::NO_PORT_NAME},
                 {"/dev/korprog-no-such-port", Serial::NO_SUCH_PORT},
                 {"LPT1", Serial::NO_SUCH_PORT},
                 {"/dev/null", Serial::NOT_A_SERIAL_PORT},
                 {pty.name, Serial::PORT_LOCKED},
                 {other.name, Serial::PORT_BUSY}};
    for (const auto& c : cases) {
        EXPECT_FALSE(s.openPort(c.port.c_str())) << c.port;
        EXPECT_EQ(c.fault, s.openFault()) << c.port;
    }
    // A user outside the dialout group gets EACCES, which root never sees.
    EXPECT_EQ(Serial::NO_PERMISSION, Serial::faultOf(EACCES));
    EXPECT_EQ(Serial::NOT_A_SERIAL_PORT, Serial::faultOf(EIO)) << "a ttyS without a port behind it";
    holder.closePort();
    ASSERT_TRUE(s.openPort(pty.name.c_str()));
    EXPECT_EQ(Serial::OPEN_OK, s.openFault());
}

TEST(Serial, OpensRaw9600_8N1WithoutFlowControlExclusiveAndClosesBeforeReopening)
{
    KvPty pty, b;
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
    Serial other;
    EXPECT_FALSE(other.openPort(pty.name.c_str())) << "a second user is turned away";

    ASSERT_TRUE(s.openPort(b.name.c_str()));
    struct pollfd p = {pty.master, POLLIN, 0};
    ASSERT_EQ(1, ::poll(&p, 1, 1000));
    EXPECT_NE(0, p.revents & POLLHUP) << "the first port was closed";
    EXPECT_TRUE(other.openPort(pty.name.c_str())) << "and its exclusivity released";
}

TEST(Serial, ReadsNeverWaitAndEveryByteValuePassesUnchangedBothWays)
{
    KvPty pty;
    Serial s;
    ASSERT_TRUE(s.openPort(pty.name.c_str()));
    char buf[16];
    EXPECT_EQ(-1, s.readPort(buf, sizeof buf));  // a blocking read would hang here
    ASSERT_TRUE(pty.deliver(text("0123456789"), s.handle()));
    EXPECT_EQ(4, s.readPort(buf, 4));
    EXPECT_EQ(0, std::memcmp(buf, "0123", 4));
    EXPECT_EQ(6, s.getNbrOfBytes());
    EXPECT_EQ('4', s.getChar());
    EXPECT_EQ(5, s.readPort(buf, sizeof buf));
    EXPECT_EQ(-1, s.readPort(buf, sizeof buf));

    // CR, LF, XON, XOFF and the protocol's control bytes must not be
    // translated or swallowed by the line discipline.
    Bytes all(512);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(512, s.writePort(reinterpret_cast<const char*>(all.data()), 512));
    EXPECT_EQ(all, pty.read(512));
    ASSERT_TRUE(pty.deliver(all, s.handle()));
    Bytes got(600);
    EXPECT_EQ(512, s.readPort(reinterpret_cast<char*>(got.data()), 600));
    got.resize(512);
    EXPECT_EQ(all, got);
}
