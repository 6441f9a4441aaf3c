// The unit's boot loader: boot data, the image's packets (or an image a
// receiver wrote) and the restart into the new software.
#include "korvansim/KsimUnit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "korprog/KvprgPacket.h"

using namespace Kvprg;

namespace {

// Packets a sender may send again after a NAK: the program sends the one the
// NAK answers; older senders went back to the start of a segment
// (SEGMENT_SIZE bytes, at most three packets back).
const int MAX_REWIND = 8;

} // namespace

void KsimUnit::enterBootLoader(const char* why)
{
    log(std::string("   restarting into the boot loader (") + why + ")");
    _mode = BOOT_WAIT_DATA;
    _image.clear();
    _packets = 0;
    _nakDueUs = -1;
    // What the application (or an earlier boot loader run) sent is gone.
    _lastFrame = KvprgFrame();
    _lastWhat.clear();
    sendBootReq();
}

void KsimUnit::handleBootFrame(const KvprgFrame& frame)
{
    if (frame.type() != MSG_BOOTLOAD_DATA) {
        // The boot loader speaks no application frames: it asks for boot data.
        sendBootReq();
        return;
    }
    log("   boot data of " + std::to_string(frame.dataSize()) + " bytes taken");
    KvprgFrame rec;
    rec.bootInfo(_opt.hardware.c_str(), _type.c_str(), _opt.special.c_str());
    sendFrame(rec, "boot record");
    _mode = BOOT_WAIT_PACKET;
    _image.clear();
    _packets = 0;
    if (!_opt.rx.empty()) {
        // The receiver asks for packet 1 itself.
        _mode = BOOT_IMAGE;
        _nakDueUs = -1;
        _handOverDue = true;
        log("   the image phase goes to " + _opt.rx + " -X");
        return;
    }
    // The NAK follows apart from the record: the program drops whatever
    // comes in the same read as a frame.
    _nakDueUs = _now + NAK_DELAY_US;
}

bool KsimUnit::takeHandOver()
{
    const bool due = _handOverDue;
    _handOverDue = false;
    return due;
}

void KsimUnit::imageByReceiver(bool ok)
{
    if (!ok) {
        log("   no image from the receiver; the boot loader waits for boot data again");
        _mode = BOOT_WAIT_DATA;
        _lastTrafficUs = _now;
        return;
    }
    _image.clear();
    if (std::FILE* f = std::fopen(_opt.imageFile.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) _image.insert(_image.end(), buf, buf + n);
        std::fclose(f);
    }
    ++_imagesWritten;
    log("   the receiver wrote an image of " + std::to_string(_image.size()) + " bytes to " + _opt.imageFile);
    runImage();
}

void KsimUnit::handlePacket(const uint8_t* bytes)
{
    KvprgPacket p;
    p.parse(bytes, PACKET_SIZE);
    log("<- packet " + std::to_string(p.number()) + ": " + hex(bytes, PACKET_SIZE));
    if (_silent || !countAndAnswer("packet")) return;
    if (_opt.nakPackets) {
        sendByte(NAK, "NAK (fault: every packet)");
        return;
    }
    if (_opt.resetAfter > 0 && !_resetDone && _packets >= _opt.resetAfter) {
        _resetDone = true;
        enterBootLoader("reset fault");
        return;
    }
    if (!p.complementOk()) {
        sendByte(NAK, "NAK (wrong complement)");
        return;
    }
    if (!p.checksumOk()) {
        sendByte(NAK, "NAK (bad checksum)");
        return;
    }
    int back = (KvprgPacket::numberOf(_packets) - p.number()) & 0xFF;
    if (back > std::min(_packets, MAX_REWIND)) {
        sendByte(NAK, "NAK (expected packet " + std::to_string(KvprgPacket::numberOf(_packets)) + ")");
        return;
    }
    if (back > 0) {
        log("   packet sent again: image goes back " + std::to_string(back) + " packets");
        _packets -= back;
    }
    if (_packets >= MAX_IMAGE_PACKETS) {
        sendByte(NAK, "NAK (image too large)");
        return;
    }
    _image.resize(static_cast<size_t>(_packets) * PACKET_DATA_SIZE);
    _image.insert(_image.end(), p.data(), p.data() + PACKET_DATA_SIZE);
    ++_packets;
    _mode = BOOT_IMAGE;
    _nakDueUs = -1;
    sendByte(ACK, "ACK (packet " + std::to_string(p.number()) + ")");
    if (_opt.unplugAfter > 0 && !_unplugDone && _packets >= _opt.unplugAfter) {
        _unplugDone = true;
        _unplugDue = true;
        log("   fault: the line goes away before this ACK");
    }
}

bool KsimUnit::takeUnplug()
{
    const bool due = _unplugDue;
    _unplugDue = false;
    return due;
}

void KsimUnit::finishImage()
{
    std::FILE* f = std::fopen(_opt.imageFile.c_str(), "wb");
    bool ok = f && std::fwrite(_image.data(), 1, _image.size(), f) == _image.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (ok) {
        ++_imagesWritten;
        log("   image of " + std::to_string(_image.size()) + " bytes (" + std::to_string(_packets) +
            " packets) written to " + _opt.imageFile);
    } else {
        log("   cannot write the image to " + _opt.imageFile + ": " + std::strerror(errno));
    }
    runImage();
}

void KsimUnit::runImage()
{
    // The version follows "VERSION:" and one separator character.
    static const char marker[] = "VERSION:";
    auto it = std::search(_image.begin(), _image.end(), marker, marker + sizeof marker - 1);
    size_t at = static_cast<size_t>(it - _image.begin());
    if (it != _image.end() && at + STATUS_SW_SKIP + SWVERSION_LEN <= _image.size()) {
        const std::string version(reinterpret_cast<const char*>(_image.data()) + at + STATUS_SW_SKIP, SWVERSION_LEN);
        if (_opt.keepVersion) {
            log("   fault: the image's version " + version + " does not take; still " + _software);
        } else {
            _software = version;
            log("   new software version " + _software);
        }
    }
    // An image built for another type makes the unit that type.
    static const char typeMarker[] = "TYPE: ";
    it = std::search(_image.begin(), _image.end(), typeMarker, typeMarker + sizeof typeMarker - 1);
    at = static_cast<size_t>(it - _image.begin()) + sizeof typeMarker - 1;
    if (it != _image.end() && at + TYPE_LEN <= _image.size() && !_opt.keepVersion) {
        _type.assign(reinterpret_cast<const char*>(_image.data()) + at, TYPE_LEN);
        log("   new type " + _type);
    }
    if (!_opt.imeiAfterImage.empty()) {
        _imei = _opt.imeiAfterImage;
        log("   fault: another unit, IMEI " + _imei);
    }
    _mode = APPLICATION;
    _app = IDLE;
    _image.clear();
    _packets = 0;
    _lastFrame = KvprgFrame();
    log("   running as the application again");
}
