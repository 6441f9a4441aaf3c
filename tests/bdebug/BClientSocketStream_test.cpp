// The remote debug console over a loopback TCP server.

#include "TraceTestKit.h"

#include <algorithm>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "bdebug/BAssert.h"

namespace tracetest {
namespace {

// A socket listening on the loopback; its port goes to *port.
int listenOnLoopback(int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    EXPECT_TRUE(::bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(fd, 1) == 0 &&
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0);
    *port = ntohs(a.sin_port);
    return fd;
}

// The console's end of one accepted connection.
class RemoteConsole : public TraceTest {
protected:
    void SetUp() override
    {
        TraceTest::SetUp();
        int port = 0;
        listener = listenOnLoopback(&port);
        ASSERT_TRUE(BTrace::connectDebugStream("127.0.0.1", port));
        pollfd p{listener, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 5000), 1);
        ASSERT_GE(conn = ::accept(listener, nullptr, nullptr), 0);  // the program's side is connected too
    }
    void TearDown() override
    {
        ::close(conn);
        ::close(listener);
        TraceTest::TearDown();
    }
    // Sends one block; the program takes one command from it. Its echo on stdout.
    std::string command(const std::string& block)
    {
        EXPECT_EQ(::send(conn, block.data(), block.size(), 0), ssize_t(block.size()));
        pollfd p{BTrace::debugSocketStream.socketFd(), POLLIN, 0};  // one small send arrives whole on the loopback
        EXPECT_EQ(::poll(&p, 1, 5000), 1);
        testing::internal::CaptureStdout();
        BTrace::parseDebugStream();
        return testing::internal::GetCapturedStdout();
    }
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
    int listener = -1, conn = -1;
};

TEST_F(RemoteConsole, TraceGoesOutACommandsOutputComesBackALostConsoleStopsNothing)
{
    t->dbgPrint("hello console");
    B_FAIL("seen remotely");
    EXPECT_EQ(readUntil("remotely\n").rfind("hello console\n", 0), 0u);

    EXPECT_EQ(command("help\r\n"), "command: [help]\n");
    EXPECT_EQ(readUntil("Currently supported components:\n").rfind("Processes the trace debug string.\n", 0), 0u);

    BClientSocketStream& s = BTrace::debugSocketStream;
    s << std::string("s:") << 'A' << short(-3) << ' ' << 4294967295u << ' ' << -7L << ' ' << 7UL << ' '
      << static_cast<const void*>(&s) << "|";
    char expected[80];
    std::snprintf(expected, sizeof expected, "s:A-3 4294967295 -7 7 %p|", static_cast<const void*>(&s));
    EXPECT_EQ(readUntil("|"), expected);

    ::close(conn);
    conn = -1;
    for (int i = 0; i < 50; ++i) t->dbgPrint(std::string(1000, 'x'));  // must not raise SIGPIPE
    std::string in;
    EXPECT_EQ(s.recv(in), 0);
}

TEST_F(RemoteConsole, AConsoleThatClosesIsDroppedAndItsSocketClosed)
{
    ::close(conn);
    conn = -1;
    pollfd p{BTrace::debugSocketStream.socketFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    testing::internal::CaptureStderr();
    BTrace::parseDebugStream();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the console closed the connection"), std::string::npos);
    EXPECT_EQ(BTrace::debugSocketStream.socketFd(), -1) << "its end of file would wake the main loop forever";
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

TEST_F(TraceTest, WithoutConnectionNothingIsSentAndNothingWaits)
{
    EXPECT_FALSE(BTrace::connectDebugStream("", 0));
    EXPECT_EQ(BTrace::debugSocketStream.socketFd(), -1) << "no socket without a console address";
    EXPECT_FALSE(BTrace::debugSocketStream.send("x"));
    BTrace::parseDebugStream();
    t->dbgPrint("local only");
    EXPECT_EQ(trace, "local only\n");
    EXPECT_FALSE(BTrace::connectDebugStream("no such host", 4000));  // a name, but no host's

    int port = 0;
    ::close(listenOnLoopback(&port));  // nobody listens there any more
    BTrace::connectDebugStream("127.0.0.1", port);
    t->dbgPrint("into the void");
    BTrace::parseDebugStream();
}

TEST_F(TraceTest, AConsoleIsFoundByNameAndOneThatCannotBeReachedIsSaidOnStandardError)
{
    int port = 0;
    const int listener = listenOnLoopback(&port);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(BTrace::connectDebugStream("localhost", port));
    pollfd p{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    const int conn = ::accept(listener, nullptr, nullptr);
    EXPECT_GE(conn, 0);
    ::close(conn);
    ::close(listener);  // nobody listens there any more
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    for (const char* host : {"no such host", "localhost"}) {
        testing::internal::CaptureStderr();
        BTrace::connectDebugStream(host, port);
        // A refusal may come only after the connect returned.
        pollfd out{BTrace::debugSocketStream.socketFd(), POLLOUT, 0};
        if (out.fd >= 0) ::poll(&out, 1, 5000);
        for (int i = 0; i < 3; ++i) {
            BTrace::parseDebugStream();
            t->dbgPrint("into the void");
        }
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(said.rfind(std::string("Remote debug console ") + host + ":" + std::to_string(port) +
                                 " cannot be reached: ", 0), 0u) << said;
    }
    BTrace::disconnectDebugStream();
}

}  // namespace
}  // namespace tracetest
