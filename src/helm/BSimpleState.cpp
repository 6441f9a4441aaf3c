#include "helm/BSimpleState.h"

#include "helm/BCompositeState.h"
#include "helm/BEvtQueue.h"
#include "helm/BScheduler.h"

BSimpleState::BSimpleState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id)
    : BState(enclosing, mod, cmp, id)
{
}

BEvtQueue* BSimpleState::queue() const { return enclosing() ? enclosing()->queue() : nullptr; }

void BSimpleState::initialize()
{
    BState::initialize();
    BScheduler::setCurrentState(_stateId, SYSACT_ONENTRY);
    onEntry(BScheduler::currentEvent());
}

void BSimpleState::dispatch()
{
    if (!_stateIsInitialised) return;
    BScheduler::setCurrentState(_stateId, SYSACT_ONEVENT);
    onEvent(BScheduler::currentEvent());
}

void BSimpleState::abort()
{
    BState::abort();
    BScheduler::setCurrentState(_stateId, SYSACT_ONEXIT);
    onExit(BScheduler::currentEvent());
}
