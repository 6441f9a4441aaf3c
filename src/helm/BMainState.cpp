#include "helm/BMainState.h"

#include "bdebug/BAssert.h"
#include "helm/BEvent.h"
#include "helm/BEvtQueue.h"
#include "helm/BScheduler.h"
#include "helm/platform/BNamedMutex.h"

std::string BMainState::_mutexId;

BMainState::BMainState() : BRootState("main", MOD_MAIN, CMP_MAIN, PRIO_BACKGROUND) { BTrace::instance(); }

BMainState::~BMainState() { BTrace::destroy(); }

void BMainState::onSetup(BBinding*) { B_FAIL("Cannot bind to the MainState"); }

void BMainState::onRelease(BBinding*) { B_FAIL("Cannot bind to the MainState"); }

void BMainState::dispatch()
{
    const BEvent* e = BScheduler::currentEvent();
    if (e && e->signalId() == SIG_SLEEP) {
        BScheduler::setCurrentState(_stateId, SYSACT_ONSLEEP);
        onSleep();
        BScheduler::systemStatus(SYSTEM_SLEEPING);
        return;
    }
    BRootState::dispatch();
}

void BMainState::startup()
{
    BTrace* t = BTrace::instance();
    if (_mutexId.size() > 7) {
        const BNamedMutex::Result r = BScheduler::helmMutex().create(_mutexId);
        if (r != BNamedMutex::ALREADY_EXISTS) {
            if (r == BNamedMutex::FAILED)
                t->logReport(__FILE__, __LINE__, "cannot create lock file " + BNamedMutex::lockPath(_mutexId) +
                                                     ", running without single-instance check");
            BScheduler::timerManager().resync();
            BScheduler::systemStatus(SYSTEM_SLEEPING);
            initialize();
        } else {
            t->logReport(__FILE__, __LINE__, "Error!! mutexID " + _mutexId + "Already exists. Assign other Id");
            BScheduler::systemStatus(SYSTEM_TERMINATING);
        }
    } else {
        t->logReport(__FILE__, __LINE__, "Error!! BMainState::_mutexId not set by Application !!");
        t->logReport(__FILE__, __LINE__, "        Set at least 8 char string. Aborting ...");
        BScheduler::systemStatus(SYSTEM_TERMINATING);
        abort();
    }
}

void BMainState::shutdown()
{
    BScheduler::systemStatus(SYSTEM_TERMINATING);
    if (_stateIsInitialised) abort();
}
