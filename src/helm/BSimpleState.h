#ifndef HELM_BSIMPLESTATE_H
#define HELM_BSIMPLESTATE_H

#include "helm/BState.h"

// A leaf state; its events come through its enclosing composite's queue.
class BSimpleState : public BState {
public:
    BSimpleState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id);

    BEvtQueue* queue() const override;
    void initialize() override;
    void dispatch() override;
    void abort() override;
};

#endif
