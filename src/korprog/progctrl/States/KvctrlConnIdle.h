#ifndef KORPROG_PROGCTRL_STATES_KVCTRLCONNIDLE_H
#define KORPROG_PROGCTRL_STATES_KVCTRLCONNIDLE_H

#include "helm/BSimpleState.h"

class KvctrlRoot;

// Connected and idle: polls the unit every second, watches its answers, and
// starts downloads, uploads and upgrades, including those the command line
// asks for.
class KvctrlConnIdle : public BSimpleState {
public:
    explicit KvctrlConnIdle(BCompositeState* enclosing);

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    bool handleAck(const BEvent* e);
    bool statusInfo(const BEvent* e);
    bool downloadRequest(const BEvent* e);
    bool uploadRequest(const BEvent* e);
    bool lifeCheckTimer(const BEvent* e);
    // reqToKor: the tool asks the unit for its boot loader first.
    bool upgradeReq(const BEvent* e, bool reqToKor);
    void commandLineStarts();

    KvctrlRoot* _root;
};

#endif
