#ifndef HELM_BBINDINGEVENT_H
#define HELM_BBINDINGEVENT_H

#include "helm/BEvent.h"

class BKey;

// Event that crosses components over a binding (signals 0-99 and system).
class BBindingEvent : public BEvent {
public:
    enum Source { PARENT = 0, CHILD = 1 };

    BBindingEvent(SignalId signal, bool debug);

    ModuleId moduleId() const override { return _childModuleId; }
    ComponentId componentId() const override { return _childComponentId; }
    BBinding* binding() const override { return _binding; }
    virtual BKey* key() const;

    void binding(BBinding* b) { _binding = b; }
    Source source() const { return _source; }
    void source(Source s) { _source = s; }
    void moduleId(ModuleId m) { _childModuleId = m; }
    void componentId(ComponentId c) { _childComponentId = c; }

protected:
    BBinding* _binding;
    Source _source;
    ModuleId _childModuleId;
    ComponentId _childComponentId;
};

#endif
