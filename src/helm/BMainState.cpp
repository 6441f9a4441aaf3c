#include "helm/BMainState.h"

#include <cstring>

#include "bdebug/BAssert.h"
#include "helm/BEvent.h"
#include "helm/BEvtQueue.h"
#include "helm/BScheduler.h"
#include "helm/platform/BNamedMutex.h"

std::string BMainState::_mutexId;
bool BMainState::_singleInstance = true;

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
        BNamedMutex& mutex = BScheduler::helmMutex();
        const BNamedMutex::Result r = _singleInstance ? mutex.create(_mutexId) : BNamedMutex::CREATED;
        if (r == BNamedMutex::CREATED) {
            BScheduler::timerManager().resync();
            BScheduler::systemStatus(SYSTEM_SLEEPING);
            initialize();
        } else if (r == BNamedMutex::ALREADY_EXISTS) {
            t->logReport(__FILE__, __LINE__, "Error!! mutexID " + _mutexId + "Already exists. Assign other Id");
            BScheduler::systemStatus(SYSTEM_TERMINATING);
        } else {
            // Without the lock a second instance could not be told apart: enter nothing.
            t->logReport(__FILE__, __LINE__, "cannot create lock file " + mutex.path() + ": " +
                                                 std::strerror(mutex.error()) + "; not started");
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
