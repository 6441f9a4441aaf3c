#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPGRADING_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPGRADING_H

#include <cstdint>
#include <string>

#include "helm/BCompositeState.h"
#include "korprog/progctrl/Run/KvctrlUpgrOutcome.h"

class BTimer;
class KvctrlRoot;
class KvctrlStiEvt;

// The firmware upgrade through the unit's boot loader: the second-stage
// boot loader, the unit's boot record, then the image in numbered 128-byte
// packets, each answered by ACK or NAK, closed by EOT. Its sub-states are
// the steps; this state holds the image and the packet stream.
class KvctrlUpgrading : public BCompositeState {
public:
    enum OrigReq { REQ_FROM_KORVAN = 0, REQ_FROM_PROGRAMMER = 1, UNDEF_ORIG = 2 };
    static const uint8_t UPGRADE_TIMEOUT_INTV = 30;

    // The image (nrBytes at binData, owned by the pack database); event is
    // what asked for the upgrade and tells who did.
    KvctrlUpgrading(BCompositeState* enclosing, int nrBytes, const uint8_t* binData, const BEvent* event);
    ~KvctrlUpgrading() override;

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;
    void onError(const BEvent* e, RegionId region) override;
    void onDone(const BEvent*, RegionId) override {}

    // The 30-second progress timer, into the queue of KvctrlConnected.
    void startTimer();
    void stopTimer();
    // Sends the second-stage boot loader; after a time-out a unit-initiated
    // upgrade tries the pack's next one. False when there is none to send
    // (the outcome then says so).
    bool sendBtlData(bool dueToTimeout);
    // Whether a boot loader went out in this upgrade.
    bool btlSent() const { return _btlSent; }
    // Sends the next packet; true when it was the last.
    bool sendPacket();
    // Sends the last packet again: the one a NAK answers.
    bool re_SendPacket();
    // The end of the image.
    void sendEot();

    // The unit answered NAK; true once it has done so too often in a row.
    bool nakGivesUp();
    // The unit acknowledged what was sent.
    void ackReceived();
    // Why the upgrade is failing.
    void fail(const KvctrlUpgrOutcome& outcome) { _outcome = outcome; }
    // The whole image was taken, its end never answered: the upgrade ends,
    // and the unit's report decides, report itself when it came already
    // (outcome: the failure else).
    void endUnacknowledged(const KvctrlUpgrOutcome& outcome, const KvctrlStiEvt* report);
    // The driver lost the port (it keeps trying to open it again): true for
    // the event that tells it is open again, on which a step sends again
    // what the unit may have missed.
    bool portBack(const BEvent* e);

    OrigReq origReq() const { return _origReq; }
    KvctrlRoot* root() const { return _root; }

private:
    void showProgress();
    // A failure in the window: an alert and a note in the status line.
    void tellFailure();
    // Arms the check of the version the unit reports after the image.
    void awaitVersion();

    KvctrlRoot* _root;
    BTimer* _timer;
    int _nrBytes;
    int _bytePtr;
    uint8_t _packetNr;
    const uint8_t* _binData;
    uint8_t _segmentPacketNr;
    uint16_t _segmentDelta;
    int _lastSegmenPtr;
    OrigReq _origReq;
    int _naksInARow;
    bool _completed;
    KvctrlUpgrOutcome _outcome;
    int _bytesAcked;
    bool _btlSent;
    bool _portLost;
    // The IMEI of the unit asked to upgrade; "" when it started in its boot
    // loader (which tells none).
    std::string _imeiBefore;
    bool _endUnacknowledged;
    bool _versionAwaited;
    int _lastPacketPtr;  // image offset of the last packet sent
};

#endif
