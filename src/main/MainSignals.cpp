#include "main/MainSignals.h"

#include <signal.h>

#include <algorithm>
#include <string>

#include "helm/platform/BTimerTick.h"
#include "korprog/RunMode.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "main/Main.h"

namespace {

volatile sig_atomic_t endingSignal = 0;
bool told = false;
// Taken when the signals are caught: by the report, a run that ended has
// cleared the options that made it unattended. A pack is built whole as the
// controller starts: no signal cuts it short.
bool unattended = false;

void onSignal(int sig)
{
    // A program ending by itself was not cut short by it.
    if (!Main::_shutdown) endingSignal = sig;
    Main::_shutdown = true;
}

}  // namespace

void MainSignals::catchSignals()
{
    unattended = RunMode::unattended() && !RunMode::createsPack();
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: a wait the signal arrives in returns to the main loop.
    sa.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int MainSignals::received() { return endingSignal; }

void MainSignals::reportUnfinishedRun()
{
    const int sig = endingSignal;
    if (told || sig == 0) return;
    told = true;
    if (unattended)
        KvctrlUnattended::fail(RunFailure::Kind::Other, std::string("ended by ") +
                                                            (sig == SIGINT ? "SIGINT" : "SIGTERM") +
                                                            " before the run was complete");
}

void MainSignals::sleepUnlessEnding(uint32_t ms)
{
    const uint32_t slice = 20;
    for (uint32_t slept = 0; slept < ms && !Main::_shutdown; slept += slice) bSleepMs(std::min(slice, ms - slept));
}

void MainSignals::reset()
{
    endingSignal = 0;
    told = false;
    unattended = false;
}
