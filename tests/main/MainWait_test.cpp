// The main loop's wait: input on a watched descriptor ends it at once, and a
// descriptor with nothing to read cannot keep the loop busy.

#include <gtest/gtest.h>
#include <unistd.h>

#include "main/MainWait.h"

namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fd), 0); }
    ~Pipe()
    {
        for (int f : fd)
            if (f >= 0) ::close(f);
    }
    void closeWriter()
    {
        ::close(fd[1]);
        fd[1] = -1;
    }
};

TEST(MainWait, InputEndsTheWaitAtOnceAndOnlyForWatchedDescriptors)
{
    Pipe line, console;
    MainWait w;
    EXPECT_FALSE(w.wait(0.0, {line.fd[0], console.fd[0], -1})) << "nothing arrived";
    ASSERT_EQ(::write(console.fd[1], "x", 1), 1);
    EXPECT_FALSE(w.wait(0.0, {line.fd[0]})) << "the console is not watched this time";
    // Without the watch this would take the whole minute.
    EXPECT_TRUE(w.wait(60.0, {line.fd[0], console.fd[0]}));
    EXPECT_TRUE(w.wait(60.0, {console.fd[0]})) << "unread input ends every wait";
}

TEST(MainWait, ADescriptorWithNothingToReadSitsOutTheNextWait)
{
    Pipe hungUp, line;
    hungUp.closeWriter();  // readable for ever, with nothing to read
    MainWait w;
    EXPECT_TRUE(w.wait(60.0, {hungUp.fd[0]}));
    EXPECT_FALSE(w.wait(0.0, {hungUp.fd[0]}));
    EXPECT_TRUE(w.wait(60.0, {hungUp.fd[0]})) << "watched again after sitting out one wait";

    ASSERT_EQ(::write(line.fd[1], "x", 1), 1);
    EXPECT_TRUE(w.wait(60.0, {line.fd[0]}));
    EXPECT_TRUE(w.wait(60.0, {line.fd[0]})) << "input that waits is no reason to sit out";
}

}  // namespace
