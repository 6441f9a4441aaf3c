#ifndef KORPROG_KVPRGFRAME_H
#define KORPROG_KVPRGFRAME_H

#include <cstdint>
#include <string>

#include "korprog/KvprgProtDefs.h"

// One protocol frame as it goes over the line:
//   SOH, type, L, STX, L data bytes, ETX, checksum
// (the boot data frame carries its data with L = 0). Both ends build their
// frames here and check received ones here, so the byte layout exists once.
// Builders replace the whole content; over-long fields are cut or refused,
// never written past the frame's buffer.
class KvprgFrame {
public:
    KvprgFrame();
    // A received frame; bytes past MAXFRAME are not kept.
    KvprgFrame(const uint8_t* bytes, int nrBytes);

    // Request without data: SOH, type, 0, STX, ETX, type + 6.
    void request(uint8_t type);
    // Frame with nrBytes data bytes; refused (empty frame, false) when
    // nrBytes is negative or above MAX_FRAME_DATA.
    bool build(uint8_t type, const uint8_t* data, int nrBytes);
    // Setting entry: nr, then text and number each between double quotes.
    // Text is cut to ENTRY_TEXT_MAX and number to ENTRY_NUMBER_MAX
    // characters, and a double quote inside either is left out (the frame
    // has no escaping: it would end the field); false when something was
    // cut or left out (the frame is built anyway). Null texts count as empty.
    bool settingEntry(uint8_t nr, const char* text, const char* number);
    // Status record; the five fields are sent between double quotes, comma
    // separated. `software` is the whole second field (STATUS_SW_SKIP
    // characters, then the version). Refused (empty frame, false) when the
    // record would not fit MAX_FRAME_DATA.
    bool statusInfo(Kvprg::PrclVersion prVer, uint8_t extraStat, uint8_t nrEntries, const char* type,
                    const char* software, const char* special, const char* hardw, const char* imei);
    // Boot record: an unused byte, hardware (4), type (11), special (5), an
    // unused byte. Short fields are padded with zero bytes; long ones are cut
    // (false, the frame is built anyway).
    bool bootInfo(const char* hardw, const char* type, const char* special);
    // Boot data frame: SOH, 0x0C, 0, STX, data, ETX, checksum. Refused (empty
    // frame, false) above MAX_BOOT_DATA bytes.
    bool bootloadData(const uint8_t* data, int nrBytes);

    const uint8_t* bytes() const { return _bytes; }
    int size() const { return _size; }
    // Message type, 0xFF when the frame is too short to have one.
    uint8_t type() const { return _size > Kvprg::FRAME_TYPE_OFS ? _bytes[Kvprg::FRAME_TYPE_OFS] : 0xFF; }
    uint8_t lengthByte() const { return _size > Kvprg::FRAME_LEN_OFS ? _bytes[Kvprg::FRAME_LEN_OFS] : 0; }
    // The bytes between STX and ETX (for the boot data frame too).
    const uint8_t* data() const { return _bytes + Kvprg::FRAME_DATA_OFS; }
    int dataSize() const { return _size > Kvprg::FRAME_OVERHEAD ? _size - Kvprg::FRAME_OVERHEAD : 0; }

    // The receiving tool's check: SOH first and the last byte equal to the
    // 8-bit sum of all bytes before it.
    bool startsWithSoh() const { return _size > 0 && _bytes[0] == Kvprg::SOH; }
    bool checksumOk() const;
    bool isValid() const { return startsWithSoh() && checksumOk(); }
    // isValid, and STX, ETX and the length byte where the layout puts them.
    bool isWellFormed() const;

    // Decodes a setting entry; false when the data do not have its layout.
    bool entryFields(uint8_t* nr, std::string* text, std::string* number) const;
    // A field of a boot record (offset and length in the record), up to its
    // first zero byte; empty when the frame is too short.
    std::string bootRecordField(int offset, int length) const;

    // 8-bit sum, initial value 0, no complement: frames and firmware packets.
    static uint8_t checksum(const uint8_t* bytes, int nrBytes);

private:
    void clear() { _size = 0; }
    void append(uint8_t byte);
    void appendText(const char* text, int length);
    void finish();

    uint8_t _bytes[Kvprg::MAXFRAME];
    int _size;
};

#endif
