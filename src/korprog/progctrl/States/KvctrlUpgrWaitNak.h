#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPGRWAITNAK_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPGRWAITNAK_H

#include "helm/BSimpleState.h"

class KvctrlUpgrading;

// The unit has its boot loader; its NAK asks for the first image packet.
class KvctrlUpgrWaitNak : public BSimpleState {
public:
    explicit KvctrlUpgrWaitNak(KvctrlUpgrading* upgrading);

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    KvctrlUpgrading* _upgrading;
};

#endif
