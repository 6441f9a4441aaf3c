#ifndef HELM_BEVTQUEUEFLEX_H
#define HELM_BEVTQUEUEFLEX_H

#include "helm/BEvtQueue.h"
#include "lib/LList/SLList.h"

// Unbounded FIFO of events plus a list of deferred events.
class BEvtQueueFlex : public BEvtQueue {
public:
    BEvtQueueFlex(BCompositeState* owner, BPriority priority);
    ~BEvtQueueFlex() override;

    bool post(BEvent* e) override;
    bool post(SignalId s) override;
    BEvent* get() override;
    bool isEmpty() const override { return _list.isEmpty(); }
    bool isDeferedEmpty() const override { return _deferedList.isEmpty(); }
    uint16_t count() const override { return uint16_t(_list.count()); }
    bool postDefered(BEvent* e) override;
    void prtSigs() const override;
    void removeBindingEvts(BBinding* b) override;
    void clearDeferedEvts() override;
    void retryDeferedEvts() override;

private:
    SLList<BEvent*> _list;
    SLList<BEvent*> _deferedList;
};

#endif
