#include "helm/BMainLoop.h"

#include "bdebug/BTrace.h"
#include "helm/BMainState.h"
#include "helm/BScheduler.h"
#include "helm/BTimerManager.h"

namespace {
const double SECONDS_PER_TICK = 0.01;
const double SETTLE_WAIT_S = 0.02;
}

void BMainLoop::runUntilIdle(const Hooks& hooks)
{
    do {
        BScheduler::step();
        if (hooks.afterStep) hooks.afterStep();
    } while (BScheduler::systemStatus() != SYSTEM_SLEEPING && !BScheduler::terminated());
}

double BMainLoop::waitTime()
{
    BTickType ticks = 0;
    if (!BScheduler::timerManager().ticksToNextExpiry(&ticks)) return MAX_WAIT_S;
    const double s = ticks * SECONDS_PER_TICK;
    return s < MAX_WAIT_S ? s : MAX_WAIT_S;
}

void BMainLoop::run(BMainState& mainState, const bool& shutdown, const Hooks& hooks)
{
    while (!shutdown && !BScheduler::terminated()) {
        if (hooks.pollInput) hooks.pollInput();
        runUntilIdle(hooks);
        // A step that ended the program must not wait for the next event first.
        if (hooks.waitEvents && !shutdown && !BScheduler::terminated()) hooks.waitEvents(waitTime());
    }
    while (hooks.settle && !BScheduler::terminated() && hooks.settle()) {
        if (hooks.pollInput) hooks.pollInput();
        runUntilIdle(hooks);
        if (hooks.waitEvents && hooks.settle()) hooks.waitEvents(SETTLE_WAIT_S);
    }
    BTrace::instance()->dbgPrint("Main: entering Shutdown ... ", true, true);
    mainState.shutdown();
    while (!BScheduler::terminated()) BScheduler::step();
}
