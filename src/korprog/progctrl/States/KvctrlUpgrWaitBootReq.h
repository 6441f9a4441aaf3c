#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPGRWAITBOOTREQ_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPGRWAITBOOTREQ_H

#include "helm/BSimpleState.h"

class KvctrlUpgrading;

// The upgrade waits for the unit to restart into its boot loader and ask
// for the second-stage boot loader.
class KvctrlUpgrWaitBootReq : public BSimpleState {
public:
    explicit KvctrlUpgrWaitBootReq(KvctrlUpgrading* upgrading);

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    KvctrlUpgrading* _upgrading;
};

#endif
