#include "korprog/conndrv/Data/FrameReceiver.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "bdebug/BAssert.h"
#include "bdebug/BTrace.h"
#include "korprog/KvprgProtDefs.h"

FrameReceiver::FrameReceiver()
    : _trace(false),
      _readState(IDLE_ST),
      _nrInvStarts(0),
      _readBufPtr(_readBuf),
      _dataNrBytes(0),
      _dataBytesIx(0),
      _frameLost(false),
      _skipToSoh(false),
      _cutByWrite(false),
      _cutAt(0)
{
    std::memset(_readBuf, 0, sizeof _readBuf);
    cutByWrite();
}

void FrameReceiver::cutByWrite()
{
    // Whatever the unit sent before is no answer to this message. A frame
    // still arriving is finished by its length and then dropped; cleared
    // here, its tail would become the leading garbage of the next frame,
    // or, holding an SOH, ACK or NAK, a message of its own.
    if (_readState == IDLE_ST || _frameLost || _cutByWrite ||
        (_readState >= READ_START_ST && static_cast<int16_t>(_dataNrBytes) < 0)) {
        clear();
        return;
    }
    _cutByWrite = true;
    _cutAt = static_cast<int>(_readBufPtr - _readBuf);
}

signed char* FrameReceiver::restOfRead(signed char* end)
{
    // A unit's next message can follow at once (a receiver's NAK right
    // behind its boot record): the rest of the read is kept for it.
    const signed char* from = _readBufPtr + 1;
    const size_t left = static_cast<size_t>(end - from);
    std::memmove(_readBuf, from, left);
    clear();
    return _readBuf + left;
}

signed char* FrameReceiver::rescanAfterCut(signed char* end)
{
    const signed char* from = _readBuf + _cutAt;
    const size_t left = static_cast<size_t>(end - from);
    std::memmove(_readBuf, from, left);
    cutByWrite();
    _skipToSoh = true;
    return _readBuf + left;
}

void FrameReceiver::clear()
{
    _cutByWrite = false;
    _cutAt = 0;
    _readBufPtr = _readBuf;
    _dataNrBytes = 0;
    _dataBytesIx = 0;
    _readState = IDLE_ST;
    _frameLost = false;
    _skipToSoh = false;
    // Reads that look like a new message count within one frame only: at a
    // real line's pace a read can start at any byte, and data bytes that
    // look like an ACK, counted frame after frame, would give up a whole one.
    _nrInvStarts = 0;
}

void FrameReceiver::checkInvalidStart(int nrRead)
{
    if (_nrInvStarts > MAX_INV_STARTS) {
        _nrInvStarts = 0;
        if (_readState != IDLE_ST) {
            // Give up the frame being assembled, bytes and all; this read's
            // bytes are the first of the next message.
            if (_readBufPtr != _readBuf) std::memmove(_readBuf, _readBufPtr, static_cast<size_t>(nrRead));
            clear();
            if (_trace) BTrace::instance()->dbgPrint(" resync receiver", true, true);
        }
        return;
    }
    if (_readState != IDLE_ST && Kvprg::looksLikeMsgStart(reinterpret_cast<const uint8_t*>(_readBufPtr), nrRead))
        ++_nrInvStarts;
}

namespace {

// The receiver's trace (level LOW): each byte with the state it met, one
// line where the framing ends a step; nothing at all while it is off.
class ReceiveTrace {
public:
    explicit ReceiveTrace(bool on) : _on(on) {}
    void line(const std::string& text) const
    {
        if (_on) BTrace::instance()->dbgPrint(text, true, true);
    }
    // A byte and the state it met, to the bytes' line.
    void byte(uint8_t b, int state)
    {
        if (!_on) return;
        char item[32];
        std::snprintf(item, sizeof item, "0x%x:%d ", b, state);
        _bytes += item;
    }
    // The length the frame claims, to the bytes' line.
    void size(int n)
    {
        if (_on) _bytes += "dataNrBytes=" + std::to_string(n) + " ";
    }
    // The bytes' line so far, with note after it; the next begins empty.
    void end(const char* note = "")
    {
        line(_bytes + note);
        _bytes.clear();
    }
    // What is left of the bytes' line when a read is through.
    void endOfRead()
    {
        if (!_bytes.empty()) end();
    }

private:
    const bool _on;
    std::string _bytes;
};

}  // namespace

bool FrameReceiver::receive(const ReadFn& read, Sink& sink, bool trace)
{
    _trace = trace;
    const bool low = trace;
    bool result = true;
    int totalRead = 0;
    for (;;) {
        const int space = static_cast<int>(_readBuf + Kvcdrv::MAXDATA - _readBufPtr);
        int n = read(reinterpret_cast<char*>(_readBufPtr), space);
        if (n <= 0) return result;
        if (n > space) n = space;  // a reader that claims more than it was given
        ReceiveTrace trace(low);
        trace.line("-->KvcdrvRoot::readSerialPort bytes read:" + std::to_string(n));
        totalRead += n;
        if (totalRead > Kvcdrv::MAXDATA - 1) {
            B_ASSERT((totalRead < Kvcdrv::MAXDATA), "Too many bytes (" << totalRead << ")");
            return true;
        }
        checkInvalidStart(n);
        bool handedOn = false;

        signed char* end = _readBufPtr + n;
        while (_readBufPtr < end) {
            const uint8_t b = static_cast<uint8_t>(*_readBufPtr);
            trace.byte(b, int(_readState));
            switch (_readState) {
            case IDLE_ST:
                if (_skipToSoh && b != Kvprg::SOH) {
                    // Not kept, so it counts as no leading garbage either.
                    std::memmove(_readBufPtr, _readBufPtr + 1, static_cast<size_t>(end - _readBufPtr - 1));
                    --end;
                    continue;
                }
                _skipToSoh = false;
                // The unit in its boot loader asks for boot data with a lone
                // 0x0B, a message of its own like ACK and NAK. Behind other
                // bytes it is the tail of a frame whose start was lost.
                if (b == Kvprg::ACK || b == Kvprg::NAK || (b == Kvprg::BOOTLOAD_REQ_BYTE && _readBufPtr == _readBuf)) {
                    trace.end();
                    sink.lone(b);
                    end = restOfRead(end);
                    handedOn = true;
                    continue;
                }
                if (b == Kvprg::SOH) _readState = READ_TYPE_ST;
                break;
            case READ_TYPE_ST:
                _readState = READ_SIZE_ST;
                break;
            case READ_SIZE_ST:
                // The length byte is read as signed: 128 and above never complete.
                _dataNrBytes = static_cast<uint16_t>(static_cast<int16_t>(static_cast<int8_t>(b)));
                trace.size(int(_dataNrBytes));
                if (_cutByWrite && static_cast<int16_t>(_dataNrBytes) < 0) {
                    trace.end(" frame cut by a write: no length");
                    end = rescanAfterCut(end);
                    continue;
                }
                _readState = READ_START_ST;
                break;
            case READ_START_ST:
                if (b != Kvprg::STX && _cutByWrite) {
                    trace.end(" frame cut by a write: no STX");
                    end = rescanAfterCut(end);
                    continue;
                }
                if (b != Kvprg::STX) {
                    // A stray or damaged byte where STX belongs: the frame is
                    // broken. This byte is looked at again, skipping.
                    trace.end(" frame dropped: no STX");
                    const size_t left = static_cast<size_t>(end - _readBufPtr);
                    std::memmove(_readBuf, _readBufPtr, left);
                    clear();
                    _skipToSoh = true;
                    end = _readBuf + left;
                    continue;
                }
                _dataBytesIx = 0;
                _readState = _dataNrBytes != 0 ? READDATA_ST : READ_END_ST;
                break;
            case READDATA_ST:
                if (_dataBytesIx < _dataNrBytes - 1) ++_dataBytesIx;
                else _readState = READ_END_ST;
                break;
            case READ_END_ST:
                if (b != Kvprg::ETX && _cutByWrite) {
                    // The unit broke its answer off: what follows the write
                    // may be the next message.
                    trace.end(" frame cut by a write: no ETX after its data");
                    end = rescanAfterCut(end);
                    continue;
                }
                if (b == Kvprg::ETX) _readState = READ_CKSUM_ST;
                break;
            case READ_CKSUM_ST: {
                if (_cutByWrite) {
                    // Read to its end, and no answer to what we wrote.
                    trace.end(" frame dropped: it was arriving when we wrote");
                } else {
                    trace.end();
                    if (!deliverFrame(_readBufPtr, sink)) result = false;
                }
                end = restOfRead(end);
                handedOn = true;
                continue;
            }
            }
            ++_readBufPtr;
        }
        trace.endOfRead();
        // A flood is what piles up without a message: bytes handed on count no more.
        if (handedOn) totalRead = static_cast<int>(_readBufPtr - _readBuf);

        if (_readBuf + Kvcdrv::MAXDATA - _readBufPtr <= MIN_READ_SPACE) {
            trace.line(" reset readBuffPtr");
            _readBufPtr = _readBuf;
            // The kept start of a frame is overwritten from here on: its rest
            // is still read to its end, then dropped.
            if (_readState != IDLE_ST) _frameLost = true;
            _cutAt = 0;
        }
    }
}

bool FrameReceiver::deliverFrame(const signed char* checksumByte, Sink& sink)
{
    BTrace* t = BTrace::instance();
    int length = static_cast<int>(checksumByte - _readBuf) + 1;
    if (_frameLost) {
        if (_trace) t->dbgPrint("frame dropped: its start was overwritten", true, true);
        return false;
    }
    int start = 0;
    while (start <= MAX_LEADING_GARBAGE && start < length && static_cast<uint8_t>(_readBuf[start]) != Kvprg::SOH)
        ++start;
    if (start > MAX_LEADING_GARBAGE || start >= length) {
        if (_trace) t->dbgPrint("frame dropped: no SOH in its first 8 bytes", true, true);
        return false;
    }
    length -= start;
    if (!(length < Kvcdrv::MAXDATA)) {
        B_ASSERT((length < Kvcdrv::MAXDATA), "Too many bytes (" << length << ") > (" << Kvcdrv::MAXDATA - 1 << ")");
        return false;
    }
    return sink.frame(_readBuf + start, length);
}
