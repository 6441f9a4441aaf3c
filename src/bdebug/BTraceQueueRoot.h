#ifndef BDEBUG_BTRACEQUEUEROOT_H
#define BDEBUG_BTRACEQUEUEROOT_H

#include "helm/BRootState.h"

class BEvent;

// Owner of the trace queue, the queue that re-routed binding events go to.
// It is never entered and never registered as a component: its queue joins
// the scheduler only while it holds events, so the scheduler's readiness
// bookkeeping stays balanced and shutdown is not held up by an idle queue.
// Each event taken from the queue is written to the trace and then released
// by the scheduler like any dispatched event.
class BTraceQueueRoot : public BRootState {
public:
    BTraceQueueRoot();
    ~BTraceQueueRoot() override;

    bool isPersistent() const override { return true; }
    void dispatch() override;

    // Takes one reference to the event and queues it.
    void post(BEvent* event);

private:
    bool _registered;
};

#endif
