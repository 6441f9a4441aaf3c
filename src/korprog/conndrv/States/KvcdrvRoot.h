#ifndef KORPROG_CONNDRV_STATES_KVCDRVROOT_H
#define KORPROG_CONNDRV_STATES_KVCDRVROOT_H

#include <functional>

#include "helm/BRootState.h"
#include "korprog/conndrv/KvcdrvExtSyntax.h"
#include "lib/LList/SLList.h"

class BBinding;
class BTimer;
class Serial;

enum KvcdrvLocEvt { LOC_PORT_POLL_TMR = 100 };

// The connection driver: the one component that owns the serial port. Every
// component that needs the line binds to this single persistent root; it
// opens the port lazily on the first write, polls it, and cuts the received
// bytes into messages (frames, and lone ACK, NAK or boot-loader request bytes)
// without reading their content.
class KvcdrvRoot : public BRootState {
public:
    enum ReadState {
        IDLE_ST = 0,
        READ_TYPE_ST = 1,
        READ_SIZE_ST = 2,
        READ_START_ST = 3,
        READDATA_ST = 4,
        READ_END_ST = 5,
        READ_CKSUM_ST = 6
    };
    // Reads that look like a new message while a frame is assembled; one
    // more and the receiver gives the frame up.
    static constexpr uint8_t MAX_INV_STARTS = 4;
    // A frame's SOH must lie among the first bytes kept since the last clear.
    static constexpr int MAX_LEADING_GARBAGE = 7;
    // Poll period in units of 100 ms.
    static constexpr uint8_t POLL_TMR_INTV = 1;
    // The read pointer goes back to the start when no more space is left.
    static constexpr int MIN_READ_SPACE = 4;

    // One read from the line into buf (at most max bytes): the count, or -1
    // when nothing is waiting.
    typedef std::function<int(char* buf, int max)> ReadFn;

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

    ReadState readState() const { return _readState; }
    uint8_t nrInvStarts() const { return _nrInvStarts; }

private:
    KvcdrvRoot();
    ~KvcdrvRoot() override;

    bool portSettings(const BEvent* e);
    bool cdrvString(const BEvent* e);
    bool portPolltimer(const BEvent* e);
    void portLost();
    void reopenLost();

    void clearReceiver();
    // After a message (at _readBufPtr): the bytes behind it in this read
    // move to the buffer's start, the receiver cleared. The new end.
    signed char* restOfRead(signed char* end);
    // What our write means for the frame being assembled.
    void cutByWrite();
    // The frame our write cut did not go on as it began: the bytes read
    // after the write are looked at anew from their first SOH. The new end.
    signed char* rescanAfterCut(signed char* end);
    void checkInvalidStart(int nrRead);
    bool deliverLone(uint8_t byte);
    bool deliverFrame(const signed char* checksumByte);
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

    ReadState _readState;
    uint8_t _nrInvStarts;
    signed char _readBuf[Kvcdrv::MAXDATA];
    signed char* _readBufPtr;
    uint16_t _dataNrBytes;
    uint16_t _dataBytesIx;
    // The start of the frame being assembled was given up when the read
    // pointer went back to the buffer's start; its rest is read and dropped.
    bool _frameLost;
    // A frame without STX in its place was dropped: the rest of it is
    // skipped up to the next SOH and holds no lone messages.
    bool _skipToSoh;
    // A frame was arriving when we wrote: it is read to its end by its
    // length and dropped, its tail never taken for the start of the next
    // message. _cutAt: where the bytes read after the write begin.
    bool _cutByWrite;
    int _cutAt;
    // The port went away by itself: the poll tries to open it again.
    bool _reopenLost;
};

#endif
