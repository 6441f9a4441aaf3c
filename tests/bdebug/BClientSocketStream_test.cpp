// The remote debug console over a loopback TCP server.

#include "TraceTestKit.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "bdebug/BAssert.h"

namespace tracetest {
namespace {

// Bounded wait until `fd` has `bytes` bytes to read (loopback data may lag a send).
bool waitReadable(int fd, int bytes)
{
    for (int round = 0; round < 100; ++round) {
        int avail = 0;
        if (::ioctl(fd, FIONREAD, &avail) == 0 && avail >= bytes) return true;
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 50);
    }
    return false;
}

// The console end: listens on the loopback and accepts one client.
class Console {
public:
    Console()
    {
        _listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(_listen, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(_listen, 1) == 0 &&
            ::getsockname(_listen, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ~Console()
    {
        if (conn >= 0) ::close(conn);
        ::close(_listen);
    }
    bool accept()
    {
        pollfd p{_listen, POLLIN, 0};
        if (::poll(&p, 1, 5000) == 1) conn = ::accept(_listen, nullptr, nullptr);
        return conn >= 0;
    }
    void send(const std::string& s) { EXPECT_EQ(::send(conn, s.data(), s.size(), 0), ssize_t(s.size())); }
    // Everything received until `needle` has arrived (bounded).
    std::string readUntil(const std::string& needle)
    {
        std::string got;
        char buf[4096];
        for (pollfd p{conn, POLLIN, 0}; got.find(needle) == std::string::npos && ::poll(&p, 1, 5000) == 1;) {
            const ssize_t n = ::recv(conn, buf, sizeof buf, 0);
            if (n <= 0) break;
            got.append(buf, size_t(n));
        }
        return got;
    }
    int port = 0;
    int conn = -1;

private:
    int _listen;
};

class RemoteConsole : public TraceTest {
protected:
    void SetUp() override
    {
        TraceTest::SetUp();
        ASSERT_TRUE(BTrace::connectDebugStream("127.0.0.1", console.port));
        ASSERT_TRUE(console.accept());  // accepted: the program's side is connected too
    }
    // Sends one block; the program takes one command from it. Its echo on stdout.
    std::string command(const std::string& block)
    {
        console.send(block);
        EXPECT_TRUE(waitReadable(BTrace::debugSocketStream.socketFd(), int(block.size())));
        testing::internal::CaptureStdout();
        BTrace::parseDebugStream();
        return testing::internal::GetCapturedStdout();
    }
    Console console;
};

TEST_F(RemoteConsole, TraceGoesOutAndACommandsOutputComesBack)
{
    t->dbgPrint("hello console");
    B_FAIL("seen remotely");
    EXPECT_EQ(console.readUntil("remotely\n").rfind("hello console\n", 0), 0u);

    EXPECT_EQ(command("help\r\n"), "command: [help]\n");
    EXPECT_EQ(console.readUntil("Currently supported components:\n").rfind("Processes the trace debug string.\n", 0), 0u);
}

TEST_F(RemoteConsole, OnlyTheFirstCommandOfABlockRunsAndOnlyWithCrLf)
{
    EXPECT_EQ(command("Kvcdrv lvl low\r\nKvcdrv lvl hi\r\n"), "command: [Kvcdrv lvl low]\n");
    EXPECT_EQ(level("Kvcdrv"), 0x40);
    BTrace::parseDebugStream();  // nothing new arrived: the rest of the block is gone
    EXPECT_EQ(level("Kvcdrv"), 0x40);

    EXPECT_EQ(command("Kvcdrv lvl hi\n"), "");
    EXPECT_EQ(level("Kvcdrv"), 0x40);
    EXPECT_EQ(command("Kvcdrv lvl med\r\n"), "command: [Kvcdrv lvl med]\n");
    EXPECT_EQ(level("Kvcdrv"), 0x60);
}

TEST_F(RemoteConsole, StreamOperatorsSendEachPieceAndALostConsoleStopsNothing)
{
    BClientSocketStream& s = BTrace::debugSocketStream;
    s << std::string("s:") << 'A' << short(-3) << ' ' << 4294967295u << ' ' << -7L << ' ' << 7UL << ' '
      << static_cast<const void*>(&s) << "|";
    char expected[80];
    std::snprintf(expected, sizeof expected, "s:A-3 4294967295 -7 7 %p|", static_cast<const void*>(&s));
    EXPECT_EQ(console.readUntil("|"), expected);

    ::close(console.conn);
    console.conn = -1;
    for (int i = 0; i < 50; ++i) t->dbgPrint(std::string(1000, 'x'));  // must not raise SIGPIPE
    std::string in;
    EXPECT_EQ(s.recv(in), 0);
}

TEST_F(TraceTest, WithoutConnectionNothingIsSentAndNothingWaits)
{
    EXPECT_FALSE(BTrace::connectDebugStream("", 0));
    EXPECT_EQ(BTrace::debugSocketStream.socketFd(), -1) << "no socket without a console address";
    EXPECT_FALSE(BTrace::debugSocketStream.send("x"));
    BTrace::parseDebugStream();
    t->dbgPrint("local only");
    EXPECT_EQ(trace, "local only\n");
    EXPECT_FALSE(BTrace::connectDebugStream("not.an.address", 4000));

    int port = 0;
    {
        Console gone;  // nobody listens once it is closed
        port = gone.port;
    }
    BTrace::connectDebugStream("127.0.0.1", port);
    t->dbgPrint("into the void");
    BTrace::parseDebugStream();
}

}  // namespace
}  // namespace tracetest
