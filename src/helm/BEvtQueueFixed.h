#ifndef HELM_BEVTQUEUEFIXED_H
#define HELM_BEVTQUEUEFIXED_H

#include "helm/BEvtQueue.h"

// Ring of local signals for signal-only traffic; holds at most size-1 signals.
class BEvtQueueFixed : public BEvtQueue {
public:
    BEvtQueueFixed(BCompositeState* owner, BPriority priority, uint16_t size);
    ~BEvtQueueFixed() override;
    BEvtQueueFixed(const BEvtQueueFixed&) = delete;
    BEvtQueueFixed& operator=(const BEvtQueueFixed&) = delete;

    bool post(BEvent* e) override;
    bool post(SignalId s) override;
    BEvent* get() override;
    bool isEmpty() const override;
    bool isDeferedEmpty() const override { return true; }
    uint16_t count() const override;
    bool postDefered(BEvent*) override { return false; }
    void prtSigs() const override {}
    void removeBindingEvts(BBinding*) override {}
    void clearDeferedEvts() override {}
    void retryDeferedEvts() override {}

private:
    uint16_t next(uint16_t pos) const { return uint16_t((pos + 1) % _qSize); }

    uint16_t _qSize;
    SignalId* _queue;
    uint16_t _readPtr;
    uint16_t _writePtr;
};

#endif
