#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPGRUPLOAD_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPGRUPLOAD_H

#include "helm/BSimpleState.h"

class KvctrlUpgrading;

// The image goes out packet by packet: ACK brings the next, NAK the same one
// again. After the last packet's ACK comes EOT.
class KvctrlUpgrUpload : public BSimpleState {
public:
    // uplReady: the packet already sent was the image's last.
    KvctrlUpgrUpload(KvctrlUpgrading* upgrading, bool uplReady);

    bool isPersistent() const override { return false; }
    void onEvent(const BEvent* e) override;

private:
    KvctrlUpgrading* _upgrading;
    bool _uplReady;
};

#endif
