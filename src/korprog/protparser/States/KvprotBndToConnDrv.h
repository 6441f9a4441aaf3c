#ifndef KORPROG_PROTPARSER_STATES_KVPROTBNDTOCONNDRV_H
#define KORPROG_PROTPARSER_STATES_KVPROTBNDTOCONNDRV_H

#include <cstdint>

#include "helm/BBinderState.h"

class CdrvStrEvt;
class KvctrlBootInf;
class KvctrlStiEvt;
class KvprotSeeEvt;

// The parser's working state. It binds the connection driver, turns every
// protocol event of the controller into bytes for the driver, and every
// message the driver delivers into one event for the controller. Apart from
// the count of bad frames in a row it keeps no protocol state: sequencing,
// time-outs and retries are the controller's.
class KvprotBndToConnDrv : public BBinderState {
public:
    // Bad frames in a row that are still answered with NAK, less one.
    static constexpr uint8_t MAXBADCKSUMS = 3;
    enum { STATE_ID = 10 };

    explicit KvprotBndToConnDrv(BCompositeState* enclosing);
    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent*) override {}
    void onEvent(const BEvent* e) override;
    void onRejected() override {}
    void onWatchdogError(BBinding*) override {}
    void printStateData(int, char**) override {}

    // The six-byte request frame of `type` (SOH, type, 0, STX, ETX, type + 6)
    // into buffer; returns 6.
    static int fillData(uint8_t type, signed char* buffer);
    // The status record in a received frame, as the event for the
    // controller (also for a look at a port outside a run). The caller owns
    // the event.
    static KvctrlStiEvt* getStatusInfo(const CdrvStrEvt* strEvt);

private:
    // Controller side: each writes its bytes to the driver.
    bool handleAck(const BEvent* e);
    bool uplEnd(const BEvent* e);
    bool uplSetEntry(const BEvent* e);
    bool downloadRequest(const BEvent* e);
    bool lifeCheck(const BEvent* e);
    bool handleNak(const BEvent* e);
    bool statusRequest(const BEvent* e);
    bool uploadRequest(const BEvent* e);
    bool checkSum(const BEvent* e);
    bool eot(const BEvent* e);
    bool packNr(const BEvent* e);
    bool packNr1cmpl(const BEvent* e);
    bool soh(const BEvent* e);
    bool upgrReq(const BEvent* e);
    bool upgrData(const BEvent* e);
    bool btlData(const BEvent* e);

    // Driver side: one received message.
    bool cdrvString(const BEvent* e);
    bool parseString(const CdrvStrEvt* strEvt, uint8_t* msgType);
    KvprotSeeEvt* getSettingEntry(const CdrvStrEvt* strEvt);
    KvctrlBootInf* getBootInfo(const CdrvStrEvt* strEvt);

    bool request(uint8_t type);
    bool sendBytes(const uint8_t* bytes, int count);
    bool sendByte(uint8_t byte) { return sendBytes(&byte, 1); }
    bool sendToController(BBindingEvent* e);
    void traceHandler(const char* handler) const;

    uint8_t _nrBadCkSums;
};

#endif
