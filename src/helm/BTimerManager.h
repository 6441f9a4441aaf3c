#ifndef HELM_BTIMERMANAGER_H
#define HELM_BTIMERMANAGER_H

#include "helm/BDefs.h"

class BTimer;

// Holds every armed timer in lists sorted by expiry; the scheduler asks it
// at the start of each step to fire the expired ones. Timers whose expiry
// lies beyond the wrap of the 32-bit tick wait in the overflow lists until
// the tick wraps.
class BTimerManager {
public:
    BTimerManager();

    bool process();
    void enable(BTimer* t);
    void disable(BTimer* t);
    bool isEmpty() const;
    // Ticks from now until the first armed timer expires (0 when one is
    // due); false when no timer is armed.
    bool ticksToNextExpiry(BTickType* ticks) const;
    void synchroniseTime(uint32_t delta, bool forward);
    void printData();
    void printList(const BTimer* list);

    // Forgets the ticks seen so far (after the tick source was replaced).
    void resync();

    // Trace filter: expiries of timers of this module/component/signal are traced.
    static ModuleId _testMod;
    static ComponentId _testCmp;
    static SignalId _testSig;

private:
    void insert(BTimer*& list, BTimer* t);
    static bool unlink(BTimer*& list, BTimer* t);
    void processList(BTimer*& list, BTimer*& overflow, bool all);
    void traceExpiry(const BTimer* t, bool all);

    BTimer* _relList;
    BTimer* _relOverflowList;
    BTimer* _absList;
    BTimer* _absOverflowList;
    BTickType _lastTimerTick;
    BTickType _prevTimerTick;
    char _dbgStr[510];
};

#endif
