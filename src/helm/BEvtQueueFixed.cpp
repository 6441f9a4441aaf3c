#include "helm/BEvtQueueFixed.h"

#include "bdebug/BAssert.h"
#include "helm/BCompositeState.h"
#include "helm/BLocalEvent.h"
#include "helm/BScheduler.h"

BEvtQueueFixed::BEvtQueueFixed(BCompositeState* owner, BPriority priority, uint16_t size)
    : BEvtQueue(owner, priority), _qSize(size < 2 ? 2 : size), _queue(new SignalId[_qSize]()), _readPtr(0), _writePtr(0)
{
}

BEvtQueueFixed::~BEvtQueueFixed() { delete[] _queue; }

bool BEvtQueueFixed::post(BEvent*)
{
    B_FAIL("post: BEvent* not supported");
    return false;
}

bool BEvtQueueFixed::isEmpty() const
{
    BScheduler::Lock lock;
    return _readPtr == _writePtr;
}

uint16_t BEvtQueueFixed::count() const
{
    BScheduler::Lock lock;
    return uint16_t((_writePtr + _qSize - _readPtr) % _qSize);
}

bool BEvtQueueFixed::post(SignalId s)
{
    B_ASSERT(s >= FIRST_LOCAL_SIGNAL && s < FIRST_SYSTEM_SIGNAL, "fixedQueue can only hold BLocalEvents");
    bool wasEmpty;
    {
        BScheduler::Lock lock;
        if (next(_writePtr) == _readPtr) {
            B_FAIL("Evt NOT posted");
            return false;
        }
        wasEmpty = _readPtr == _writePtr;
        _queue[_writePtr] = s;
        _writePtr = next(_writePtr);
    }
    if (wasEmpty) BScheduler::wake(_priority);
    return true;
}

BEvent* BEvtQueueFixed::get()
{
    SignalId s;
    bool nowEmpty;
    {
        BScheduler::Lock lock;
        if (_readPtr == _writePtr) {
            B_FAIL("Evt empty");
            return nullptr;
        }
        s = _queue[_readPtr];
        _readPtr = next(_readPtr);
        nowEmpty = _readPtr == _writePtr;
    }
    auto* e = new BLocalEvent(s, true);
    if (_owner) {
        e->moduleId(_owner->moduleId());
        e->componentId(_owner->componentId());
    }
    if (nowEmpty) BScheduler::sleep(_priority);
    return e;
}
