#ifndef KORPROG_KVPRGPROTDEFS_H
#define KORPROG_KVPRGPROTDEFS_H

// Constants of the serial protocol between KorProg and a Korvan unit. The
// driver, the parser and the unit simulator all take them from here.

#include <cstdint>

namespace Kvprg {

// Control bytes.
const uint8_t SOH = 0x01;           // first byte of a frame and of a firmware packet
const uint8_t STX = 0x02;           // before the data of a frame
const uint8_t ETX = 0x03;           // after the data of a frame
const uint8_t EOT = 0x04;           // after the last firmware packet
const uint8_t ACK = 0x06;
const uint8_t BOOTLOAD_REQ_BYTE = 0x0B; // unit in its boot loader asks for boot data
const uint8_t NAK = 0x15;

// Message types (second byte of a frame).
enum MsgType : uint8_t {
    MSG_STATUS_REQ = 0,
    MSG_STATUS_INFO = 1,
    MSG_UPLOAD_REQ = 2,
    MSG_DOWNLOAD_REQ = 3,
    MSG_SET_ENTRY = 4,
    MSG_XFER_END = 5,
    MSG_LIFE_CHECK = 8,
    MSG_WAITING = 9,
    MSG_UPGRADE_REQ = 10,
    MSG_BOOTLOAD_REQ = 11,
    MSG_BOOTLOAD_DATA = 12,
    MSG_BOOT_INFO = 13
};

// True for the codes above: the receiver uses it to tell a new frame start
// from stray bytes.
inline bool isMsgType(uint8_t code)
{
    return code <= MSG_XFER_END || (code >= MSG_LIFE_CHECK && code <= MSG_BOOT_INFO);
}

// True when the first of nrBytes received bytes looks like the start of a
// new message: ACK, NAK, or SOH followed by a message type. The receiver
// counts such reads while it assembles a frame to notice a lost frame end.
inline bool looksLikeMsgStart(const uint8_t* bytes, int nrBytes)
{
    if (!bytes || nrBytes <= 0) return false;
    if (bytes[0] == ACK || bytes[0] == NAK) return true;
    return bytes[0] == SOH && nrBytes > 1 && isMsgType(bytes[1]);
}

typedef uint8_t PrclVersion;

// Frame: SOH, type, L, STX, L data bytes, ETX, checksum.
const int FRAME_TYPE_OFS = 1;
const int FRAME_LEN_OFS = 2;
const int FRAME_DATA_OFS = 4;
const int FRAME_OVERHEAD = 6;
// The receiver sign-extends the length byte, so L stays below 128.
const int MAX_FRAME_DATA = 127;
// A received message must fit the driver's 2048-byte string.
const int MAXFRAME = 2048;
// Boot data frame: its length byte is 0 and up to 2042 data bytes follow.
const int MAX_BOOT_DATA = MAXFRAME - FRAME_OVERHEAD;

// Setting entry data: nr, '"', text, '"', ',', '"', number, '"'.
const int ENTRY_TEXT_MAX = 64;
const int ENTRY_NUMBER_MAX = 20;
const int ENTRY_OVERHEAD = 6;
const int NR_ENTRIES = 200;

// Status record data: protocol version, extra status byte, number of
// entries, then five comma-separated quoted fields: type, software, special,
// hardware, IMEI.
const int STATUS_PRVER_OFS = 0;
const int STATUS_EXTRA_OFS = 1;
const int STATUS_NRENTRIES_OFS = 2;
const int STATUS_TEXT_OFS = 3;
const int STATUS_NR_FIELDS = 5;
const int TYPE_LEN = 11;
const int SWVERSION_LEN = 7;
// The software field carries this many characters before the version.
const int STATUS_SW_SKIP = 9;
const int HWVERSION_LEN = 4;
const int IMEI_LEN = 16;

// Boot record: first and last data byte unused; between them hardware
// version, type and special at fixed positions.
const int BOOTREC_HW_OFS = 0;
const int BOOTREC_TYPE_OFS = 4;
const int BOOTREC_SPECIAL_OFS = 15;
const int BOOTREC_SPECIAL_LEN = 5;
const int BOOTREC_LEN = 20;

// Firmware packet: SOH, number, 255 - number, 128 data bytes, checksum.
const int PACKET_DATA_SIZE = 128;
const int PACKET_SIZE = PACKET_DATA_SIZE + 4;
const uint8_t PACKET_PAD = 0xFF;
// The image is traced in segments of four packets. A resend goes back one
// packet, never further than this.
const int SEGMENT_SIZE = 512;

} // namespace Kvprg

#endif
