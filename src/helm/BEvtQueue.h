#ifndef HELM_BEVTQUEUE_H
#define HELM_BEVTQUEUE_H

#include "helm/BDefs.h"
#include "helm/BPriority.h"

class BEvent;
class BBinding;
class BCompositeState;

// A queue of events for one owner state, at one priority. A queue tells the
// scheduler when it turns non-empty (wake) and empty (sleep); those calls
// must stay exactly paired.
class BEvtQueue {
public:
    BEvtQueue(BCompositeState* owner, BPriority priority);
    virtual ~BEvtQueue() = default;

    virtual bool post(BEvent* e) = 0;
    virtual bool post(SignalId s) = 0;
    virtual BEvent* get() = 0;
    virtual bool isEmpty() const = 0;
    virtual bool isDeferedEmpty() const = 0;
    virtual uint16_t count() const = 0;
    virtual bool postDefered(BEvent* e) = 0;
    virtual void prtSigs() const = 0;
    virtual void removeBindingEvts(BBinding* b) = 0;
    virtual void clearDeferedEvts() = 0;
    virtual void retryDeferedEvts() = 0;

    BCompositeState* owner() const { return _owner; }
    BPriority priority() const { return _priority; }

protected:
    BCompositeState* _owner;
    BPriority _priority;
};

#endif
