#ifndef KORPROG_PROTPARSER_KVPROTEXTSYNTAX_H
#define KORPROG_PROTPARSER_KVPROTEXTSYNTAX_H

// Events of the protocol parser: one per protocol action the controller asks
// for (each becomes bytes on the line), and the parser's own events for what
// the unit sends (acknowledge, NAK, setting entry).

#include <cstdint>

#include "helm/BBindingEvent.h"

namespace Kvprot {
// Longest number field a received setting entry keeps.
const int FIELD2MAX = 20;
// Work buffers of a received setting entry's quoted fields.
const int FIELD_BUF = 80;
// Longest text and number read from them.
const int FIELD1_READ_MAX = 64;
const int FIELD2_READ_MAX = 40;
// Longest text KvprotSeeEvt copies with a given length.
const int SEE_COPY_MAX = 255;
}  // namespace Kvprot

enum KvprotExtEvt {
    KVPROT_ACK = 50,
    KVPROT_UPL_END = 51,
    KVPROT_SET_ENTRY = 52,
    KVPROT_DOWNLOAD_REQUEST = 53,
    KVPROT_LIFE_CHECK = 54,
    KVPROT_NAK = 55,
    KVPROT_STATUS_REQUEST = 56,
    KVPROT_UPLOAD_REQUEST = 57,
    KVPROT_CHECKSUM = 58,
    KVPROT_EOT = 59,
    KVPROT_PACKNR = 60,
    KVPROT_PACKNR_1CMPL = 61,
    KVPROT_SOH = 62,
    KVPROT_UPGRADE_REQ = 63,
    KVPROT_UPGR_DATA = 64,
    KVPROT_BOOTLOAD_DATA = 65
};

// ACK: to the unit, or from it to the controller. Not traced: it is the
// most frequent event of every transfer.
class KvprotAckEvt : public BBindingEvent {
public:
    KvprotAckEvt() : BBindingEvent(KVPROT_ACK, false) {}
    void printData(uint16_t level) const override;
};

// End of an upload: request frame type 5.
class KvprotUplEndEvt : public BBindingEvent {
public:
    KvprotUplEndEvt() : BBindingEvent(KVPROT_UPL_END, true) {}
    void printData(uint16_t level) const override;
};

// One setting entry, both ways. Owns copies of its two texts.
class KvprotSeeEvt : public BBindingEvent {
public:
    KvprotSeeEvt();
    KvprotSeeEvt(uint8_t entryNr, const char* f1, const char* f2);
    KvprotSeeEvt(const KvprotSeeEvt&) = delete;
    KvprotSeeEvt& operator=(const KvprotSeeEvt&) = delete;

    // Replace the text by a copy of `text` (null: empty).
    void f1data(const char* text);
    void f2data(const char* text);
    // Copy exactly `length` bytes (at most SEE_COPY_MAX) and end with a zero.
    void f1data(const char* text, int length);
    void f2data(const char* text, int length);
    const char* f1data() const { return _f1data ? _f1data : ""; }
    const char* f2data() const { return _f2data ? _f2data : ""; }
    uint8_t entryNr() const { return _entryNr; }
    void entryNr(uint8_t n) { _entryNr = n; }
    // Replaces every `from` in the text by `to`.
    void convertF1(char from, char to);
    void printData(uint16_t level) const override;

protected:
    ~KvprotSeeEvt() override;

private:
    static char* copyOf(const char* text, int length);
    static int boundedLength(const char* text, int length);

    uint8_t _entryNr;
    char* _f1data;
    char* _f2data;
};

// Download request: request frame type 3.
class KvprotDlrEvt : public BBindingEvent {
public:
    KvprotDlrEvt() : BBindingEvent(KVPROT_DOWNLOAD_REQUEST, true) {}
    void printData(uint16_t level) const override;
};

// NAK: to the unit, or from it to the controller.
class KvprotNakEvt : public BBindingEvent {
public:
    KvprotNakEvt() : BBindingEvent(KVPROT_NAK, true) {}
    void printData(uint16_t level) const override;
};

// Status request: request frame type 0. Not traced: the life check sends
// one every second.
class KvprotSrqEvt : public BBindingEvent {
public:
    KvprotSrqEvt() : BBindingEvent(KVPROT_STATUS_REQUEST, false) {}
    void printData(uint16_t level) const override;
};

// Upload request: request frame type 2.
class KvprotUprEvt : public BBindingEvent {
public:
    KvprotUprEvt() : BBindingEvent(KVPROT_UPLOAD_REQUEST, true) {}
    void printData(uint16_t level) const override;
};

// The checksum byte of a firmware packet.
class KvprotChecksum : public BBindingEvent {
public:
    explicit KvprotChecksum(uint8_t checkSum) : BBindingEvent(KVPROT_CHECKSUM, true), _checkSum(checkSum) {}
    uint8_t checkSum() const { return _checkSum; }
    void printData(uint16_t level) const override;

    uint8_t _checkSum;
};

// The number of a firmware packet.
class KvprotPacknr : public BBindingEvent {
public:
    explicit KvprotPacknr(uint8_t nr) : BBindingEvent(KVPROT_PACKNR, true), _nr(nr) {}
    uint8_t nr() const { return _nr; }
    void printData(uint16_t level) const override;

    uint8_t _nr;
};

// The complement of a firmware packet's number, computed by the sender.
class KvprotPacknr1cmpl : public BBindingEvent {
public:
    explicit KvprotPacknr1cmpl(uint8_t nr) : BBindingEvent(KVPROT_PACKNR_1CMPL, true), _nr(nr) {}
    uint8_t nr() const { return _nr; }
    void printData(uint16_t level) const override;

    uint8_t _nr;
};

// Upgrade request: request frame type 10.
class KvprotUpgradeReq : public BBindingEvent {
public:
    KvprotUpgradeReq() : BBindingEvent(KVPROT_UPGRADE_REQ, true) {}
    void printData(uint16_t level) const override;
};

// The data of a firmware packet, written as they are.
class KvprotUpgrData : public BBindingEvent {
public:
    static constexpr int MAX = 128;

    KvprotUpgrData();
    // Copies at most MAX bytes; false when more were given.
    bool data(const uint8_t* bytes, int count);
    void printData(uint16_t level) const override;

    uint8_t _nrBytes;
    unsigned char _data[MAX];
};

// Data for the unit's boot loader: bootloader data frame type 12.
class KvprotBootLoadData : public BBindingEvent {
public:
    static constexpr int MAX = 2048;

    KvprotBootLoadData();
    // Copies at most MAX bytes; false when more were given.
    bool data(const uint8_t* bytes, int count);
    void printData(uint16_t level) const override;

    uint16_t _nrBytes;
    char _data[MAX];
};

#endif
