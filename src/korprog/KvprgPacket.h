#ifndef KORPROG_KVPRGPACKET_H
#define KORPROG_KVPRGPACKET_H

#include <cstdint>

#include "korprog/KvprgProtDefs.h"

// One firmware packet of the boot loader's image transfer:
//   SOH, number, 255 - number, 128 data bytes, checksum of the data.
// The sender writes the five parts separately; the last packet of an image
// is padded with 0xFF and its checksum counts the pad bytes. The stream ends
// with a lone EOT.
class KvprgPacket {
public:
    KvprgPacket();

    // Packet `number` with image bytes from `offset` on (at most 128, the
    // rest padded). Returns the number of image bytes taken (0 when offset
    // lies outside the image).
    int fill(uint8_t number, const uint8_t* image, int imageSize, int offset);
    // Takes the packet from PACKET_SIZE received bytes; false when there are
    // not that many or the first is not SOH. The other checks are separate.
    bool parse(const uint8_t* bytes, int nrBytes);

    uint8_t number() const { return _number; }
    uint8_t complement() const { return _complement; }
    const uint8_t* data() const { return _data; }
    uint8_t checksum() const { return _checksum; }
    // All PACKET_SIZE bytes in wire order.
    void wire(uint8_t out[Kvprg::PACKET_SIZE]) const;

    bool complementOk() const { return static_cast<uint8_t>(255 - _number) == _complement; }
    bool checksumOk() const;

    // Packet numbers start at 1 and wrap from 255 to 0.
    static uint8_t numberOf(int packetIndex) { return static_cast<uint8_t>((packetIndex + 1) & 0xFF); }
    static int packetCount(int imageSize)
    {
        return imageSize <= 0 ? 0 : (imageSize + Kvprg::PACKET_DATA_SIZE - 1) / Kvprg::PACKET_DATA_SIZE;
    }

private:
    uint8_t _number;
    uint8_t _complement;
    uint8_t _data[Kvprg::PACKET_DATA_SIZE];
    uint8_t _checksum;
};

#endif
