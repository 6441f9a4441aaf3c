#ifndef HELM_BCOMPOSITESTATE_H
#define HELM_BCOMPOSITESTATE_H

#include "helm/BPriority.h"
#include "helm/BState.h"
#include "lib/LList/SLList.h"

// A state with one or more orthogonal regions, each holding one current
// sub-state, and an own event queue plus a binding queue.
class BCompositeState : public BState {
public:
    BCompositeState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id, BPriority prio,
                    BEvtQueue* queue = nullptr);
    // A composite with a fixed ring of `size` bytes for signal-only traffic.
    BCompositeState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id, BPriority prio,
                    uint16_t size);
    ~BCompositeState() override;

    BEvtQueue* queue() const override { return _queue; }
    BState* getState(StateId id) override;
    void clearDeferedEvts() override;
    void retryDeferedEvts() override;
    void printHelmData() override;
    void printData(int argc, char** argv) override;
    void initialize() override;
    void dispatch() override;
    void abort() override;

    virtual void addRegion(BState* initial);
    virtual void onInitial(const BEvent*, RegionId) {}
    virtual void onDone(const BEvent* e, RegionId region);
    virtual void onError(const BEvent* e, RegionId region);
    virtual BEvtQueue* bndqueue() const { return _bndqueue; }

    // Completes the transition the current state of `region` asked for.
    void handleTransition(RegionId region);
    // Leaves every region's current state and empties the region list.
    void cleanupRegions();
    // Leaves the current state of `region`, deletes it unless persistent.
    void abortTree(RegionId region);

    RegionId regionCount() const { return RegionId(_enclosedList.count()); }
    BState* regionState(RegionId region) const;
    bool findRegion(const BState* s, RegionId* region) const;

protected:
    // Enters every region: onInitial, then the region state's initialize().
    void enterRegions();
    void setRegionState(RegionId region, BState* s);

    SLList<BState*> _enclosedList;
    BEvtQueue* _queue;
    bool _autoQueue;
    BEvtQueue* _bndqueue;
};

#endif
