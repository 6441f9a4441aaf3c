#include "korprog/KvprgPacket.h"

#include <cstring>

#include "korprog/KvprgFrame.h"

using namespace Kvprg;

KvprgPacket::KvprgPacket() : _number(0), _complement(0xFF), _checksum(0)
{
    std::memset(_data, PACKET_PAD, sizeof _data);
    _checksum = KvprgFrame::checksum(_data, PACKET_DATA_SIZE);
}

int KvprgPacket::fill(uint8_t number, const uint8_t* image, int imageSize, int offset)
{
    _number = number;
    _complement = static_cast<uint8_t>(255 - number);
    int taken = 0;
    if (image && offset >= 0 && offset < imageSize) {
        taken = imageSize - offset;
        if (taken > PACKET_DATA_SIZE) taken = PACKET_DATA_SIZE;
        std::memcpy(_data, image + offset, static_cast<size_t>(taken));
    }
    std::memset(_data + taken, PACKET_PAD, static_cast<size_t>(PACKET_DATA_SIZE - taken));
    _checksum = KvprgFrame::checksum(_data, PACKET_DATA_SIZE);
    return taken;
}

bool KvprgPacket::parse(const uint8_t* bytes, int nrBytes)
{
    if (!bytes || nrBytes < PACKET_SIZE || bytes[0] != SOH) return false;
    _number = bytes[1];
    _complement = bytes[2];
    std::memcpy(_data, bytes + 3, PACKET_DATA_SIZE);
    _checksum = bytes[3 + PACKET_DATA_SIZE];
    return true;
}

void KvprgPacket::wire(uint8_t out[PACKET_SIZE]) const
{
    out[0] = SOH;
    out[1] = _number;
    out[2] = _complement;
    std::memcpy(out + 3, _data, PACKET_DATA_SIZE);
    out[3 + PACKET_DATA_SIZE] = _checksum;
}

bool KvprgPacket::checksumOk() const
{
    return KvprgFrame::checksum(_data, PACKET_DATA_SIZE) == _checksum;
}
