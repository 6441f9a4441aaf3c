#include "helm/BBindingEvent.h"

#include "bdebug/BAssert.h"
#include "helm/BBinding.h"

BBindingEvent::BBindingEvent(SignalId signal, bool debug)
    : BEvent(signal, debug), _binding(nullptr), _source(PARENT), _childModuleId(0), _childComponentId(0)
{
    B_ASSERT(signal < FIRST_LOCAL_SIGNAL || signal >= FIRST_SYSTEM_SIGNAL,
             "Signal must be in external or system range, sig=" << int(signal));
}

BKey* BBindingEvent::key() const
{
    BKey* k = _binding ? _binding->key() : nullptr;
    B_ASSERT(k != nullptr, "No key available");
    return k;
}
