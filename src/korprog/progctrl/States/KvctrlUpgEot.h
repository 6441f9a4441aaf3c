#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPGEOT_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPGEOT_H

#include "helm/BSimpleState.h"

class BTimer;
class KvctrlUpgrading;

// The image is out and EOT sent: the unit's ACK ends the upgrade; a NAK
// brings EOT again. An EOT can be lost on the line, or emptied from the
// input of a receiver that clears it after each ACK; its answer can be
// lost too, by a receiver that empties its output as it exits. So while
// nothing answers, every EOT_RETRY_INTV the unit is asked for its
// status and sent EOT by turns, at most MAX_EOTS EOTs in all. A status
// record means the unit runs its application again: the upgrade ends
// unacknowledged, and the version it reports decides (KvctrlVersionCheck);
// so does the one it reports later when all went unanswered.
class KvctrlUpgEot : public BSimpleState {
public:
    // In 100 ms; an XMODEM receiver answers EOT after a second of quiet.
    static const uint8_t EOT_RETRY_INTV = 15;
    static const int MAX_EOTS = 10;

    explicit KvctrlUpgEot(KvctrlUpgrading* upgrading);
    ~KvctrlUpgEot() override;

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    void armTimer();
    // Sends EOT again; false once MAX_EOTS went unanswered.
    bool eotAgain();
    // Asks the unit for its status: a unit back in its application answers.
    void askForStatus();
    void endUnacknowledged(const BEvent* report);

    KvctrlUpgrading* _upgrading;
    BTimer* _timer;
    int _unanswered;  // EOTs sent since the unit last answered
    bool _askedLast;  // the status request went after the last EOT
};

#endif
