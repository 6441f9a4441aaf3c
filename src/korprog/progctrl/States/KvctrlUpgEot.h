#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPGEOT_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPGEOT_H

#include "helm/BSimpleState.h"

class BTimer;
class KvctrlUpgrading;

// The image is out and EOT sent: the unit's ACK ends the upgrade; a NAK
// brings EOT again. An EOT can be lost on the line, or emptied from the
// input of a receiver that clears it after each ACK: as XMODEM senders do,
// EOT goes again when nothing answers it for a few seconds, at most
// MAX_EOTS times in all. Still unanswered, the upgrade ends all the same:
// the unit's report of the image's version proves it (KvctrlVersionCheck).
class KvctrlUpgEot : public BSimpleState {
public:
    static const uint8_t EOT_RETRY_INTV = 3;  // seconds
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

    KvctrlUpgrading* _upgrading;
    BTimer* _timer;
    int _unanswered;  // EOTs sent since the unit last answered
};

#endif
