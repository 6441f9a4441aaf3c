#include "helm/BState.h"

#include <cstdio>

#include "bdebug/BAssert.h"
#include "helm/BBindingEvent.h"
#include "helm/BCompositeState.h"
#include "helm/BEvtQueue.h"
#include "helm/BLocalEvent.h"
#include "helm/BScheduler.h"

BState::BState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id)
    : _stateIsInitialised(false), _enclosing(enclosing), _moduleId(mod), _componentId(cmp), _stateId(id)
{
}

BState::~BState() = default;

std::string BState::ids() const
{
    return std::to_string(_moduleId) + ":" + std::to_string(_componentId) + ":" + std::to_string(_stateId);
}

std::string BState::compName() const { return std::string(name()) + ":" + instName(); }

void BState::traceSend(const char* tag, const BEvent* e, ModuleId dstMod, ComponentId dstCmp) const
{
    const DebugLevel lvl = debugLevel();
    if (!e->evtdbg()) return;
    // Each bit on its own: the send line, and the event's data.
    if (lvl & DBG_SEND) {
        char buf[256];
        std::snprintf(buf, sizeof buf, "%s%s;dst:%d:%d;evt[%d:%d:%d;%p]send (%s)", tag, ids().c_str(), int(dstMod),
                      int(dstCmp), int(e->moduleId()), int(e->componentId()), int(e->signalId()),
                      static_cast<const void*>(e), compName().c_str());
        BTrace::instance()->dbgPrint(buf, true, true);
    }
    if (lvl & DBG_SEND_DATA) e->printData(lvl);
}

void BState::transition(BFinal final)
{
    if (BScheduler::transitionMode() != TRAN_NONE)
        B_FAIL("triggerless transition not suported, mod:comp:state=" << ids());
    if (final == B_DONE) BScheduler::transitionMode(TRAN_DONE);
    else if (final == B_ERROR) BScheduler::transitionMode(TRAN_ERROR);
    else B_FAIL("undefined transition mode");
    BScheduler::targetState(nullptr);
}

void BState::transition(BState* target)
{
    if (BScheduler::transitionMode() != TRAN_NONE)
        B_FAIL("triggerless transition not suported, mod:comp:state=" << ids());
    BScheduler::transitionMode(target ? TRAN_TARGET : TRAN_INTERNAL);
    BScheduler::targetState(target);
}

void BState::reloadWatchdog(uint16_t seconds)
{
    if (!enclosing()) {
        B_FAIL("Enclosing undefined");
        return;
    }
    enclosing()->reloadWatchdog(seconds);
}

bool BState::sendLocal(BLocalEvent* event, StateId id)
{
    if (!event) {
        B_FAIL("event undefined");
        return false;
    }
    if (id != _stateId) {
        if (enclosing()) return enclosing()->sendLocal(event, id);
        B_FAIL("Event cannot be send, root reached");
        event->destroy();
        return false;
    }
    BEvtQueue* q = queue();
    if (!q) {
        B_FAIL("Queue undefined");
        event->destroy();
        return false;
    }
    event->moduleId(_moduleId);
    event->componentId(_componentId);
    if (!q->post(event)) {
        B_FAIL("Event cannot be send");
        event->destroy();
        return false;
    }
    traceSend("=sl>;", event, _moduleId, _componentId);  // still queued: nothing runs before the next step
    return true;
}

uint16_t BState::sendExternal(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key)
{
    if (!enclosing()) {
        B_FAIL("Enclosing undefined");
        if (event) event->destroy();
        return 0;
    }
    return enclosing()->sendExternal(event, mod, cmp, key);
}

uint16_t BState::sendBack(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key)
{
    if (!enclosing()) {
        B_FAIL("Enclosing undefined");
        if (event) event->destroy();
        return 0;
    }
    return enclosing()->sendBack(event, mod, cmp, key);
}

uint16_t BState::sendBack(BBindingEvent* event, BKey* key) { return sendBack(event, 0, 0, key); }

bool BState::sendBack(const BBindingEvent* received, BBindingEvent* reply)
{
    if (!enclosing()) {
        B_FAIL("Enclosing undefined");
        if (reply) reply->destroy();
        return false;
    }
    return enclosing()->sendBack(received, reply);
}

void BState::printHelmData()
{
    char buf[200];
    std::snprintf(buf, sizeof buf, "this:%p %s enclosing:%p", static_cast<void*>(this), ids().c_str(),
                  static_cast<void*>(enclosing()));
    BTrace::instance()->dbgPrint(buf);
}

void BState::printData(int argc, char** argv) { printStateData(argc, argv); }

void BState::printStateData(int, char**)
{
    BTrace::instance()->dbgPrint("------ id:" + std::to_string(_stateId) + " ------");
}

BCompositeState* BState::enclosing(StateId id) const
{
    BCompositeState* e = _enclosing;
    if (id == 0) return e;
    while (e && e->stateId() != id) e = e->enclosing();
    return e;
}

BEvtQueue* BState::queue() const { return nullptr; }

DebugLevel BState::debugLevel() const { return enclosing() ? enclosing()->debugLevel() : 0; }

bool BState::useFastBndQueue() const { return enclosing() ? enclosing()->useFastBndQueue() : false; }

BState* BState::getState(StateId id) { return id == _stateId ? this : nullptr; }

void BState::clearDeferedEvts()
{
    if (enclosing()) enclosing()->clearDeferedEvts();
}

void BState::retryDeferedEvts()
{
    if (enclosing()) enclosing()->retryDeferedEvts();
}

const char* BState::name() const { return enclosing() ? enclosing()->name() : ""; }

std::string BState::instName() const { return enclosing() ? enclosing()->instName() : std::string(); }

void BState::initialize()
{
    if (enclosing() && dbg(DBG_ENTRY))
        BTrace::instance()->dbgPrint("=ent>;" + ids() + " (" + compName() + ")", true, true);
    _stateIsInitialised = true;
}

void BState::dispatch() {}

void BState::abort()
{
    if (enclosing() && dbg(DBG_EXIT))
        BTrace::instance()->dbgPrint("=ext>;" + ids() + " (" + compName() + ")", true, true);
    _stateIsInitialised = false;
}
