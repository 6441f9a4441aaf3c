#include "helm/BTimerManager.h"

#include <cstdio>
#include <initializer_list>

#include "bdebug/BTrace.h"
#include "helm/BCompositeState.h"
#include "helm/BEvtQueue.h"
#include "helm/BTimer.h"
#include "helm/platform/BTimerTick.h"

ModuleId BTimerManager::_testMod = 0;
ComponentId BTimerManager::_testCmp = 0;
SignalId BTimerManager::_testSig = 0;

BTimerManager::BTimerManager()
    : _relList(nullptr), _relOverflowList(nullptr), _absList(nullptr), _absOverflowList(nullptr),
      _lastTimerTick(0), _prevTimerTick(0), _dbgStr{}
{
}

void BTimerManager::resync() { _lastTimerTick = _prevTimerTick = bTimerTick(); }

bool BTimerManager::isEmpty() const
{
    return !_relList && !_relOverflowList && !_absList && !_absOverflowList;
}

bool BTimerManager::ticksToNextExpiry(BTickType* ticks) const
{
    const BTickType now = bTimerTick();
    bool any = false;
    BTickType first = 0;
    // Each list's first timer is its earliest. Counted modulo the wrap of
    // the tick: one that lies behind now is due.
    for (const BTimer* t : {_relList, _relOverflowList, _absList, _absOverflowList}) {
        if (!t) continue;
        const BTickType diff = t->_timeStamp - now;
        const BTickType left = int32_t(diff) > 0 ? diff : 0;
        if (!any || left < first) first = left;
        any = true;
    }
    if (any && ticks) *ticks = first;
    return any;
}

void BTimerManager::insert(BTimer*& list, BTimer* t)
{
    if (!list || t->_timeStamp <= list->_timeStamp) {
        t->_next = list;
        list = t;
        return;
    }
    BTimer* prev = list;
    while (prev->_next && prev->_next->_timeStamp <= t->_timeStamp) prev = prev->_next;
    t->_next = prev->_next;
    prev->_next = t;
}

bool BTimerManager::unlink(BTimer*& list, BTimer* t)
{
    for (BTimer** p = &list; *p; p = &(*p)->_next) {
        if (*p == t) {
            *p = t->_next;
            t->_next = nullptr;
            return true;
        }
    }
    return false;
}

void BTimerManager::enable(BTimer* t)
{
    // An expiry below the last tick seen can only mean the addition wrapped.
    const bool wrapped = t->_timeStamp < _lastTimerTick;
    if (t->_absoluteTimer) insert(wrapped ? _absOverflowList : _absList, t);
    else insert(wrapped ? _relOverflowList : _relList, t);
}

void BTimerManager::disable(BTimer* t)
{
    if (t->_absoluteTimer) {
        if (!unlink(_absList, t)) unlink(_absOverflowList, t);
    } else {
        if (!unlink(_relList, t)) unlink(_relOverflowList, t);
    }
}

void BTimerManager::traceExpiry(const BTimer* t, bool all)
{
    if (_testMod == 0) return;
    const BCompositeState* owner = t->_queue ? t->_queue->owner() : nullptr;
    if (!owner || owner->moduleId() != _testMod || owner->componentId() != _testCmp || t->_signal != _testSig) return;
    std::snprintf(_dbgStr, sizeof _dbgStr,
                  "BTimerManager::processList, all:%d mod:%d cmp:%d sig:%d prevTick:%llu lastTick:%llu timest:%llu "
                  "intv:%llu lst:%p lst_next:%p",
                  int(all), int(owner->moduleId()), int(owner->componentId()), int(t->_signal),
                  (unsigned long long)_prevTimerTick, (unsigned long long)_lastTimerTick,
                  (unsigned long long)t->_timeStamp, (unsigned long long)t->_interval, static_cast<const void*>(t),
                  static_cast<const void*>(t->_next));
    BTrace::instance()->dbgPrint(_dbgStr, true, true);
}

void BTimerManager::processList(BTimer*& list, BTimer*& overflow, bool all)
{
    while (list && (all || _lastTimerTick >= list->_timeStamp)) {
        BTimer* t = list;
        traceExpiry(t, all);
        list = t->_next;
        t->_next = nullptr;
        t->fire();
        if (t->_interval == 0) {
            t->_armed = false;
            continue;
        }
        const BTickType old = t->_timeStamp;
        t->_timeStamp += t->_interval;
        // A timer that fell a whole period behind (the program could not
        // run) fires once and goes on from now: a poll after a long pause
        // is one poll, not a burst of them.
        if (int32_t(t->_timeStamp - _lastTimerTick) <= 0) t->_timeStamp = _lastTimerTick + t->_interval;
        if (_testMod != 0 && t->_signal == _testSig) {
            std::snprintf(_dbgStr, sizeof _dbgStr, "BTimerManager::fire, new timest:%llu",
                          (unsigned long long)t->_timeStamp);
            BTrace::instance()->dbgPrint(_dbgStr, true, true);
        }
        insert(t->_timeStamp < old ? overflow : list, t);
    }
}

bool BTimerManager::process()
{
    _prevTimerTick = _lastTimerTick;
    _lastTimerTick = bTimerTick();
    if (_lastTimerTick == _prevTimerTick) return false;
    if (_lastTimerTick > _prevTimerTick) {
        processList(_relList, _relOverflowList, false);
        processList(_absList, _absOverflowList, false);
        return true;
    }
    if (int32_t(_prevTimerTick - _lastTimerTick) >= 0) return false;  // the clock stepped back: wait
    // The tick wrapped: everything in the main lists lay before the wrap and
    // has expired; the overflow lists become the main lists.
    processList(_relList, _relOverflowList, true);
    _relList = _relOverflowList;
    _relOverflowList = nullptr;
    processList(_relList, _relOverflowList, false);
    processList(_absList, _absOverflowList, true);
    _absList = _absOverflowList;
    _absOverflowList = nullptr;
    processList(_absList, _absOverflowList, false);
    return true;
}

void BTimerManager::synchroniseTime(uint32_t delta, bool forward)
{
    BTimer* all = nullptr;
    auto take = [&](BTimer*& list) {
        while (list) {
            BTimer* t = list;
            list = t->_next;
            t->_next = all;
            all = t;
        }
    };
    take(_relList);
    take(_relOverflowList);
    while (all) {
        BTimer* t = all;
        all = t->_next;
        t->_next = nullptr;
        t->_timeStamp = forward ? t->_timeStamp + delta : t->_timeStamp - delta;
        enable(t);
    }
}

void BTimerManager::printList(const BTimer* list)
{
    for (const BTimer* t = list; t; t = t->_next) {
        const BCompositeState* owner = t->_queue ? t->_queue->owner() : nullptr;
        std::snprintf(_dbgStr, sizeof _dbgStr, "  timer:%p mod:%d cmp:%d sig:%d timest:%llu intv:%llu",
                      static_cast<const void*>(t), owner ? int(owner->moduleId()) : 0,
                      owner ? int(owner->componentId()) : 0, int(t->_signal), (unsigned long long)t->_timeStamp,
                      (unsigned long long)t->_interval);
        BTrace::instance()->dbgPrint(_dbgStr);
    }
}

void BTimerManager::printData()
{
    BTrace* tr = BTrace::instance();
    tr->dbgPrint("Timer List (relative timers):");
    printList(_relList);
    tr->dbgPrint("Timer Overflow List (relative timers):");
    printList(_relOverflowList);
    tr->dbgPrint("Timer List (absolute timers):");
    printList(_absList);
    tr->dbgPrint("Timer Overflow List (absolute timers):");
    printList(_absOverflowList);
}
