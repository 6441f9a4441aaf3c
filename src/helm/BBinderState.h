#ifndef HELM_BBINDERSTATE_H
#define HELM_BBINDERSTATE_H

#include "helm/BCompositeState.h"

class BBinding;

// Parent side of bindings: owns bindings to child components and enters its
// own sub-states only once every binding has been accepted.
class BBinderState : public BCompositeState {
public:
    BBinderState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id, BPriority prio);
    ~BBinderState() override;

    using BState::sendBack;

    uint16_t sendExternal(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key) override;
    void printData(int argc, char** argv) override;
    void initialize() override;
    void dispatch() override;
    void abort() override;

    virtual void addBinding(BBinding* b);
    virtual void onRejected() {}
    virtual void onWatchdogError(BBinding*) {}

    // Releases every binding and empties the list.
    void cleanupBindings();
    const SLList<BBinding*>& childList() const { return _childList; }

protected:
    SLList<BBinding*> _childList;
    uint16_t _abCounter;
};

#endif
