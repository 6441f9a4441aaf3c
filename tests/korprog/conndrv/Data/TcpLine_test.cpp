#include "korprog/conndrv/Data/TcpLine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/Ser2netServer.h"

namespace {

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
