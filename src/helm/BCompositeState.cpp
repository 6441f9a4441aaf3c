#include "helm/BCompositeState.h"

#include <cstdio>

#include "bdebug/BAssert.h"
#include "helm/BEvent.h"
#include "helm/BEvtQueueFixed.h"
#include "helm/BEvtQueueFlex.h"
#include "helm/BScheduler.h"

BCompositeState::BCompositeState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id,
                                 BPriority prio, BEvtQueue* queue)
    : BState(enclosing, mod, cmp, id),
      _queue(queue ? queue : new BEvtQueueFlex(this, prio)),
      _autoQueue(queue == nullptr),
      _bndqueue(new BEvtQueueFlex(this, PRIO_TIMECRITICAL))
{
}

BCompositeState::BCompositeState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id,
                                 BPriority prio, uint16_t size)
    : BState(enclosing, mod, cmp, id),
      _queue(new BEvtQueueFixed(this, prio, size)),
      _autoQueue(true),
      _bndqueue(new BEvtQueueFlex(this, PRIO_TIMECRITICAL))
{
}

BCompositeState::~BCompositeState()
{
    // States of a composite that was never entered (or not left) are still ours.
    _enclosedList.forEach([](BState* s) {
        if (s && !s->isPersistent()) delete s;
    });
    if (_autoQueue) delete _queue;
    delete _bndqueue;
}

BState* BCompositeState::regionState(RegionId region) const
{
    BState* found = nullptr;
    RegionId r = 0;
    _enclosedList.forEach([&](BState* s) {
        if (r++ == region) found = s;
    });
    return found;
}

void BCompositeState::setRegionState(RegionId region, BState* s)
{
    Iterator<BState*>* it = _enclosedList.createIterator();
    RegionId r = 0;
    for (it->first(); !it->end(); it->next(), ++r) {
        if (r == region) {
            it->changeCurrentItem(s);
            break;
        }
    }
    delete it;
}

bool BCompositeState::findRegion(const BState* s, RegionId* region) const
{
    RegionId r = 0;
    bool found = false;
    _enclosedList.forEach([&](BState* cur) {
        if (!found && cur == s) {
            *region = r;
            found = true;
        }
        ++r;
    });
    return found;
}

void BCompositeState::addRegion(BState* initial) { _enclosedList.append(initial); }

BState* BCompositeState::getState(StateId id)
{
    if (id == _stateId) return this;
    BState* found = nullptr;
    _enclosedList.forEach([&](BState* s) {
        if (!found && s) found = s->getState(id);
    });
    return found;
}

void BCompositeState::clearDeferedEvts()
{
    _queue->clearDeferedEvts();
    BState::clearDeferedEvts();
}

void BCompositeState::retryDeferedEvts()
{
    _queue->retryDeferedEvts();
    BState::retryDeferedEvts();
}

void BCompositeState::onDone(const BEvent*, RegionId) { transition(static_cast<BState*>(nullptr)); }

void BCompositeState::onError(const BEvent*, RegionId) { transition(static_cast<BState*>(nullptr)); }

void BCompositeState::enterRegions()
{
    const BEvent* e = BScheduler::currentEvent();
    // Regions added by the hooks below are entered by whoever adds them.
    const RegionId n = regionCount();
    for (RegionId r = 0; r < n; ++r) {
        BScheduler::setCurrentState(_stateId, SYSACT_ONINITIAL);
        onInitial(e, r);
        BState* cur = regionState(r);  // onInitial may have replaced the region's state
        if (cur) cur->initialize();
    }
}

void BCompositeState::initialize()
{
    BState::initialize();
    if (_autoQueue) BScheduler::registerQueue(_queue);
    BScheduler::registerQueue(_bndqueue);
    BScheduler::setCurrentState(_stateId, SYSACT_ONENTRY);
    onEntry(BScheduler::currentEvent());
    enterRegions();
}

void BCompositeState::abortTree(RegionId region)
{
    BState* s = regionState(region);
    if (!s) return;
    s->abort();
    if (!s->isPersistent()) delete s;
    setRegionState(region, nullptr);
}

void BCompositeState::cleanupRegions()
{
    for (RegionId r = 0; r < regionCount(); ++r) abortTree(r);
    _enclosedList.cleanup();
}

void BCompositeState::abort()
{
    BState::abort();
    for (RegionId r = 0; r < regionCount(); ++r) abortTree(r);
    BScheduler::setCurrentState(_stateId, SYSACT_ONEXIT);
    onExit(BScheduler::currentEvent());
    _enclosedList.cleanup();
    if (_autoQueue) BScheduler::unregisterQueue(_queue);
    BScheduler::unregisterQueue(_bndqueue);
}

void BCompositeState::handleTransition(RegionId region)
{
    const BEvent* e = BScheduler::currentEvent();
    auto traceTran = [&](DebugLevel bit, const char* tag) {
        if (!dbg(bit)) return;
        BState* cur = regionState(region);
        char buf[256];
        std::snprintf(buf, sizeof buf, "%s%s;region:%d;from:%d;evt[%d:%d:%d;%p] (%s)", tag, ids().c_str(),
                      int(region), cur ? int(cur->stateId()) : 0, e ? int(e->moduleId()) : 0,
                      e ? int(e->componentId()) : 0, e ? int(e->signalId()) : 0, static_cast<const void*>(e),
                      compName().c_str());
        BTrace::instance()->dbgPrint(buf, true, true);
    };
    switch (BScheduler::transitionMode()) {
    case TRAN_NONE:
        break;
    case TRAN_INTERNAL:
        if (!BScheduler::evtProcessed()) traceTran(DBG_TRAN_INTERNAL, "=ti>;");
        BScheduler::evtProcessed(true);
        break;
    case TRAN_TARGET: {
        BState* target = BScheduler::targetState();
        traceTran(DBG_TRAN_TARGET, "=tt>;");
        BScheduler::evtProcessed(true);
        abortTree(region);
        setRegionState(region, target);
        // The request stays pending while the target is entered, so an entry
        // hook asking for another transition is reported, not obeyed.
        if (target) target->initialize();
        BScheduler::transitionMode(TRAN_INTERNAL);
        BScheduler::targetState(nullptr);
        retryDeferedEvts();
        break;
    }
    case TRAN_DONE:
    case TRAN_ERROR: {
        const bool done = BScheduler::transitionMode() == TRAN_DONE;
        traceTran(DBG_TRAN_TARGET, done ? "=td>;" : "=te>;");
        BScheduler::evtProcessed(true);
        abortTree(region);
        BScheduler::resetTarget();
        BScheduler::setCurrentState(_stateId, done ? SYSACT_ONDONE : SYSACT_ONERROR);
        if (done) onDone(e, region);
        else onError(e, region);
        retryDeferedEvts();
        break;
    }
    default:
        B_FAIL("unknown transitionMode");
    }
}

void BCompositeState::dispatch()
{
    if (!_stateIsInitialised) return;
    TransitionMode savedMode = TRAN_NONE;
    BState* savedTarget = nullptr;
    auto isFinalOrTarget = [](TransitionMode m) { return m == TRAN_TARGET || m == TRAN_DONE || m == TRAN_ERROR; };
    for (RegionId r = 0; r < regionCount(); ++r) {
        BState* s = regionState(r);
        if (!s) continue;
        s->dispatch();
        handleTransition(r);
        TransitionMode m = BScheduler::transitionMode();
        if (m != TRAN_NONE) {
            if (isFinalOrTarget(savedMode)) {
                if (isFinalOrTarget(m)) B_FAIL("Shadow transition already set");
            } else {
                savedMode = m;
                savedTarget = BScheduler::targetState();
            }
        }
        BScheduler::resetTarget();
    }
    BScheduler::transitionMode(savedMode);
    BScheduler::targetState(savedTarget);
    if (savedMode != TRAN_NONE) {
        BScheduler::evtProcessed(true);
        return;
    }
    BScheduler::setCurrentState(_stateId, SYSACT_ONEVENT);
    onEvent(BScheduler::currentEvent());
}

void BCompositeState::printHelmData()
{
    char buf[240];
    std::snprintf(buf, sizeof buf, "this:%p %s enclosing:%p queue:%p", static_cast<void*>(this), ids().c_str(),
                  static_cast<void*>(enclosing()), static_cast<void*>(_queue));
    BTrace::instance()->dbgPrint(buf);
    BTrace::instance()->dbgPrint("enclosed:");
    _enclosedList.forEach([](BState* s) {
        if (s) s->printHelmData();
    });
}

void BCompositeState::printData(int argc, char** argv)
{
    printStateData(argc, argv);
    _enclosedList.forEach([&](BState* s) {
        if (s) s->printData(argc, argv);
    });
}
