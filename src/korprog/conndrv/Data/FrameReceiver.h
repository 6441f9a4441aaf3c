#ifndef KORPROG_CONNDRV_DATA_FRAMERECEIVER_H
#define KORPROG_CONNDRV_DATA_FRAMERECEIVER_H

#include <cstdint>
#include <functional>

#include "korprog/conndrv/KvcdrvExtSyntax.h"

// Cuts the bytes a unit sends into messages: frames, and lone ACK, NAK or
// boot-loader request bytes, without reading their content. The connection
// driver hands what it cuts to the parser; a probe of the ports looks in it
// for a status record. Both thus hear the line alike.
class FrameReceiver {
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
    // The read pointer goes back to the start when no more space is left.
    static constexpr int MIN_READ_SPACE = 4;

    // One read from the line into buf (at most max bytes): the count, or -1
    // when nothing is waiting.
    typedef std::function<int(char* buf, int max)> ReadFn;

    // Where the messages go, in the order they came.
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void lone(uint8_t byte) = 0;
        // False when the frame could not be handed on.
        virtual bool frame(const signed char* bytes, int size) = 0;
    };

    FrameReceiver();
    // It points into itself.
    FrameReceiver(const FrameReceiver&) = delete;
    FrameReceiver& operator=(const FrameReceiver&) = delete;

    // The receive rules over the reads `read` yields, until it yields
    // nothing or more than MAXDATA - 1 bytes came; every message in them
    // goes to sink, in order. False when a frame could not be handed on.
    // trace: each byte and each step to the trace (its LOW level).
    bool receive(const ReadFn& read, Sink& sink, bool trace = false);
    // We wrote to the unit: whatever it sent before is no answer to it.
    void cutByWrite();
    void clear();

    ReadState readState() const { return _readState; }
    uint8_t nrInvStarts() const { return _nrInvStarts; }

private:
    // After a message (at _readBufPtr): the bytes behind it in this read
    // move to the buffer's start, the receiver cleared. The new end.
    signed char* restOfRead(signed char* end);
    // The frame our write cut did not go on as it began: the bytes read
    // after the write are looked at anew from their first SOH. The new end.
    signed char* rescanAfterCut(signed char* end);
    void checkInvalidStart(int nrRead);
    bool deliverFrame(const signed char* checksumByte, Sink& sink);

    bool _trace;
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
};

#endif
