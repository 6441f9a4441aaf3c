#include "korprog/conndrv/States/KvcdrvRoot.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "bdebug/BAssert.h"
#include "bdebug/BDownCast.h"
#include "bdebug/BTrace.h"
#include "helm/BBinding.h"
#include "helm/BScheduler.h"
#include "helm/BTimer.h"
#include "korprog/KvprgCompList.h"
#include "korprog/KvprgProtDefs.h"
#include "korprog/conndrv/Data/Serial.h"

KvcdrvRoot* KvcdrvRoot::_kvcdrvroot = nullptr;
uint16_t KvcdrvRoot::_instNr = 0;
Serial* KvcdrvRoot::_serial = nullptr;
char* KvcdrvRoot::_actComPort = nullptr;
bool KvcdrvRoot::_portOpen = false;
SLList<BBinding*>* KvcdrvRoot::_bindings = nullptr;
BTimer* KvcdrvRoot::_portPollTmr = nullptr;

namespace {
const char* ROOT_NAME = "Kvcdrv";
}

KvcdrvRoot::KvcdrvRoot()
    : BRootState(ROOT_NAME, KOR_PROG, CONN_DRV, PRIO_4),
      _readState(IDLE_ST),
      _nrInvStarts(0),
      _readBufPtr(_readBuf),
      _dataNrBytes(0),
      _dataBytesIx(0),
      _frameLost(false),
      _skipToSoh(false),
      _cutByWrite(false),
      _cutAt(0),
      _reopenLost(false)
{
    std::memset(_readBuf, 0, sizeof _readBuf);
    cutByWrite();
    _serial = new Serial();
    _bindings = new SLList<BBinding*>();
    _portPollTmr = new BTimer();
}

KvcdrvRoot::~KvcdrvRoot()
{
    _portOpen = false;
    if (_serial) _serial->closePort();
    delete _serial;
    _serial = nullptr;
    delete _bindings;
    _bindings = nullptr;
    delete _portPollTmr;  // disarms it
    _portPollTmr = nullptr;
    // The port name belongs to this lifetime: a later driver waits for new
    // port settings instead of opening a name chosen for an ended session.
    setActComPort(nullptr);
}

KvcdrvRoot* KvcdrvRoot::instance()
{
    ++_instNr;
    if (!_kvcdrvroot) {
        _kvcdrvroot = new KvcdrvRoot();
        // Persistent: bindings find it running and never enter it themselves.
        _kvcdrvroot->initialize();
    }
    return _kvcdrvroot;
}

void KvcdrvRoot::destroy()
{
    if (_instNr == 0) {
        B_FAIL("KvcdrvRoot::destroy without instance");
        return;
    }
    if (--_instNr == 0 && _kvcdrvroot) {
        KvcdrvRoot* root = _kvcdrvroot;
        _kvcdrvroot = nullptr;
        root->abort();
        delete root;
    }
}

void KvcdrvRoot::readCom()
{
    if (_kvcdrvroot && _kvcdrvroot->isInitialised()) _kvcdrvroot->readSerialPort();
}

int KvcdrvRoot::inputFd()
{
    return _kvcdrvroot && _portOpen && _serial && _serial->isOpen() ? _serial->handle() : -1;
}

void KvcdrvRoot::setActComPort(const char* name)
{
    delete[] _actComPort;
    _actComPort = nullptr;
    if (!name) return;
    const size_t n = std::strlen(name);
    _actComPort = new char[n + 1];
    std::memcpy(_actComPort, name, n + 1);
}

void KvcdrvRoot::onSetup(BBinding* b)
{
    if (_bindings) _bindings->append(b);
    accept(b);
}

void KvcdrvRoot::onRelease(BBinding* b)
{
    if (_bindings) _bindings->remove(b);
}

void KvcdrvRoot::onEvent(const BEvent* e)
{
    if (!e || e->moduleId() != KOR_PROG || e->componentId() != CONN_DRV) return;
    bool result;
    switch (e->signalId()) {
    case CDRV_STRING:
        result = cdrvString(e);
        break;
    case LOC_PORT_POLL_TMR:
        result = portPolltimer(e);
        break;
    case CDRV_PORT_SETTINGS:
        result = portSettings(e);
        break;
    default:
        return;
    }
    transition(static_cast<BState*>(nullptr));
    B_ASSERT(result, "Unsuccessful result event=" << int(e->signalId()));
}

void KvcdrvRoot::tracePortState(const char* handler, bool result)
{
    if (!dbg(BTrace::LOW)) return;
    BTrace::instance()->dbgPrint(std::string("KvcdrvRoot::") + handler + " result=" + std::to_string(int(result)) +
                                     " \"" + (_actComPort ? _actComPort : "") + "\" (" + compName() + ")",
                                 true, true);
}

bool KvcdrvRoot::sendToController(CdrvError error)
{
    const Serial::OpenFault fault = error == CDRV_SET_COM_NOT_OPEN && _serial ? _serial->openFault() : Serial::OPEN_OK;
    const pid_t holder = fault == Serial::PORT_LOCKED ? _serial->lockHolder() : 0;
    return sendBack(new CdrvErrorEvt(error, fault, holder), KOR_PROG, PROG_CTRL, nullptr) > 0;
}

bool KvcdrvRoot::sendToParser(CdrvStrEvt* e)
{
    return sendBack(e, KOR_PROG, PROT_PARSER, nullptr) > 0;
}

bool KvcdrvRoot::portSettings(const BEvent* e)
{
    const CdrvPortSetEvt* ps = B_CHECKCAST(CdrvPortSetEvt, e);
    if (!ps) return false;
    if (_portOpen) _serial->closePort();
    _portOpen = false;
    _reopenLost = false;  // a port chosen anew
    if (!ps->comPort()) return false;
    setActComPort(ps->comPort());
    _portOpen = _serial->openPort(_actComPort);
    const bool sent = sendToController(_portOpen ? CDRV_CLEAR_COM_NOT_OPEN : CDRV_SET_COM_NOT_OPEN);
    if (_portOpen) tracePortState("portSettings", _portOpen);
    return _portOpen && sent;
}

void KvcdrvRoot::startPollTimer()
{
    if (_portPollTmr) _portPollTmr->fireIn(queue(), BTimer::n100Ms(POLL_TMR_INTV), LOC_PORT_POLL_TMR);
}

bool KvcdrvRoot::cdrvString(const BEvent* e)
{
    if (dbg(BTrace::LOW))
        BTrace::instance()->dbgPrint(std::string("-->KvcdrvRoot::cdrvString (") + compName() + ")", true, true);
    const CdrvStrEvt* strEvt = B_CHECKCAST(CdrvStrEvt, e);
    if (!strEvt) return false;
    if (_actComPort == NULL) {
        B_ASSERT(_actComPort != NULL, "_actComPort: " << "" << " undefined.");
        return false;
    }
    bool result = true;
    if (!_portOpen && _serial->openPort(_actComPort)) {
        _portOpen = true;
        startPollTimer();
        result = sendToController(CDRV_CLEAR_COM_NOT_OPEN);
        tracePortState("cdrvString", _portOpen);
    }
    if (!_portOpen) {
        B_ASSERT(_portOpen, "cdrvString: port " << _actComPort << " is not open.");
        return false;
    }
    // A count past the event's buffer is a sender's fault; nothing of it goes out.
    if (strEvt->nrBytes > Kvcdrv::MAXDATA) {
        B_FAIL("cdrvString: nrBytes " << strEvt->nrBytes << " > " << Kvcdrv::MAXDATA);
        return false;
    }
    const int n = strEvt->nrBytes > 0
                      ? _serial->writePort(reinterpret_cast<const char*>(strEvt->data), strEvt->nrBytes)
                      : 0;
    if (dbg(BTrace::LOW)) {
        BTrace::instance()->dbgPrint("bytes written: " + std::to_string(n), true, true);
        if (_serial->backlog() > 0)
            BTrace::instance()->dbgPrint("bytes the port has not taken yet: " + std::to_string(_serial->backlog()),
                                         true, true);
    }
    cutByWrite();
    if (n != strEvt->nrBytes) {
        B_ASSERT(n == strEvt->nrBytes, "not all bytes written " << n << " of " << strEvt->nrBytes);
        // A port that only stopped taking bytes stays open: the message is
        // dropped whole, and the time-outs of whoever waits for its answer
        // give the unit up as they give up a silent one.
        if (_serial->lineLost()) portLost();
        return false;
    }
    return result;
}

void KvcdrvRoot::portLost()
{
    // A write failed: the line is gone, an adapter pulled out, the unit's
    // terminal closed. Closed here, the port is opened again by the next
    // write, and a unit that comes back under the same name is found.
    _serial->closePort();
    _portOpen = false;
    cutByWrite();
    tracePortState("portLost", false);
    sendToController(CDRV_SET_COM_NOT_OPEN);
    _reopenLost = true;
    startPollTimer();
}

bool KvcdrvRoot::portPolltimer(const BEvent*)
{
    if (_reopenLost && !_portOpen) reopenLost();
    const bool result = readSerialPort();
    startPollTimer();
    return result;
}

void KvcdrvRoot::reopenLost()
{
    // A port that comes back under its name (a USB adapter plugged in
    // again) is opened at once, as the next write would; the controller
    // learns it is back and can send again what was lost.
    if (!_actComPort || !_serial->openPort(_actComPort)) return;
    _portOpen = true;
    _reopenLost = false;
    tracePortState("reopenLost", true);
    sendToController(CDRV_CLEAR_COM_NOT_OPEN);
}

void KvcdrvRoot::cutByWrite()
{
    // Whatever the unit sent before is no answer to this message. A frame
    // still arriving is finished by its length and then dropped; cleared
    // here, its tail would become the leading garbage of the next frame,
    // or, holding an SOH, ACK or NAK, a message of its own.
    if (_readState == IDLE_ST || _frameLost || _cutByWrite ||
        (_readState >= READ_START_ST && static_cast<int16_t>(_dataNrBytes) < 0)) {
        clearReceiver();
        return;
    }
    _cutByWrite = true;
    _cutAt = static_cast<int>(_readBufPtr - _readBuf);
}

signed char* KvcdrvRoot::restOfRead(signed char* end)
{
    // A unit's next message can follow at once (a receiver's NAK right
    // behind its boot record): the rest of the read is kept for it.
    const signed char* from = _readBufPtr + 1;
    const size_t left = static_cast<size_t>(end - from);
    std::memmove(_readBuf, from, left);
    clearReceiver();
    return _readBuf + left;
}

signed char* KvcdrvRoot::rescanAfterCut(signed char* end)
{
    const signed char* from = _readBuf + _cutAt;
    const size_t left = static_cast<size_t>(end - from);
    std::memmove(_readBuf, from, left);
    cutByWrite();
    _skipToSoh = true;
    return _readBuf + left;
}

void KvcdrvRoot::clearReceiver()
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

bool KvcdrvRoot::readSerialPort()
{
    if (!_portOpen || !_serial) return true;
    // What the port did not take before goes out as it takes it.
    if (!_serial->flush()) {
        portLost();
        return true;
    }
    const bool result = receive([](char* buf, int max) { return _serial->readPort(buf, max); });
    // Gone while nothing was written, as when a unit's adapter is pulled in
    // the middle of its answer: the poll opens it again once it is back.
    if (_serial->hungUp()) portLost();
    return result;
}

void KvcdrvRoot::checkInvalidStart(int nrRead)
{
    if (_nrInvStarts > MAX_INV_STARTS) {
        _nrInvStarts = 0;
        if (_readState != IDLE_ST) {
            // Give up the frame being assembled, bytes and all; this read's
            // bytes are the first of the next message.
            if (_readBufPtr != _readBuf) std::memmove(_readBuf, _readBufPtr, static_cast<size_t>(nrRead));
            clearReceiver();
            if (dbg(BTrace::LOW)) BTrace::instance()->dbgPrint(" resync receiver", true, true);
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

bool KvcdrvRoot::receive(const ReadFn& read)
{
    const bool low = dbg(BTrace::LOW);
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
                    deliverLone(b);
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
                    clearReceiver();
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
                    if (!deliverFrame(_readBufPtr)) result = false;
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

bool KvcdrvRoot::deliverLone(uint8_t byte)
{
    auto* strEvt = new CdrvStrEvt();
    strEvt->set(&byte, 1);
    if (dbg(BTrace::LOW)) BTrace::instance()->dbgPrint("==== ack/nak msg sent to prot ====", true, true);
    return sendToParser(strEvt);
}

bool KvcdrvRoot::deliverFrame(const signed char* checksumByte)
{
    BTrace* t = BTrace::instance();
    int length = static_cast<int>(checksumByte - _readBuf) + 1;
    if (_frameLost) {
        if (dbg(BTrace::LOW)) t->dbgPrint("frame dropped: its start was overwritten", true, true);
        return false;
    }
    int start = 0;
    while (start <= MAX_LEADING_GARBAGE && start < length && static_cast<uint8_t>(_readBuf[start]) != Kvprg::SOH)
        ++start;
    if (start > MAX_LEADING_GARBAGE || start >= length) {
        if (dbg(BTrace::LOW)) t->dbgPrint("frame dropped: no SOH in its first 8 bytes", true, true);
        return false;
    }
    length -= start;
    auto* strEvt = new CdrvStrEvt();
    strEvt->nrBytes = static_cast<uint16_t>(length);
    if (!(strEvt->nrBytes < Kvcdrv::MAXDATA)) {
        B_ASSERT((strEvt->nrBytes < Kvcdrv::MAXDATA),
                 "Too many bytes (" << strEvt->nrBytes << ") > (" << Kvcdrv::MAXDATA - 1 << ")");
        strEvt->destroy();
        return false;
    }
    std::memcpy(strEvt->data, _readBuf + start, static_cast<size_t>(length));
    if (dbg(BTrace::LOW)) {
        t->dbgPrint("==> msg rcvd == nrBytes:" + std::to_string(length), true, true);
        std::string dump;
        char hex[8];
        for (int i = 0; i < length; ++i) {
            std::snprintf(hex, sizeof hex, "%02x ", static_cast<uint8_t>(strEvt->data[i]));
            dump += hex;
        }
        t->dbgPrint(dump);
        t->dbgPrint("<== msg to prot ====", true, true);
    }
    return sendToParser(strEvt);
}
