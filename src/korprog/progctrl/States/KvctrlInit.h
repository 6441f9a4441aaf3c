#ifndef KORPROG_PROGCTRL_STATES_KVCTRLINIT_H
#define KORPROG_PROGCTRL_STATES_KVCTRLINIT_H

#include "helm/BSimpleState.h"

class BTimer;
class KvctrlBndToProt;
class KvctrlRoot;

// The first connection state: opens the port and asks for the unit's
// status every 2 seconds; gives up after the life-check time-out.
class KvctrlInit : public BSimpleState {
public:
    static const uint8_t POLL_INTV = 2;  // seconds between status requests

    explicit KvctrlInit(KvctrlBndToProt* enclosing);
    ~KvctrlInit() override;

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    bool statusInfo(const BEvent* e);
    bool lifeCheckTimeout(const BEvent* e);
    bool handleError(const BEvent* e);

    KvctrlBndToProt* _bndSt;
    KvctrlRoot* _root;
    BTimer* _lifeChkTmr;
};

#endif
