#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPGRWAITSTATINFO_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPGRWAITSTATINFO_H

#include "helm/BSimpleState.h"

class BTimer;
class KvctrlUpgrading;

// The second-stage boot loader went out; the upgrade waits for the unit's
// boot record, sending the boot loader again when the unit asks or every
// 8 seconds. For a unit that asked for its boot loader by itself, a boot
// loader that does not fit its hardware is replaced (at most three times).
class KvctrlUpgrWaitStatInfo : public BSimpleState {
public:
    static const uint8_t BOOTINFO_TIMEOUT_INTV = 8;
    static const int MAX_SELF_TRANSITIONS = 3;

    explicit KvctrlUpgrWaitStatInfo(KvctrlUpgrading* upgrading);
    ~KvctrlUpgrWaitStatInfo() override;

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

    // Boot-loader replacements so far in this upgrade.
    static void selfTransition(int n) { _selfTransition = n; }

private:
    bool bootInfo(const BEvent* e);
    void bootInfoTimeout();
    void armTimer();
    // Shows the status, lets the window repaint, and pauses 2 seconds.
    void pause(const char* status);

    KvctrlUpgrading* _upgrading;
    BTimer* _timer;

    static int _selfTransition;
};

#endif
