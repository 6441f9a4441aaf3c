#ifndef KORPROG_PROGCTRL_STATES_KVCTRLDISCONNECTED_H
#define KORPROG_PROGCTRL_STATES_KVCTRLDISCONNECTED_H

#include "helm/BSimpleState.h"
#include "korprog/RunFailure.h"

class KvctrlRoot;

// No unit answers: asks for the status every second and shows why in red,
// until a unit reports itself (or asks for its boot loader). An unattended
// run ends here, failing as the state that gave the unit up says (no unit
// answered at all, the port, or a unit lost on the way).
class KvctrlDisconnected : public BSimpleState {
public:
    KvctrlDisconnected(BCompositeState* enclosing, RunFailure::Kind why);

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    bool statusInfo(const BEvent* e);
    bool lifeCheckTmr(const BEvent* e);
    bool portChanged(const BEvent* e);

    KvctrlRoot* _root;
    RunFailure::Kind _why;
};

#endif
