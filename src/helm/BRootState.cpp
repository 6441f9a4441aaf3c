#include "helm/BRootState.h"

#include <cstdio>

#include "bdebug/BAssert.h"
#include "helm/BBinderState.h"
#include "helm/BBinding.h"
#include "helm/BBindingEvent.h"
#include "helm/BKey.h"
#include "helm/BLocalEvent.h"
#include "helm/BEvtQueue.h"
#include "helm/BScheduler.h"
#include "helm/BTimer.h"

bool BRootState::_suspendWatchdogs = false;

BRootState::BRootState(const char* name, ModuleId mod, ComponentId cmp, BPriority prio)
    : BCompositeState(nullptr, mod, cmp, STATE_ROOT, prio, static_cast<BEvtQueue*>(nullptr)),
      _name(name ? name : ""),
      _tmrWatchdog(nullptr),
      _debugLevel(0),
      _useFastBndQueue(false)
{
}

BRootState::~BRootState() { delete _tmrWatchdog; }

void BRootState::transition(BFinal final)
{
    if (isPersistent()) BScheduler::cleanupRootState(this);
    else B_FAIL("Nonpersistent rootState cannot transit to final.");
    (void)final;
}

void BRootState::transition(BState* target)
{
    if (target) {
        B_FAIL("RootState cannot transit.");
        return;
    }
    BState::transition(target);
}

void BRootState::reloadWatchdog(uint16_t seconds)
{
    B_ASSERT(seconds != 0, "watchdog reload time may not be 0");
    if (!_tmrWatchdog) {
        B_FAIL("watchdog undefined: " << _name << " is not entered");
        return;
    }
    _tmrWatchdog->fireIn(queue(), BTimer::nSecs(seconds), SIG_WATCHDOG_TIMEOUT);
}

bool BRootState::sendLocal(BLocalEvent* event, StateId id)
{
    if (event && id != STATE_ROOT) {
        B_FAIL("Event cannot be send, root reached");
        event->destroy();
        return false;
    }
    return BState::sendLocal(event, id);
}

uint16_t BRootState::sendExternal(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key)
{
    if (!event) {
        B_FAIL("event undefined");
        return 0;
    }
    // Every binder on the way here took one reference per child it posted to.
    const uint16_t recipients = uint16_t(event->refCount() - 1);
    if (recipients == 0 && !key)
        B_FAIL("Event not send, no mathing childs found mod=" << _moduleId << " cmp=" << int(_componentId)
                                                               << " dst mod=" << mod << " cmp=" << int(cmp)
                                                               << " sig=" << int(event->signalId()));
    event->destroy();
    return recipients;
}

bool BRootState::postToParent(BBinding* b, BBindingEvent* event)
{
    BBinderState* parent = b->parent();
    BEvtQueue* q = parent ? parent->queue() : nullptr;
    if (!q) return false;
    // Until the parent activates the binding, its answer waits in the deferred list.
    return b->isActivated() ? q->post(event) : q->postDefered(event);
}

uint16_t BRootState::sendBack(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key)
{
    if (!event) {
        B_FAIL("event undefined");
        return 0;
    }
    _parentList.forEach([&](BBinding* b) {
        if (!(b->isAccepted() || b->isActivated())) return;
        if (mod != 0 && b->parentModuleId() != mod) return;
        if (cmp != 0 && b->parentComponentId() != cmp) return;
        if (!BKey::keyMatches(b->key(), key)) return;
        event->source(BBindingEvent::CHILD);
        event->binding(b);
        event->moduleId(b->childModuleId());
        event->componentId(b->childComponentId());
        if (BTrace::instance()->reRouteEvent(event, _moduleId, _componentId)) return;
        if (postToParent(b, event)) {
            event->copy();
            traceSend("=sb>;", event, b->parentModuleId(), b->parentComponentId());
        } else {
            B_FAIL("Post failed");
        }
    });
    const uint16_t recipients = uint16_t(event->refCount() - 1);
    if (recipients == 0 && !key)
        B_FAIL("Event not send, no mathing parents found State: " << ids() << " dst mod=" << mod
                                                                  << " cmp=" << int(cmp)
                                                                  << " sig=" << int(event->signalId()));
    event->destroy();
    return recipients;
}

bool BRootState::sendBack(const BBindingEvent* received, BBindingEvent* reply)
{
    if (!reply) {
        B_FAIL("event undefined");
        return false;
    }
    BBinding* b = received ? received->binding() : nullptr;
    bool delivered = false;
    if (!b || !(b->isAccepted() || b->isActivated())) {
        B_FAIL("Event cannot be send, binding not activated");
    } else {
        reply->binding(b);
        reply->moduleId(b->childModuleId());
        reply->componentId(b->childComponentId());
        if (received->source() == BBindingEvent::PARENT) {
            reply->source(BBindingEvent::CHILD);
            if (!BTrace::instance()->reRouteEvent(reply, _moduleId, _componentId)) {
                delivered = postToParent(b, reply);
                if (delivered) traceSend("=sb>;", reply, b->parentModuleId(), b->parentComponentId());
            }
        } else if (received->source() == BBindingEvent::CHILD) {
            reply->source(BBindingEvent::PARENT);
            BEvtQueue* q = b->child() ? b->child()->queue() : nullptr;
            if (q && !BTrace::instance()->reRouteEvent(reply, _moduleId, _componentId)) {
                delivered = b->isActivated() ? q->post(reply) : q->postDefered(reply);
                if (delivered) traceSend("=se>;", reply, b->childModuleId(), b->childComponentId());
            }
        } else {
            B_FAIL("unknown source");
        }
    }
    if (!delivered) reply->destroy();
    return delivered;
}

void BRootState::clearDeferedEvts() { _queue->clearDeferedEvts(); }

void BRootState::retryDeferedEvts() { _queue->retryDeferedEvts(); }

void BRootState::printData(int argc, char** argv)
{
    BTrace::instance()->dbgPrint(std::string("PrintStateData: ") + _name + ":" + _instName);
    BBinding::printList(argc, argv, "BRootState", "#parent bindings", this, _parentList, true);
    BCompositeState::printData(argc, argv);
}

void BRootState::initialize()
{
    if (!_tmrWatchdog) _tmrWatchdog = new BTimer(queue(), BTimer::ONE_SHOT);
    BTrace::instance()->registerRootState(true, this);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", static_cast<void*>(this));
    _instName = buf;
    BCompositeState::initialize();
    if (dbg(DBG_ENTRY)) BTrace::instance()->dbgPrint("=entrt>;" + ids() + " (" + compName() + ")", true, true);
}

void BRootState::abort()
{
    if (!_parentList.isEmpty()) {
        std::string parents;
        _parentList.forEach([&](BBinding* b) {
            parents += " mod=" + std::to_string(b->parentModuleId()) + " cmp=" + std::to_string(b->parentComponentId());
        });
        B_FAIL("Parentlist not empty" << parents);
    }
    if (dbg(DBG_EXIT)) BTrace::instance()->dbgPrint("=extrt>;" + ids() + " (" + compName() + ")", true, true);
    BCompositeState::abort();
    BTrace::instance()->registerRootState(false, this);
    delete _tmrWatchdog;
    _tmrWatchdog = nullptr;
}

void BRootState::onWatchdogTimeout()
{
    if (_suspendWatchdogs) return;
    const std::string who = "mod=" + std::to_string(_moduleId) + " cmp=" + std::to_string(_componentId) + " (" +
                            _name + ":" + _instName + ")";
    BTrace* t = BTrace::instance();
    t->fatal("Watchdog timeout " + who);
    t->procDbgStr("helm ssm -name " + std::string(_name) + " -instname " + _instName);
    _parentList.forEach([](BBinding* b) {
        if (b->isConnecting() || b->isAccepted() || b->isActivated()) b->wdError();
    });
    if (_tmrWatchdog) _tmrWatchdog->fireIn(queue(), BTimer::nSecs(10), SIG_WATCHDOG_RESET);
}

void BRootState::dispatch()
{
    if (!_stateIsInitialised) return;
    const BEvent* e = BScheduler::currentEvent();
    BBinding* b = e ? e->binding() : nullptr;
    switch (e ? int(e->signalId()) : int(SIG_UNDEFINED)) {
    case SIG_WATCHDOG_TIMEOUT:
        onWatchdogTimeout();
        break;
    case SIG_WATCHDOG_RESET:
        BTrace::instance()->fatal("Watchdog not handled by parent, now we reset. mod=" + std::to_string(_moduleId) +
                                  " cmp=" + std::to_string(_componentId) + " (" + _name + ":" + _instName + ")");
        break;
    case SIG_SETUP_BINDING:
        addBinding(b);
        BScheduler::setCurrentState(_stateId, SYSACT_ONSETUP);
        onSetup(b);
        break;
    case SIG_RELEASE_BINDING:
        BScheduler::setCurrentState(_stateId, SYSACT_ONRELEASE);
        onRelease(b);
        removeBinding(b);
        _queue->removeBindingEvts(b);
        break;
    default:
        BCompositeState::dispatch();
    }
}

void BRootState::accept(BBinding* b)
{
    if (b) b->accepted();
}

void BRootState::reject(BBinding* b)
{
    if (b) b->rejected();
}

template <class F>
uint16_t BRootState::forSetupBindings(ModuleId mod, ComponentId cmp, BKey* key, F act)
{
    uint16_t n = 0;
    _parentList.forEach([&](BBinding* b) {
        if (!b->isConnecting()) return;
        if (mod != 0 && b->parentModuleId() != mod) return;
        if (cmp != 0 && b->parentComponentId() != cmp) return;
        if (!BKey::keyMatches(b->key(), key)) return;
        act(b);
        ++n;
    });
    return n;
}

uint16_t BRootState::accept(ModuleId mod, ComponentId cmp, BKey* key)
{
    return forSetupBindings(mod, cmp, key, [](BBinding* b) { b->accepted(); });
}

uint16_t BRootState::accept(BKey* key) { return accept(0, 0, key); }

uint16_t BRootState::reject(ModuleId mod, ComponentId cmp, BKey* key)
{
    return forSetupBindings(mod, cmp, key, [](BBinding* b) { b->rejected(); });
}

uint16_t BRootState::reject(BKey* key) { return reject(0, 0, key); }

void BRootState::addBinding(BBinding* b)
{
    if (b) _parentList.append(b);
}

void BRootState::removeBinding(BBinding* b)
{
    if (_parentList.remove(b)) BScheduler::cleanupBinding(b);
    else B_FAIL("connot remove binding from _parentList");
}
