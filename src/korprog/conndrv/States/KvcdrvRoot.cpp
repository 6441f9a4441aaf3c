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
      _reopenLost(false)
{
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
    const char* reason = fault == Serial::NO_CONNECTION ? _serial->openReason().c_str() : "";
    return sendBack(new CdrvErrorEvt(error, fault, holder, reason), KOR_PROG, PROG_CTRL, nullptr) > 0;
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
    _serial->retrying(false);
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
        _serial->retrying(false);
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
    _receiver.cutByWrite();
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
    _receiver.cutByWrite();
    tracePortState("portLost", false);
    sendToController(CDRV_SET_COM_NOT_OPEN);
    _reopenLost = true;
    _serial->retrying(true);
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
    _serial->retrying(false);
    tracePortState("reopenLost", true);
    sendToController(CDRV_CLEAR_COM_NOT_OPEN);
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

bool KvcdrvRoot::deliverLone(uint8_t byte)
{
    auto* strEvt = new CdrvStrEvt();
    strEvt->set(&byte, 1);
    if (dbg(BTrace::LOW)) BTrace::instance()->dbgPrint("==== ack/nak msg sent to prot ====", true, true);
    return sendToParser(strEvt);
}

// The messages the receiver cuts go to the parser.
class KvcdrvRoot::ToParser : public FrameReceiver::Sink {
public:
    explicit ToParser(KvcdrvRoot& root) : _root(root) {}
    void lone(uint8_t byte) override { _root.deliverLone(byte); }
    bool frame(const signed char* bytes, int size) override { return _root.deliverFrame(bytes, size); }

private:
    KvcdrvRoot& _root;
};

bool KvcdrvRoot::receive(const ReadFn& read)
{
    ToParser toParser(*this);
    return _receiver.receive(read, toParser, dbg(BTrace::LOW));
}

bool KvcdrvRoot::deliverFrame(const signed char* bytes, int length)
{
    BTrace* t = BTrace::instance();
    auto* strEvt = new CdrvStrEvt();
    strEvt->nrBytes = static_cast<uint16_t>(length);
    std::memcpy(strEvt->data, bytes, static_cast<size_t>(length));
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
