#include "helm/BLocalEvent.h"

#include "bdebug/BAssert.h"

BLocalEvent::BLocalEvent(SignalId signal, bool debug)
    : BEvent(signal, debug), _moduleId(MOD_UNDEFINED), _componentId(CMP_UNDEFINED)
{
    B_ASSERT(signal >= FIRST_LOCAL_SIGNAL, "signal must be in local or system range, sig=" << int(signal));
}
