#ifndef KORPROG_PROGCTRL_STATES_KVCTRLDOWNLOADING_H
#define KORPROG_PROGCTRL_STATES_KVCTRLDOWNLOADING_H

#include "helm/BSimpleState.h"

class KvctrlRoot;

// "Ophalen": the unit sends its settings entry by entry into the setting
// bin; each is acknowledged. The editor opens on them at the end.
class KvctrlDownloading : public BSimpleState {
public:
    explicit KvctrlDownloading(BCompositeState* enclosing);

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    bool settingEntry(const BEvent* e);
    bool waiting(const BEvent* e);

    KvctrlRoot* _root;
};

#endif
