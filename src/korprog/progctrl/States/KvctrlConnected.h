#ifndef KORPROG_PROGCTRL_STATES_KVCTRLCONNECTED_H
#define KORPROG_PROGCTRL_STATES_KVCTRLCONNECTED_H

#include "helm/BCompositeState.h"

class KvctrlRoot;

// A unit is present. Holds the work with it: idle (life check), the
// settings transfers and the firmware upgrade. Ends in KvctrlDisconnected
// when the unit falls silent or an upgrade fails.
class KvctrlConnected : public BCompositeState {
public:
    explicit KvctrlConnected(BCompositeState* enclosing);

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;
    void onError(const BEvent* e, RegionId region) override;
    void onDone(const BEvent*, RegionId) override {}

private:
    bool lifeCheckTimeout(const BEvent* e);
    // The unit came up in its boot loader: waits for the firmware image to
    // be chosen, then starts the upgrade.
    void bootLoadReq(const BEvent* e);

    KvctrlRoot* _root;
};

#endif
