#include "helm/BEvtQueue.h"

#include "bdebug/BAssert.h"

BEvtQueue::BEvtQueue(BCompositeState* owner, BPriority priority) : _owner(owner), _priority(priority)
{
    B_ASSERT(owner != nullptr, "owner must be defined");
    B_ASSERT(priority >= PRIO_TIMECRITICAL && priority <= PRIO_BACKGROUND, "wrong priority");
}
