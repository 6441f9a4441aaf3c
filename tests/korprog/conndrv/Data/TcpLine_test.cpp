#include "korprog/conndrv/Data/TcpLine.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A server on 127.0.0.1 that takes no connection: once its queue is full,
// a connect to it is never answered.
struct DeafServer {
    DeafServer()
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd, 0);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        for (int k = 0; k < 4; ++k) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
            fillers.push_back(c);
        }
    }
    ~DeafServer()
    {
        for (int c : fillers) ::close(c);
        ::close(fd);
    }
    int fd = -1, port = 0;
    std::vector<int> fillers;
};

TEST(TcpLine, AServerThatDoesNotAnswerIsGivenUpAfterFiveSecondsWaitedForOrTriedAgain)
{
    DeafServer deaf;
    NetAddress address;
    ASSERT_TRUE(address.parse(("socket://127.0.0.1:" + std::to_string(deaf.port)).c_str()));
    int64_t now = 0;
    // Each look at the clock is a second later.
    TcpLine waited([&now] { return now += 1000; });
    std::string why;
    EXPECT_EQ(waited.connect(address, TcpLine::CONNECT_LIMIT_MS, &why), TcpLine::FAILED);
    EXPECT_EQ(why, std::strerror(ETIMEDOUT));

    // Tried on every poll: pending, going on where it was, until the limit.
    int64_t polls = 0;
    TcpLine tried([&polls] { return polls; });
    EXPECT_EQ(tried.connect(address, 0, &why), TcpLine::PENDING);
    polls = 4000;
    EXPECT_EQ(tried.connect(address, 0, &why), TcpLine::PENDING);
    polls = 5000;
    EXPECT_EQ(tried.connect(address, 0, &why), TcpLine::FAILED);
    EXPECT_EQ(why, std::strerror(ETIMEDOUT));
}

}  // namespace
