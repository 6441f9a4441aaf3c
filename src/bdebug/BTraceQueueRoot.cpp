#include "bdebug/BTraceQueueRoot.h"

#include <cstdio>

#include "bdebug/BTrace.h"
#include "helm/BEvent.h"
#include "helm/BEvtQueue.h"
#include "helm/BScheduler.h"

BTraceQueueRoot::BTraceQueueRoot() : BRootState("trace", MOD_HELM, CMP_HELM, PRIO_7), _registered(false) {}

BTraceQueueRoot::~BTraceQueueRoot()
{
    // The queue is deleted with this state and releases what it still holds.
    if (_registered) BScheduler::unregisterQueue(_queue);
    _registered = false;
}

void BTraceQueueRoot::post(BEvent* event)
{
    if (!event) return;
    // A queue must be empty when it is registered; it is, since it leaves
    // the scheduler only once empty.
    if (!_registered) {
        BScheduler::registerQueue(_queue);
        _registered = true;
    }
    event->copy();
    _queue->post(event);
}

void BTraceQueueRoot::dispatch()
{
    const BEvent* e = BScheduler::currentEvent();
    if (e) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "=rert>;evt[%d:%d:%d;%p]", int(e->moduleId()), int(e->componentId()),
                      int(e->signalId()), static_cast<const void*>(e));
        BTrace::instance()->dbgPrint(buf, true, true);
        e->printData(BTrace::DATA);
    }
    if (_registered && _queue->isEmpty()) {
        BScheduler::unregisterQueue(_queue);
        _registered = false;
    }
}
