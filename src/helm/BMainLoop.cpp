#include "helm/BMainLoop.h"

#include "bdebug/BTrace.h"
#include "helm/BMainState.h"
#include "helm/BScheduler.h"

void BMainLoop::runUntilIdle(const Hooks& hooks)
{
    do {
        BScheduler::step();
        if (hooks.afterStep) hooks.afterStep();
    } while (BScheduler::systemStatus() != SYSTEM_SLEEPING && !BScheduler::terminated());
}

void BMainLoop::run(BMainState& mainState, const bool& shutdown, const Hooks& hooks)
{
    while (!shutdown && !BScheduler::terminated()) {
        if (hooks.pollInput) hooks.pollInput();
        runUntilIdle(hooks);
        if (hooks.waitEvents && !BScheduler::terminated()) hooks.waitEvents();
    }
    BTrace::instance()->dbgPrint("Main: entering Shutdown ... ", true, true);
    mainState.shutdown();
    while (!BScheduler::terminated()) BScheduler::step();
}
