#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPGEOT_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPGEOT_H

#include "helm/BSimpleState.h"

class KvctrlUpgrading;

// The image is out and EOT sent: the unit's ACK ends the upgrade; a NAK
// brings EOT again.
class KvctrlUpgEot : public BSimpleState {
public:
    explicit KvctrlUpgEot(KvctrlUpgrading* upgrading);

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    KvctrlUpgrading* _upgrading;
};

#endif
