#include "korvansim/KsimRunner.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "korprog/KvprgFrame.h"

namespace {

const int64_t CLOSED_CHECK_US = 50000; // how often a closed port is looked at again
int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
    int saved = errno;
    if (g_signalPipe[1] >= 0) {
        char c = 's';
        ssize_t r = ::write(g_signalPipe[1], &c, 1);
        (void)r;
    }
    errno = saved;
}

bool installSignals()
{
    if (::pipe2(g_signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        if (::sigaction(sig, &sa, nullptr) != 0) return false;
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

} // namespace

KsimRunner::KsimRunner(const KsimOptions& options)
    : _log(stderr, nowUs()), _opt(options), _unit(options, &_settings, [this](const std::string& t) { log(t); }), _inPacer(options.baud),
      _outPacer(options.baud), _open(false), _everOpened(false), _closedSinceUs(0), _replugAtUs(-1)
{
}

int64_t KsimRunner::nowUs()
{
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void KsimRunner::log(const std::string& text) const { _log.line(text, nowUs()); }

bool KsimRunner::setUp(std::FILE* out)
{
    std::string error;
    // Without a settings file the unit holds its own type and special build.
    _settings.set(10, _opt.type, "");
    _settings.set(20, _opt.special, "");
    if (!_opt.adnFile.empty()) {
        if (::access(_opt.adnFile.c_str(), F_OK) == 0) {
            if (!_settings.load(_opt.adnFile, &error)) {
                log("korvansim: " + error);
                return false;
            }
            log("settings read from " + _opt.adnFile);
        } else {
            log("settings file " + _opt.adnFile + " does not exist yet; it is written after an upload");
        }
    }
    KvprgFrame probe;
    std::string software = std::string(Kvprg::STATUS_SW_SKIP, ' ') + _opt.software;
    if (!probe.statusInfo(0, 0, 0, _opt.type.c_str(), software.c_str(), _opt.special.c_str(), _opt.hardware.c_str(),
                          _opt.imei.c_str())) {
        log("korvansim: the identity does not fit a status record; use shorter texts");
        return false;
    }
    if (!installSignals()) {
        log(std::string("korvansim: signals: ") + std::strerror(errno));
        return false;
    }
    if (!_pty.open(&error)) {
        log("korvansim: " + error);
        return false;
    }
    if (!_opt.link.empty()) {
        if (!_pty.makeLink(_opt.link, &error)) {
            log("korvansim: " + error);
            return false;
        }
        if (_opt.link.size() > 255) log("note: the program takes port names of at most 255 characters");
    }
    std::fprintf(out, "%s\n", _pty.device().c_str());
    std::fflush(out);
    log("unit on " + _pty.device() + (_opt.link.empty() ? std::string() : " (link " + _opt.link + ")") +
        (_opt.baud > 0 ? ", paced at " + std::to_string(_opt.baud) + " baud" : std::string()));
    // Paced, the unit's answers keep the line's time: the log must not hold them up.
    if (_opt.baud > 0 && !_log.inBackground()) log("note: the log is written as it comes and may delay answers");
    return true;
}

void KsimRunner::unplug(int64_t now)
{
    log("the terminal goes away for " + std::to_string(_opt.unplugForMs) + " ms (fault)");
    _pty.close();
    _open = false;
    _closedSinceUs = now;
    _unit.lineClosed();
    _inPacer.clear();
    _outPacer.clear();
    _pendingWrite.clear();
    _replugAtUs = now + _opt.unplugForMs * 1000LL;
}

bool KsimRunner::replug(int64_t now)
{
    std::string error;
    _replugAtUs = -1;
    _closedSinceUs = now;
    if (!_pty.open(&error) || !_pty.makeLink(_opt.link, &error)) {
        log("korvansim: the terminal cannot come back: " + error);
        return false;
    }
    log("the terminal is back as " + _pty.device() + " (link " + _opt.link + ")");
    return true;
}

void KsimRunner::pump(int64_t now)
{
    if (_replugAtUs >= 0) {
        // The unit runs on while its line is gone.
        _unit.poll(now);
        std::string lost = _unit.takeOutput();
        if (!lost.empty()) log("   (terminal gone: " + std::to_string(lost.size()) + " bytes not sent)");
        if (now < _replugAtUs || !replug(now)) return;
    }
    bool peer = _pty.peerOpen();
    if (peer && !_open) {
        _open = true;
        _everOpened = true;
        log("the program opened the port");
        _unit.lineOpened(now);
    } else if (!peer && _open) {
        // What the program wrote before it closed the port is on the line
        // already: the unit still gets it (a last frame, such as the end of
        // an upload, must not be lost); only its answers go nowhere.
        readInput(now);
        std::string rest = _inPacer.take(INT64_MAX);
        if (!rest.empty())
            _unit.receive(reinterpret_cast<const uint8_t*>(rest.data()), static_cast<int>(rest.size()), now);
        _open = false;
        _closedSinceUs = now;
        log("the program closed the port");
        _unit.lineClosed();
        _inPacer.clear();
        _outPacer.clear();
        _pendingWrite.clear();
    }
    if (_open) readInput(now);
    std::string in = _inPacer.take(now);
    if (!in.empty() && _rx.running()) {
        _rx.write(in);
    } else if (!in.empty()) {
        _unit.receive(reinterpret_cast<const uint8_t*>(in.data()), static_cast<int>(in.size()), now);
    }
    _unit.poll(now);
    std::string out = _unit.takeOutput();
    if (_unit.takeHandOver()) {
        std::string error;
        if (!_rx.start(_opt.rx, _opt.imageFile, &error)) {
            log("korvansim: " + error);
            _unit.imageByReceiver(false);
        }
    }
    if (_rx.running()) out += relayRx(now);
    if (_unit.takeUnplug()) unplug(now);
    if (_open) {
        _outPacer.push(out, now);
        _pendingWrite += _outPacer.take(now);
        if (!_pendingWrite.empty()) {
            int w = _pty.write(_pendingWrite.data(), static_cast<int>(_pendingWrite.size()));
            if (w > 0) _pendingWrite.erase(0, static_cast<size_t>(w));
        }
    } else if (!out.empty()) {
        log("   (port closed: " + std::to_string(out.size()) + " bytes not sent)");
    }
}

std::string KsimRunner::relayRx(int64_t now)
{
    bool ended = false;
    int status = 0;
    const std::string answers = _rx.read(&ended, &status);
    for (char c : answers) {
        const uint8_t b = static_cast<uint8_t>(c);
        log(std::string("-> receiver: ") + (b == Kvprg::ACK ? "ACK" : b == Kvprg::NAK ? "NAK" : "byte " + std::to_string(b)));
    }
    if (ended) {
        log("the receiver ended with status " + std::to_string(status));
        _unit.poll(now);
        _unit.imageByReceiver(status == 0);
    }
    return answers;
}

void KsimRunner::readInput(int64_t now)
{
    char buf[4096];
    int n;
    while ((n = _pty.read(buf, sizeof buf)) > 0) _inPacer.push(std::string(buf, static_cast<size_t>(n)), now);
}

int64_t KsimRunner::waitUs(int64_t now) const
{
    int64_t due = -1;
    auto earliest = [&due](int64_t t) {
        if (t >= 0 && (due < 0 || t < due)) due = t;
    };
    earliest(_unit.nextDeadline());
    earliest(_inPacer.nextDue());
    if (_open) earliest(_outPacer.nextDue());
    if (!_open) earliest(now + CLOSED_CHECK_US);
    if (_replugAtUs >= 0) earliest(_replugAtUs);
    // The receiver's end is found by looking.
    if (_rx.running()) earliest(now + 20000);
    if (due < 0) return -1;
    return due > now ? due - now : 0;
}

int KsimRunner::run(std::FILE* out)
{
    if (!setUp(out)) return 1;
    _unit.start(nowUs());
    while (!g_stop) {
        int64_t now = nowUs();
        pump(now);
        if (!_open && _everOpened && !_opt.persist && _replugAtUs < 0 &&
            now - _closedSinceUs >= _opt.hangupGraceMs * 1000LL) {
            log("the program has closed the port for good; ending");
            break;
        }
        struct pollfd fds[3];
        int nfds = 0;
        if (_rx.running()) fds[nfds++] = {_rx.fd(), static_cast<short>(POLLIN | (_rx.writePending() ? POLLOUT : 0)), 0};
        fds[nfds++] = {g_signalPipe[0], POLLIN, 0};
        // While the port is closed the master reports a hang-up at once;
        // it is looked at again on a short timer instead.
        if (_open) fds[nfds++] = {_pty.fd(), static_cast<short>(POLLIN | (_pendingWrite.empty() ? 0 : POLLOUT)), 0};
        // From the time after the pump: its work (the log above all) must
        // not be added to the wait for the next byte.
        now = nowUs();
        int64_t timeout = waitUs(now);
        if (!_open && _everOpened && !_opt.persist && _replugAtUs < 0) {
            int64_t left = _closedSinceUs + _opt.hangupGraceMs * 1000LL - now;
            if (left < 0) left = 0;
            if (timeout < 0 || left < timeout) timeout = left;
        }
        // To the microsecond: a paced byte must not wait for the next
        // millisecond, or every answer comes late by up to one.
        struct timespec ts = {static_cast<time_t>(timeout / 1000000), static_cast<long>(timeout % 1000000) * 1000};
        ::ppoll(fds, static_cast<nfds_t>(nfds), timeout < 0 ? nullptr : &ts, nullptr);
    }
    if (g_stop) log("signal received; ending");
    _pty.removeLink();
    return 0;
}
