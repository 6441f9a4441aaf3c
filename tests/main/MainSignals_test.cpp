// SIGTERM while the program pauses in an unattended run: the pause ends, and
// the run ends as a failure that says so.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "korprog/RunFailure.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "main/Main.h"
#include "main/MainSignals.h"
#include "main/RunState.h"

namespace {

TEST(MainSignals, SigtermEndsAPauseAndAnUnattendedRunWithCode1)
{
    FrmKorProgImpl::CMDL_PROGRAM = true;
    MainSignals::catchSignals();
    // Another process signals, as `kill` does.
    const pid_t self = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        ::usleep(200 * 1000);
        ::kill(self, SIGTERM);
        ::_exit(0);
    }
    const auto t0 = std::chrono::steady_clock::now();
    MainSignals::sleepUnlessEnding(10000);
    const double slept = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ::waitpid(child, nullptr, 0);
    EXPECT_LT(slept, 2.0);
    EXPECT_TRUE(Main::_shutdown);
    EXPECT_EQ(MainSignals::received(), SIGTERM);

    MainSignals::reportUnfinishedRun();
    EXPECT_EQ(RunFailure::ofRun().reason, "ended by SIGTERM before the run was complete");
    EXPECT_EQ(Main::exitCode(), 1);

    ::signal(SIGTERM, SIG_DFL);
    RunState::reset();
}

}  // namespace
