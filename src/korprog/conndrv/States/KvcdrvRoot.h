#ifndef KORPROG_CONNDRV_STATES_KVCDRVROOT_H
#define KORPROG_CONNDRV_STATES_KVCDRVROOT_H

#include "helm/BRootState.h"
#include "korprog/conndrv/Data/FrameReceiver.h"
#include "korprog/conndrv/KvcdrvExtSyntax.h"
#include "lib/LList/SLList.h"

class BBinding;
class BTimer;
class Serial;

enum KvcdrvLocEvt { LOC_PORT_POLL_TMR = 100 };

// The connection driver: the one component that owns the serial port. Every
// component that needs the line binds to this single persistent root; it
// opens the port lazily on the first write, polls it, and hands the messages
// its FrameReceiver cuts from the received bytes to the parser.
class KvcdrvRoot : public BRootState {
public:
    typedef FrameReceiver::ReadState ReadState;
    static constexpr ReadState IDLE_ST = FrameReceiver::IDLE_ST;
    static constexpr ReadState READ_TYPE_ST = FrameReceiver::READ_TYPE_ST;
    static constexpr ReadState READ_SIZE_ST = FrameReceiver::READ_SIZE_ST;
    static constexpr ReadState READ_START_ST = FrameReceiver::READ_START_ST;
    static constexpr ReadState READDATA_ST = FrameReceiver::READDATA_ST;
    static constexpr ReadState READ_END_ST = FrameReceiver::READ_END_ST;
    static constexpr ReadState READ_CKSUM_ST = FrameReceiver::READ_CKSUM_ST;
    // Poll period in units of 100 ms.
    static constexpr uint8_t POLL_TMR_INTV = 1;
    typedef FrameReceiver::ReadFn ReadFn;

    // Counted access to the one instance; the last destroy() ends it.
    static KvcdrvRoot* instance();
    static void destroy();
    // Called by the main loop on every pass: handles what the port received.
    static void readCom();
    // The open port's descriptor, whose input ends the main loop's wait; -1
    // while no port is open.
    static int inputFd();

    static KvcdrvRoot* existing() { return _kvcdrvroot; }
    static uint16_t instances() { return _instNr; }
    static const char* actComPort() { return _actComPort; }
    static bool portOpen() { return _portOpen; }
    static const Serial* serial() { return _serial; }

    bool isPersistent() const override { return true; }
    void onEntry(const BEvent*) override {}
    void onExit(const BEvent*) override {}
    void onSetup(BBinding* b) override;
    void onRelease(BBinding* b) override;
    void onEvent(const BEvent* e) override;
    void printStateData(int, char**) override {}

    // Handles everything the port has received; true when the port is closed.
    bool readSerialPort();
    // The receive rules over the reads `read` yields, until it yields
    // nothing or more than MAXDATA - 1 bytes came; every message in them is
    // handed on, in order.
    bool receive(const ReadFn& read);

    ReadState readState() const { return _receiver.readState(); }
    uint8_t nrInvStarts() const { return _receiver.nrInvStarts(); }

private:
    KvcdrvRoot();
    ~KvcdrvRoot() override;

    bool portSettings(const BEvent* e);
    bool cdrvString(const BEvent* e);
    bool portPolltimer(const BEvent* e);
    void portLost();
    void reopenLost();

    class ToParser;
    bool deliverLone(uint8_t byte);
    bool deliverFrame(const signed char* bytes, int size);
    bool sendToParser(CdrvStrEvt* e);
    bool sendToController(CdrvError error);
    void startPollTimer();
    void tracePortState(const char* handler, bool result);
    static void setActComPort(const char* name);

    static KvcdrvRoot* _kvcdrvroot;
    static uint16_t _instNr;
    static Serial* _serial;
    static char* _actComPort;
    static bool _portOpen;
    static SLList<BBinding*>* _bindings;
    static BTimer* _portPollTmr;

    FrameReceiver _receiver;
    // The port went away by itself: the poll tries to open it again.
    bool _reopenLost;
};

#endif
