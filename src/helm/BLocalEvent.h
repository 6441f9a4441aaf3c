#ifndef HELM_BLOCALEVENT_H
#define HELM_BLOCALEVENT_H

#include "helm/BEvent.h"

// Event for local (100-199) and system (200-255) signals; never leaves its component.
class BLocalEvent : public BEvent {
public:
    BLocalEvent(SignalId signal, bool debug);

    ModuleId moduleId() const override { return _moduleId; }
    ComponentId componentId() const override { return _componentId; }
    void moduleId(ModuleId m) { _moduleId = m; }
    void componentId(ComponentId c) { _componentId = c; }

protected:
    ModuleId _moduleId;
    ComponentId _componentId;
};

#endif
