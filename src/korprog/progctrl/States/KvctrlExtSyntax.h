#ifndef KORPROG_PROGCTRL_STATES_KVCTRLEXTSYNTAX_H
#define KORPROG_PROGCTRL_STATES_KVCTRLEXTSYNTAX_H

// What the protocol parser tells the controller about the unit: one event
// per message received. Setting entries (52) and NAKs (55) arrive as the
// parser's own KvprotSeeEvt and KvprotNakEvt, acknowledgements (50) as
// KvprotAckEvt.

#include <cstdint>
#include <string>

#include "helm/BBindingEvent.h"

enum KvctrlExtEvt {
    CTRL_ACK = 50,
    CTRL_END_DNLD = 51,
    CTRL_STATUS_INFO = 54,
    CTRL_WAITING = 56,
    CTRL_BOOTLOAD_REQ = 57,
    CTRL_BOOT_INFO = 58
};

// The unit's status record: identity and error status.
class KvctrlStiEvt : public BBindingEvent {
public:
    static constexpr int STRSIZE = 40;

    KvctrlStiEvt();
    void printData(DebugLevel level) const override;
    // Copies at most STRSIZE characters of text into a field; false when cut.
    static bool setText(char (&field)[STRSIZE + 1], const std::string& text);

    uint8_t prVer;           // protocol version
    uint8_t extraStat;       // the unit's error status byte
    uint8_t totalNrEntries;  // setting entries the unit holds
    char type[STRSIZE + 1];
    char softw[STRSIZE + 1];
    char special[STRSIZE + 1];
    char hardw[STRSIZE + 1];
    char imei[STRSIZE + 1];
};

// The boot record of a unit in its boot loader.
class KvctrlBootInf : public BBindingEvent {
public:
    static constexpr int STRSIZE = 40;

    KvctrlBootInf();
    void printData(DebugLevel level) const override;

    char type[STRSIZE + 1];
    char special[STRSIZE + 1];
    char hardw[STRSIZE + 1];
};

// The unit asks for the boot loader.
class KvctrlBtlReq : public BBindingEvent {
public:
    KvctrlBtlReq() : BBindingEvent(CTRL_BOOTLOAD_REQ, true) {}
    void printData(DebugLevel level) const override;
};

// The unit asks the tool to keep waiting.
class KvctrlWaitEvt : public BBindingEvent {
public:
    KvctrlWaitEvt() : BBindingEvent(CTRL_WAITING, true) {}
    void printData(DebugLevel level) const override;
};

// The unit has sent all its settings.
class KvctrlDldEndEvt : public BBindingEvent {
public:
    KvctrlDldEndEvt() : BBindingEvent(CTRL_END_DNLD, true) {}
    void printData(DebugLevel level) const override;
};

#endif
