#include "korprog/conndrv/Data/PortLock.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "korprog/conndrv/Data/Serial.h"
#include "support/KvPty.h"
#include "support/TempDir.h"

namespace {

// Lock files in a directory of the test's own.
class PortLockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.ok());
        const char* was = std::getenv("XDG_RUNTIME_DIR");
        if (was) saved = was;
        hadOne = was != nullptr;
        ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        link = runtime.path() + "/korvan0";
        std::filesystem::create_symlink(pty.name, link);
    }
    void TearDown() override
    {
        if (hadOne)
            ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }

    TempDir runtime{"korprog-portlock"};
    std::string saved;
    bool hadOne = false;
    KvPty pty;
    std::string link;
};

TEST_F(PortLockTest, ARunHasItsPortUnderEveryNameAndAnotherIsToldWhoHasIt)
{
    EXPECT_EQ(PortLock::fileFor(link.c_str()), PortLock::fileFor(pty.name.c_str()));
    EXPECT_NE(PortLock::fileFor("/dev/null"), PortLock::fileFor(pty.name.c_str()));
    EXPECT_EQ(PortLock::fileFor((runtime.path() + "/nothing").c_str()), "");

    Serial run, second, look;
    ASSERT_TRUE(run.openPort(link.c_str()));
    EXPECT_FALSE(second.openPort(pty.name.c_str()));
    EXPECT_EQ(second.openFault(), Serial::PORT_LOCKED);
    EXPECT_EQ(second.lockHolder(), ::getpid());
    // A look never waits for a run, and leaves its port alone.
    look.lookOnly(true);
    EXPECT_FALSE(look.openPort(pty.name.c_str()));
    EXPECT_EQ(look.openFault(), Serial::PORT_LOCKED);
    EXPECT_EQ(look.lockHolder(), ::getpid());

    run.closePort();
    ASSERT_TRUE(second.openPort(link.c_str()));
    second.closePort();
    // Once free, the lock file names nobody.
    PortLock probe;
    ASSERT_EQ(probe.take(pty.name.c_str(), false), PortLock::TAKEN);
    EXPECT_EQ(TempDir::read(PortLock::fileFor(pty.name.c_str())), "");
}

TEST_F(PortLockTest, TheLockGoesWithARunThatIsKilled)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        Serial held;
        const char ok = held.openPort(link.c_str()) ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    Serial s;
    EXPECT_FALSE(s.openPort(pty.name.c_str()));
    EXPECT_EQ(s.lockHolder(), child);

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    // Its pid is still in the file, but names no process any more.
    EXPECT_TRUE(s.openPort(pty.name.c_str()));
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(PortLockTest, ARunWaitsForALookToEndButNotForAnotherRun)
{
    PortLock look;
    ASSERT_EQ(look.take(link.c_str(), false), PortLock::TAKEN);
    // Another process's look ends a moment later.
    std::thread ends([&look] {
        ::poll(nullptr, 0, 100);
        look.release();
    });
    PortLock run;
    EXPECT_EQ(run.take(pty.name.c_str(), true), PortLock::TAKEN);
    ends.join();

    PortLock other;
    EXPECT_EQ(other.take(link.c_str(), true), PortLock::HELD);
    EXPECT_EQ(other.holder(), ::getpid());
    EXPECT_EQ(other.take(link.c_str(), false), PortLock::HELD) << "no look at a port a run has";
}

} // namespace
