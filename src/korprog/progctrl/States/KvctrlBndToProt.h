#ifndef KORPROG_PROGCTRL_STATES_KVCTRLBNDTOPROT_H
#define KORPROG_PROGCTRL_STATES_KVCTRLBNDTOPROT_H

#include "helm/BBinderState.h"

class KvctrlRoot;

// Binds the controller's two child components, the connection driver and
// the protocol parser, and holds the connection states in its region. The
// window posts its requests through it. Port errors from the driver end up
// here when no connection state takes them.
class KvctrlBndToProt : public BBinderState {
public:
    explicit KvctrlBndToProt(KvctrlRoot* root);

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

    // The driver (re)opens the configured COM port.
    void portSettings();

private:
    bool handleError(const BEvent* e);

    KvctrlRoot* _root;
};

#endif
