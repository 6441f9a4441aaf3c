#ifndef KORPROG_CONNDRV_KVCDRVEXTSYNTAX_H
#define KORPROG_CONNDRV_KVCDRVEXTSYNTAX_H

// Events of the connection driver: the port choice from the controller, the
// byte strings exchanged with the parser, and the port errors it reports.

#include <cstdint>
#include <string>

#include "helm/BBindingEvent.h"
#include "korprog/StringUtils.h"
#include "korprog/conndrv/Data/Serial.h"

namespace Kvcdrv {
// Largest byte string the driver writes or delivers in one event.
const int MAXDATA = 2048;
// Longest text of a byte string's trace line.
const int PRINT_MAX = 8192;
}  // namespace Kvcdrv

enum KvcdrvExtEvt { CDRV_PORT_SETTINGS = 50, CDRV_STRING = 51, CDRV_ERROR = 52 };

enum CdrvError { CDRV_SET_COM_NOT_OPEN = 0, CDRV_CLEAR_COM_NOT_OPEN = 1, CDRV_UNDEF_ERROR = 255 };

// Controller to driver: the port to use. The text is not copied here; the
// driver keeps its own copy once it has handled the event.
class CdrvPortSetEvt : public BBindingEvent {
public:
    explicit CdrvPortSetEvt(const char* comPort) : BBindingEvent(CDRV_PORT_SETTINGS, true), _comPort(comPort) {}
    const char* comPort() const { return _comPort; }
    void printData(uint16_t level) const override;

private:
    const char* _comPort;
};

// Parser to driver: bytes to write. Driver to parser: one received message
// (a frame, or a lone ACK or NAK).
class CdrvStrEvt : public BBindingEvent {
public:
    CdrvStrEvt();
    // Replaces the content; more than MAXDATA bytes are refused (false, empty).
    bool set(const uint8_t* bytes, int count);
    // nrBytes as far as data holds it.
    int validBytes() const { return nrBytes < Kvcdrv::MAXDATA ? nrBytes : Kvcdrv::MAXDATA; }
    const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(data); }
    // The "data=..." line of printData: control bytes as ~xx~, cut at PRINT_MAX.
    std::string dataLine() const;
    void printData(uint16_t level) const override;

    uint16_t nrBytes;
    signed char data[Kvcdrv::MAXDATA];
};

// Driver to controller: whether the chosen port could be opened, and if
// not, why.
class CdrvErrorEvt : public BBindingEvent {
public:
    explicit CdrvErrorEvt(CdrvError error = CDRV_UNDEF_ERROR, Serial::OpenFault fault = Serial::OPEN_OK,
                          pid_t holder = 0, const char* reason = "")
        : BBindingEvent(CDRV_ERROR, true), _error(error), _portFault(fault), _portHolder(holder)
    {
        StringUtils::copyTo(_portReason, reason ? reason : "");
    }
    CdrvError error() const { return _error; }
    void error(CdrvError e) { _error = e; }
    Serial::OpenFault portFault() const { return _portFault; }
    // With PORT_LOCKED: the process of the run that has the port (0: not known).
    pid_t portHolder() const { return _portHolder; }
    // With NO_CONNECTION: the system's reason.
    const char* portReason() const { return _portReason; }
    void printData(uint16_t level) const override;

private:
    CdrvError _error;
    Serial::OpenFault _portFault;
    pid_t _portHolder;
    char _portReason[128];
};

#endif
