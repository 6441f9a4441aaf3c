#include "helm/BScheduler.h"

#include <algorithm>
#include <cstdio>

#include "bdebug/BAssert.h"
#include "helm/BBinding.h"
#include "helm/BCompositeState.h"
#include "helm/BEvtQueue.h"
#include "helm/BLocalEvent.h"
#include "helm/BMainState.h"
#include "helm/BRootState.h"
#include "helm/platform/BNamedMutex.h"
#include "helm/platform/BTimerTick.h"

BQListItem* BScheduler::_QList[NR_OF_PRIORITIES] = {};
uint8_t BScheduler::_activePrio = 0;
uint16_t BScheduler::_activeQ[NR_OF_PRIORITIES] = {};
BTimerManager BScheduler::_timerManager;
SystemStatus BScheduler::_systemStatus = SYSTEM_TERMINATED;
BTransitionData BScheduler::_transitionData = {TRAN_NONE, nullptr};
bool BScheduler::_deferedEvent = false;
bool BScheduler::_evtProcessed = false;
BEvtQueue* BScheduler::_currentQueue = nullptr;
BEvent* BScheduler::_currentEvent = nullptr;
std::vector<BBinding*> BScheduler::_releaseBindings;
std::vector<BRootState*> BScheduler::_releaseRootStates;
CurrentEvtQueIds BScheduler::_currEvtQue = {};
Statistics BScheduler::_stats = {false, 0, 0, 0, 0, 0, {}};
int BScheduler::_traceNrEvents = -1;
std::vector<std::string> BScheduler::_recordList;

namespace {

// Priority bit of a queue priority: PRIO_TIMECRITICAL 0x80 ... PRIO_7 0x01.
inline uint8_t prioBit(uint8_t prio) { return uint8_t(0x80u >> prio); }

// Lowest priority number whose bit is set in a mask; background for 0.
struct PrioTable {
    uint8_t prio[256];
    PrioTable()
    {
        prio[0] = PRIO_BACKGROUND;
        for (int m = 1; m < 256; ++m) {
            uint8_t p = 0;
            while (!(m & prioBit(p))) ++p;
            prio[m] = p;
        }
    }
};
const PrioTable g_prioTable;

}  // namespace

BNamedMutex& BScheduler::helmMutex()
{
    static BNamedMutex m;
    return m;
}

BScheduler::Lock::Lock() { helmMutex().lock(); }
BScheduler::Lock::~Lock() { helmMutex().unlock(); }

SystemStatus BScheduler::systemStatus()
{
    Lock lock;
    return _systemStatus;
}

void BScheduler::systemStatus(SystemStatus s)
{
    Lock lock;
    _systemStatus = s;
}

unsigned BScheduler::queueCount(uint8_t prio)
{
    if (prio >= NR_OF_PRIORITIES || !_QList[prio]) return 0;
    unsigned n = 0;
    BQListItem* it = _QList[prio];
    do {
        ++n;
        it = it->_next;
    } while (it != _QList[prio]);
    return n;
}

void BScheduler::registerQueue(BEvtQueue* q)
{
    if (!q) return;
    B_ASSERT(q->isEmpty(), "to be registerd queue is not empty");
    const uint8_t p = q->priority();
    auto* item = new BQListItem{nullptr, q};
    if (!_QList[p]) {
        item->_next = item;
    } else {
        // Insert before the head and make it the head: the circle stays closed.
        BQListItem* last = _QList[p];
        while (last->_next != _QList[p]) last = last->_next;
        item->_next = _QList[p];
        last->_next = item;
    }
    _QList[p] = item;
}

void BScheduler::unregisterQueue(BEvtQueue* q)
{
    if (!q) return;
    const uint8_t p = q->priority();
    if (!_QList[p]) {
        B_FAIL("cannot remove from empty list");
        return;
    }
    BQListItem* prev = _QList[p];
    BQListItem* it = prev->_next;
    while (it->_queue != q && it != _QList[p]) {
        prev = it;
        it = it->_next;
    }
    if (it->_queue != q) {
        B_FAIL("queue not registered");
        return;
    }
    if (!q->isEmpty()) sleep(p);
    if (it == prev) {
        _QList[p] = nullptr;  // its last item
    } else {
        prev->_next = it->_next;
        if (_QList[p] == it) _QList[p] = it->_next;
    }
    delete it;
    if (_currentQueue == q) _currentQueue = nullptr;
}

void BScheduler::wake(uint8_t prio)
{
    if (prio >= NR_OF_PRIORITIES) return;
    Lock lock;
    if (_systemStatus == SYSTEM_SLEEPING) _systemStatus = SYSTEM_ACTIVE;
    if (_activeQ[prio]++ == 0 && prio != PRIO_BACKGROUND) _activePrio |= prioBit(prio);
}

void BScheduler::sleep(uint8_t prio)
{
    if (prio >= NR_OF_PRIORITIES) return;
    Lock lock;
    if (_activeQ[prio] == 0) {
        B_FAIL("sleep without wake, prio=" << int(prio));
        return;
    }
    if (--_activeQ[prio] == 0 && prio != PRIO_BACKGROUND) _activePrio &= uint8_t(~prioBit(prio));
}

uint8_t BScheduler::choosePriority()
{
    Lock lock;
    return g_prioTable.prio[_activePrio];
}

void BScheduler::cleanupBinding(BBinding* b)
{
    if (b && std::find(_releaseBindings.begin(), _releaseBindings.end(), b) == _releaseBindings.end())
        _releaseBindings.push_back(b);
}

void BScheduler::cleanupRootState(BRootState* r)
{
    if (r && std::find(_releaseRootStates.begin(), _releaseRootStates.end(), r) == _releaseRootStates.end())
        _releaseRootStates.push_back(r);
}

void BScheduler::setCurrentQueue(BEvtQueue* q)
{
    _currentQueue = q;
    if (!q) return;
    _currEvtQue.prio = q->priority();
    _currEvtQue.qCount = q->count();
    if (BCompositeState* o = q->owner()) {
        _currEvtQue.qMod = o->moduleId();
        _currEvtQue.qCmp = o->componentId();
        _currEvtQue.qState = o->stateId();
    }
}

void BScheduler::setCurrentEvent(BEvent* e)
{
    _currentEvent = e;
    if (!e) return;
    _currEvtQue.evtMod = e->moduleId();
    _currEvtQue.evtCmp = e->componentId();
    _currEvtQue.evtSig = e->signalId();
}

void BScheduler::setCurrentState(StateId id, SystemAction action)
{
    _currEvtQue.state = id;
    _currEvtQue.action = action;
}

void BScheduler::terminateIfDone()
{
    if (!_timerManager.isEmpty()) return;
    for (auto* head : _QList)
        if (head) return;
    systemStatus(SYSTEM_TERMINATED);
    BTrace::instance()->dbgPrint("Destroy mutexId:" + BMainState::_mutexId, true, true);
    helmMutex().close();
    _recordList.clear();
}

void BScheduler::step()
{
    const BTickType startTick = bTimerTick();
    setCurrentEvent(nullptr);
    resetTarget();
    _evtProcessed = false;
    _deferedEvent = false;
    _timerManager.process();

    const uint8_t prio = choosePriority();
    BQListItem* head = _QList[prio];
    if (!head) {
        if (prio != PRIO_BACKGROUND) B_FAIL("No Queues at prioritylevel " << int(prio));
        switch (systemStatus()) {
        case SYSTEM_SLEEPING:
        case SYSTEM_TERMINATED:
            return;
        case SYSTEM_ACTIVE:
            B_FAIL("no (background) Q found for active system");
            return;
        case SYSTEM_TERMINATING:
            terminateIfDone();
            return;
        }
        B_FAIL("unknown systemstatus");
        return;
    }

    // Rotation: the first non-empty queue from the head is served; the head
    // moves past it, so queues of one priority take turns.
    BQListItem* item = head;
    BQListItem* served = nullptr;
    do {
        if (!item->_queue->isEmpty()) {
            served = item;
            break;
        }
        item = item->_next;
    } while (item != head);

    if (served) {
        _QList[prio] = served->_next;
        setCurrentQueue(served->_queue);
        setCurrentEvent(served->_queue->get());
    } else {
        _QList[prio] = head->_next;
        setCurrentQueue(head->_queue);
        auto* sleepEvt = new BLocalEvent(SIG_SLEEP, true);
        sleepEvt->moduleId(MOD_HELM);
        sleepEvt->componentId(CMP_HELM);
        setCurrentEvent(sleepEvt);
    }

    BState* receiver = _currentQueue->owner();
    if (receiver) {
        receiver->dispatch();
        completeTransitions(receiver);
        if (!_evtProcessed) traceUnprocessed(receiver);
    }
    finishStep(startTick);
}

void BScheduler::completeTransitions(BState* receiver)
{
    auto pending = [] {
        const TransitionMode m = transitionMode();
        return m == TRAN_TARGET || m == TRAN_DONE || m == TRAN_ERROR;
    };
    BState* r = receiver;
    while (pending() && r->enclosing()) {
        BCompositeState* enc = r->enclosing();
        RegionId region = 0;
        if (!enc->findRegion(r, &region)) {
            B_FAIL("state not found in region of LCA");
            break;
        }
        enc->handleTransition(region);
        r = enc;
    }
}

void BScheduler::traceUnprocessed(BState* receiver)
{
    const BEvent* e = _currentEvent;
    if (!e || e->signalId() >= FIRST_SYSTEM_SIGNAL || !(receiver->debugLevel() & DBG_TRAN_INTERNAL)) return;
    char buf[256];
    std::snprintf(buf, sizeof buf, "=ti>;%d:%d:%d;evt[%d:%d:%d;%p]processed (%s:%s)", int(receiver->moduleId()),
                  int(receiver->componentId()), int(receiver->stateId()), int(e->moduleId()), int(e->componentId()),
                  int(e->signalId()), static_cast<const void*>(e), receiver->name(), receiver->instName().c_str());
    BTrace::instance()->dbgPrint(buf, true, true);
}

void BScheduler::finishStep(BTickType startTick)
{
    // The event first: finishing a binding or a root below may delete the
    // queue it came from.
    BEvent* e = _currentEvent;
    setCurrentEvent(nullptr);
    if (e) {
        if (_deferedEvent && _currentQueue && _currentQueue->postDefered(e)) {
        } else {
            e->destroy();
        }
    }
    _deferedEvent = false;

    while (!_releaseBindings.empty()) {
        BBinding* b = _releaseBindings.front();
        _releaseBindings.erase(_releaseBindings.begin());
        b->released();
        delete b;
    }
    while (!_releaseRootStates.empty()) {
        BRootState* r = _releaseRootStates.front();
        _releaseRootStates.erase(_releaseRootStates.begin());
        r->abort();
        delete r;
    }

    if (_stats.check || _traceNrEvents > 0) {
        const BTickType ticks = bTimerTick() - startTick;
        if (_stats.check) {
            ++_stats.nrEvents;
            if (_stats.nrEvents == 1 || ticks < _stats.min) _stats.min = ticks;
            _stats.avg = (_stats.avg + ticks) / 2;
            if (ticks >= _stats.max) {
                _stats.max = ticks;
                _stats.longest = currentQueueAndEvent(ticks);
            }
            if (_stats.boundary > 0 && ticks > _stats.boundary) {
                BTrace::instance()->dbgPrint("RTC step too long, current:  " + std::to_string(ticks * 10) +
                                                 " ms rtcMax=" + std::to_string(_stats.boundary) + ", is " +
                                                 std::to_string(_stats.boundary * 10) + " ms, " +
                                                 currentQueueAndEvent(ticks),
                                             true, true);
            }
        }
        if (_traceNrEvents > 0) {
            _recordList.push_back(currentQueueAndEvent(ticks));
            --_traceNrEvents;
        }
    }
}
