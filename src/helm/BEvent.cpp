#include "helm/BEvent.h"

#include "bdebug/BAssert.h"
#include "helm/BScheduler.h"

BEvent::BEvent(SignalId signal, bool debug) : _signalId(signal), _refCount(1), _debug(debug) {}

BEvent::~BEvent() = default;

void BEvent::printData(uint16_t) const {}

void BEvent::destroy()
{
    if (_refCount == 0) {
        B_FAIL("refCount cannot be 0");
        return;
    }
    if (--_refCount == 0) delete this;
}

void BEvent::defer() const
{
    B_ASSERT(BScheduler::currentEvent() == this, "only the event being dispatched can be deferred, sig=" << int(_signalId));
    if (BScheduler::currentEvent() == this) BScheduler::deferedEvent(true);
}
