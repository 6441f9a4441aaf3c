#include "helm/BBinderState.h"

#include <cstdio>

#include "bdebug/BAssert.h"
#include "helm/BBinding.h"
#include "helm/BBindingEvent.h"
#include "helm/BEvtQueue.h"
#include "helm/BKey.h"
#include "helm/BRootState.h"
#include "helm/BScheduler.h"

BBinderState::BBinderState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id, BPriority prio)
    : BCompositeState(enclosing, mod, cmp, id, prio, static_cast<BEvtQueue*>(nullptr)), _abCounter(0)
{
}

BBinderState::~BBinderState()
{
    // A binder deleted without being left still lets its children go.
    cleanupBindings();
}

void BBinderState::addBinding(BBinding* b)
{
    if (!b) return;
    b->parent(this);
    _childList.append(b);
    b->setup();
}

void BBinderState::cleanupBindings()
{
    _childList.forEach([](BBinding* b) { b->release(); });
    _childList.cleanup();
}

uint16_t BBinderState::sendExternal(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key)
{
    if (!event) {
        B_FAIL("event undefined");
        return 0;
    }
    _childList.forEach([&](BBinding* b) {
        if (b->childModuleId() != mod) return;
        if (cmp != 0 && b->childComponentId() != cmp) return;
        if (!BKey::keyMatches(b->key(), key)) return;
        if (!b->isActivated()) {
            B_FAIL("Binding not activated sig=" << int(event->signalId()));
            return;
        }
        event->source(BBindingEvent::PARENT);
        event->binding(b);
        event->moduleId(b->childModuleId());
        event->componentId(b->childComponentId());
        if (BTrace::instance()->reRouteEvent(event, _moduleId, _componentId)) return;
        if (b->child()->queue()->post(event)) {
            event->copy();
            traceSend("=se>;", event, b->childModuleId(), b->childComponentId());
        } else {
            B_FAIL("Post failed");
        }
    });
    return BCompositeState::sendExternal(event, mod, cmp, key);
}

void BBinderState::initialize()
{
    // Like a composite's entry, but the regions wait for the bindings.
    BState::initialize();
    if (_autoQueue) BScheduler::registerQueue(_queue);
    BScheduler::registerQueue(_bndqueue);
    BScheduler::setCurrentState(_stateId, SYSACT_ONENTRY);
    onEntry(BScheduler::currentEvent());
    if (_childList.isEmpty()) enterRegions();  // nothing to wait for
}

void BBinderState::dispatch()
{
    if (!_stateIsInitialised) return;
    const BEvent* e = BScheduler::currentEvent();
    BBinding* b = e ? e->binding() : nullptr;
    const bool mine = b && b->parent() == this;
    switch (mine ? int(e->signalId()) : int(SIG_UNDEFINED)) {
    case SIG_BINDING_ACCEPTED:
        BScheduler::setCurrentState(_stateId, SYSACT_ONACCEPTED);
        if (++_abCounter == _childList.count()) {
            _childList.forEach([](BBinding* c) { c->activated(); });
            enterRegions();
            _queue->retryDeferedEvts();
        }
        return;
    case SIG_BINDING_REJECTED:
        cleanupBindings();
        BScheduler::setCurrentState(_stateId, SYSACT_ONREJECTED);
        onRejected();
        return;
    case SIG_WATCHDOG_ERROR:
        BScheduler::setCurrentState(_stateId, SYSACT_ONWATCHDOGERROR);
        onWatchdogError(b);
        return;
    default:
        BCompositeState::dispatch();
    }
}

void BBinderState::abort()
{
    BCompositeState::abort();
    cleanupBindings();
}

void BBinderState::printData(int argc, char** argv)
{
    BBinding::printList(argc, argv, "BBinderState", "#bindings", this, _childList, false);
    BCompositeState::printData(argc, argv);
}
