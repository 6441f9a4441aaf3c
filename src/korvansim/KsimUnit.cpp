#include "korvansim/KsimUnit.h"

#include <algorithm>
#include <cstdio>

#include "korprog/KvprgPacket.h"

using namespace Kvprg;

namespace {

// The status record's software field: nine characters, then the version.
const char SW_PREFIX[] = "VERSION: ";
static_assert(sizeof SW_PREFIX - 1 == STATUS_SW_SKIP, "software field prefix");

const size_t MAX_INPUT = 65536;

const char* typeName(uint8_t type)
{
    switch (type) {
    case MSG_STATUS_REQ: return "status request";
    case MSG_STATUS_INFO: return "status record";
    case MSG_UPLOAD_REQ: return "upload request";
    case MSG_DOWNLOAD_REQ: return "download request";
    case MSG_SET_ENTRY: return "setting entry";
    case MSG_XFER_END: return "end of transfer";
    case MSG_LIFE_CHECK: return "life check";
    case MSG_WAITING: return "waiting";
    case MSG_UPGRADE_REQ: return "upgrade request";
    case MSG_BOOTLOAD_REQ: return "boot-loader request";
    case MSG_BOOTLOAD_DATA: return "boot data";
    case MSG_BOOT_INFO: return "boot record";
    default: return "unknown frame";
    }
}

std::string byteName(uint8_t b)
{
    switch (b) {
    case ACK: return "ACK";
    case NAK: return "NAK";
    case EOT: return "EOT";
    case BOOTLOAD_REQ_BYTE: return "boot-loader request (0B)";
    default: return "byte " + KsimUnit::hex(&b, 1);
    }
}

bool isLoneByte(uint8_t b)
{
    return b == ACK || b == NAK || b == EOT;
}

} // namespace

std::string KsimUnit::hex(const uint8_t* b, size_t n)
{
    const size_t shown = n <= 140 ? n : 32;
    std::string s;
    char buf[4];
    for (size_t i = 0; i < shown; ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", b[i]);
        s += buf;
    }
    if (shown < n) s += " ... (" + std::to_string(n) + " bytes)";
    return s;
}

KsimUnit::KsimUnit(const KsimOptions& options, KsimSettings* settings, Log log)
    : _opt(options), _settings(settings), _log(std::move(log)), _mode(APPLICATION), _app(IDLE),
      _software(options.software), _type(options.type), _imei(options.imei), _lineOpen(false), _silent(false), _framesReceived(0), _now(0), _lastRxUs(0),
      _pauseHandled(true), _lastTrafficUs(0), _dlNext(1), _dlSinceWait(0), _dlWaiting(false), _dlNaks(0), _ulStored(0),
      _ulWaited(false), _nakDueUs(-1), _packets(0), _resetDone(false), _imagesWritten(0), _eotsIgnored(0),
      _unplugDone(false), _unplugDue(false), _handOverDue(false)
{
}

void KsimUnit::log(const std::string& text) const
{
    if (_log) _log(text);
}

void KsimUnit::start(int64_t nowUs)
{
    _now = nowUs;
    _lastTrafficUs = nowUs;
    if (_opt.startInBoot) {
        _mode = BOOT_WAIT_DATA;
        log("starting in the boot loader");
    } else {
        log("starting as the application, software " + _software);
    }
}

void KsimUnit::lineOpened(int64_t nowUs)
{
    _now = nowUs;
    _lineOpen = true;
    _lastTrafficUs = nowUs;
}

void KsimUnit::lineClosed()
{
    _lineOpen = false;
    if (!_in.empty()) dropInput(_in.size(), "the port was closed");
}

std::string KsimUnit::takeOutput()
{
    std::string out;
    out.swap(_out);
    return out;
}

// ---- input -----------------------------------------------------------

void KsimUnit::receive(const uint8_t* bytes, int nrBytes, int64_t nowUs)
{
    _now = nowUs;
    if (!bytes || nrBytes <= 0) return;
    _lastRxUs = nowUs;
    _lastTrafficUs = nowUs;
    _pauseHandled = false;
    _in.insert(_in.end(), bytes, bytes + nrBytes);
    if (_in.size() > MAX_INPUT) dropInput(_in.size() - MAX_INPUT, "input overflow");
    process(false);
}

void KsimUnit::poll(int64_t nowUs)
{
    _now = nowUs;
    if (!_in.empty() && !_pauseHandled && nowUs - _lastRxUs >= QUIET_US) {
        _pauseHandled = true;
        process(true);
    }
    if (!_in.empty() && nowUs - _lastRxUs >= STALE_US) {
        dropInput(_in.size(), "unfinished message");
        if (!_silent) sendByte(NAK, "NAK (unfinished message)");
    }
    if (!_lineOpen || _silent) return;
    if (_mode == BOOT_WAIT_PACKET && _nakDueUs >= 0 && nowUs >= _nakDueUs) {
        sendByte(NAK, "NAK (ready for packet 1)");
        _nakDueUs = nowUs + NAK_REPEAT_US;
    }
    if (_mode == BOOT_WAIT_DATA && nowUs - _lastTrafficUs >= BOOTREQ_REPEAT_US) sendBootReq();
}

int64_t KsimUnit::nextDeadline() const
{
    int64_t d = -1;
    auto earliest = [&d](int64_t t) {
        if (d < 0 || t < d) d = t;
    };
    if (!_in.empty()) earliest(_pauseHandled ? _lastRxUs + STALE_US : _lastRxUs + QUIET_US);
    if (_lineOpen && !_silent) {
        if (_mode == BOOT_WAIT_PACKET && _nakDueUs >= 0) earliest(_nakDueUs);
        if (_mode == BOOT_WAIT_DATA) earliest(_lastTrafficUs + BOOTREQ_REPEAT_US);
    }
    return d;
}

void KsimUnit::dropInput(size_t n, const char* why)
{
    n = std::min(n, _in.size());
    log(std::string("<- dropped ") + std::to_string(n) + " bytes (" + why + "): " + hex(_in.data(), n));
    _in.erase(_in.begin(), _in.begin() + static_cast<long>(n));
}

int KsimUnit::bootDataEnd(bool paused) const
{
    // The boot data frame carries no length, and its data may hold ETX and
    // a matching sum anywhere. The program sends it in one piece and then
    // waits for the boot record, so it ends where the input pauses: the
    // last place before the pause where ETX and a matching checksum end it.
    if (static_cast<int>(_in.size()) >= MAXFRAME) return MAXFRAME;
    if (!paused) return 0;
    int best = 0;
    unsigned sum = 0;
    for (size_t e = 0; e < _in.size(); ++e) {
        if (e >= static_cast<size_t>(FRAME_OVERHEAD) - 1 && _in[e - 1] == ETX && (sum & 0xFF) == _in[e])
            best = static_cast<int>(e) + 1;
        sum += _in[e];
    }
    return best ? best : static_cast<int>(_in.size());
}

int KsimUnit::messageSize(bool paused, bool* packet) const
{
    *packet = false;
    if (_in.size() < 3) return 0;
    uint8_t b1 = _in[1], b2 = _in[2];
    bool imageMode = _mode == BOOT_WAIT_PACKET || _mode == BOOT_IMAGE;
    if (imageMode && static_cast<uint8_t>(b1 + b2) == 0xFF) {
        *packet = true;
        return PACKET_SIZE;
    }
    if (b1 == MSG_BOOTLOAD_DATA && b2 == 0) return bootDataEnd(paused);
    if (imageMode) {
        // A packet with a damaged complement still has a packet's length.
        if (_in.size() < 4) return 0;
        if (_in[3] != STX || !isMsgType(b1)) {
            *packet = true;
            return PACKET_SIZE;
        }
    }
    return b2 + FRAME_OVERHEAD;
}

void KsimUnit::process(bool paused)
{
    while (!_in.empty()) {
        uint8_t b = _in[0];
        if (b != SOH) {
            if (isLoneByte(b)) {
                _in.erase(_in.begin());
                handleByte(b);
                continue;
            }
            size_t n = 1;
            while (n < _in.size() && _in[n] != SOH && !isLoneByte(_in[n])) ++n;
            dropInput(n, "no message start");
            continue;
        }
        bool packet;
        int size = messageSize(paused, &packet);
        if (size == 0 || static_cast<int>(_in.size()) < size) return;
        std::vector<uint8_t> msg(_in.begin(), _in.begin() + size);
        _in.erase(_in.begin(), _in.begin() + size);
        if (packet)
            handlePacket(msg.data());
        else
            handleFrame(KvprgFrame(msg.data(), size));
    }
}

bool KsimUnit::countAndAnswer(const char* what)
{
    ++_framesReceived;
    if (_opt.silentAfter > 0 && _framesReceived > _opt.silentAfter) {
        _silent = true;
        log(std::string("   fault: silent from now on (") + what + " not answered)");
        return false;
    }
    if (_opt.nakEvery > 0 && _framesReceived % _opt.nakEvery == 0) {
        log(std::string("   fault: NAK instead of answering the ") + what);
        sendByte(NAK, "NAK (fault)");
        return false;
    }
    return true;
}

void KsimUnit::handleByte(uint8_t b)
{
    log("<- " + byteName(b));
    if (_silent) return;
    if (b == NAK) {
        if (_lastFrame.size() > 0 && _mode != BOOT_IMAGE) {
            sendFrame(_lastFrame, _lastWhat + " again");
        }
        return;
    }
    if (b == ACK) {
        if (_mode == APPLICATION && _app == DOWNLOADING) sendEntryOrEnd();
        return;
    }
    // EOT
    if (_mode == BOOT_IMAGE && _eotsIgnored < _opt.ignoreEot) {
        ++_eotsIgnored;
        log("   fault: EOT ignored");
        return;
    }
    if (_mode == BOOT_IMAGE) {
        finishImage();
        sendByte(ACK, "ACK (end of image)");
    } else if (_mode == BOOT_WAIT_PACKET) {
        sendByte(NAK, "NAK (no packet received yet)");
    }
}

void KsimUnit::handleFrame(const KvprgFrame& frame)
{
    std::string name = typeName(frame.type());
    log("<- " + name + ": " + hex(frame.bytes(), static_cast<size_t>(frame.size())));
    if (_silent) return;
    if (!frame.isWellFormed()) {
        log("   bad frame (checksum or layout)");
        sendByte(NAK, "NAK (bad frame)");
        return;
    }
    if (!countAndAnswer(name.c_str())) return;
    if (_mode == APPLICATION)
        handleAppFrame(frame);
    else
        handleBootFrame(frame);
}

// ---- application -----------------------------------------------------

void KsimUnit::handleAppFrame(const KvprgFrame& frame)
{
    switch (frame.type()) {
    case MSG_STATUS_REQ:
        sendStatus();
        break;
    case MSG_DOWNLOAD_REQ:
        if (_opt.noSettings) {
            log("   fault: the settings request is not answered");
            break;
        }
        if (_dlNaks < _opt.nakDownload) {
            ++_dlNaks;
            sendByte(NAK, "NAK (fault: download request)");
            break;
        }
        // After a waiting frame the program asks again: carry on where the
        // download stood. Otherwise a download starts from entry 1.
        if (!(_app == DOWNLOADING && _dlWaiting)) {
            _dlNext = 1;
            _dlSinceWait = 0;
        }
        _app = DOWNLOADING;
        _dlWaiting = false;
        sendEntryOrEnd();
        break;
    case MSG_UPLOAD_REQ:
        _app = UPLOADING;
        _ulStored = 0;
        _ulWaited = false;
        sendByte(ACK, "ACK (upload request)");
        break;
    case MSG_SET_ENTRY:
        if (_app == UPLOADING)
            uploadEntry(frame);
        else
            sendByte(NAK, "NAK (entry outside an upload)");
        break;
    case MSG_XFER_END:
        if (_app == UPLOADING)
            finishUpload();
        else
            sendByte(ACK, "ACK (end of transfer)");
        break;
    case MSG_LIFE_CHECK:
        sendByte(ACK, "ACK (life check)");
        break;
    case MSG_UPGRADE_REQ:
        _app = IDLE;
        enterBootLoader("upgrade request");
        break;
    default:
        log("   not for the application; ignored");
        break;
    }
}

void KsimUnit::sendEntryOrEnd()
{
    KvprgFrame f;
    if (_opt.waitEvery > 0 && _dlSinceWait >= _opt.waitEvery) {
        _dlSinceWait = 0;
        _dlWaiting = true;
        f.request(MSG_WAITING);
        sendFrame(f, "waiting (fault)");
        return;
    }
    if (_dlNext > _opt.entries) {
        _app = IDLE;
        f.request(MSG_XFER_END);
        sendFrame(f, "end of transfer");
        return;
    }
    const KsimSettings::Entry& e = _settings->entry(_dlNext);
    f.settingEntry(static_cast<uint8_t>(_dlNext), e.text.c_str(), e.number.c_str());
    sendFrame(f, "entry " + std::to_string(_dlNext) + " \"" + e.text + "\" \"" + e.number + "\"");
    ++_dlNext;
    ++_dlSinceWait;
}

void KsimUnit::uploadEntry(const KvprgFrame& frame)
{
    uint8_t nr = 0;
    std::string text, number;
    if (!frame.entryFields(&nr, &text, &number) || nr < 1 || nr > NR_ENTRIES) {
        sendByte(NAK, "NAK (not a valid entry)");
        return;
    }
    if (_opt.waitEvery > 0 && !_ulWaited && (_ulStored + 1) % _opt.waitEvery == 0) {
        _ulWaited = true;
        KvprgFrame f;
        f.request(MSG_WAITING);
        sendFrame(f, "waiting (fault)");
        return;
    }
    _ulWaited = false;
    if (nr == _opt.storeDiffers) {
        // Not the text that was sent, and not one a read-back could take for it.
        if (text.empty())
            text = "X";
        else
            text.back() = text.back() == 'X' ? 'Y' : 'X';
        log("   fault: entry " + std::to_string(nr) + " is stored otherwise");
    }
    if (nr == _opt.numberDiffers) {
        // A digit, so that the number still fits its field.
        if (number.empty())
            number = "1";
        else
            number.back() = number.back() == '1' ? '2' : '1';
        log("   fault: the number of entry " + std::to_string(nr) + " is stored otherwise");
    }
    _settings->set(nr, text, number);
    ++_ulStored;
    log("   stored entry " + std::to_string(nr) + " \"" + text + "\" \"" + number + "\"");
    sendByte(ACK, "ACK (entry " + std::to_string(nr) + ")");
}

void KsimUnit::finishUpload()
{
    _app = IDLE;
    log("   upload ended after " + std::to_string(_ulStored) + " entries");
    if (!_opt.adnFile.empty()) {
        std::string error;
        if (_settings->save(_opt.adnFile, &error))
            log("   settings written to " + _opt.adnFile);
        else
            log("   cannot write the settings: " + error);
    }
    sendByte(ACK, "ACK (end of upload)");
}

// ---- output ----------------------------------------------------------

void KsimUnit::sendByte(uint8_t b, const std::string& what)
{
    _out += static_cast<char>(b);
    _lastTrafficUs = _now;
    log("-> " + what);
}

void KsimUnit::sendFrame(const KvprgFrame& frame, const std::string& what)
{
    static const char pattern[] = "garbage!";
    std::string prefix;
    for (int i = 0; i < _opt.garbage; ++i) prefix += pattern[i % (sizeof pattern - 1)];
    if (!prefix.empty()) log("-> " + std::to_string(prefix.size()) + " garbage bytes (fault)");
    _out += prefix;
    _out.append(reinterpret_cast<const char*>(frame.bytes()), static_cast<size_t>(frame.size()));
    _lastTrafficUs = _now;
    if (&frame != &_lastFrame) {
        _lastFrame = frame;
        _lastWhat = what;
    }
    log("-> " + what + ": " + hex(frame.bytes(), static_cast<size_t>(frame.size())));
}

void KsimUnit::sendStatus()
{
    KvprgFrame f;
    std::string software = SW_PREFIX + _software;
    if (!f.statusInfo(static_cast<PrclVersion>(_opt.protocolVersion), static_cast<uint8_t>(_opt.errorStatus),
                      static_cast<uint8_t>(_opt.entries), _type.c_str(), software.c_str(), _opt.special.c_str(),
                      _opt.hardware.c_str(), _imei.c_str())) {
        log("   the identity does not fit a status record; not answered");
        return;
    }
    sendFrame(f, "status record");
}

void KsimUnit::sendBootReq()
{
    if (_opt.bootReqFrame) {
        KvprgFrame f;
        f.request(MSG_BOOTLOAD_REQ);
        sendFrame(f, "boot-loader request");
    } else {
        sendByte(BOOTLOAD_REQ_BYTE, "boot-loader request (0B)");
    }
}
