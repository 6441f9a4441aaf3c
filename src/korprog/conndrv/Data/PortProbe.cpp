#include "korprog/conndrv/Data/PortProbe.h"

#include <poll.h>

#include <memory>

#include "helm/platform/BTimerTick.h"
#include "korprog/KvprgFrame.h"

bool PortProbe::statusIn(std::string& received, const StatusDecoder& decode, UnitIdentity* unit, bool* bootLoader)
{
    using namespace Kvprg;
    size_t at = 0;
    while (at < received.size()) {
        const uint8_t b = static_cast<uint8_t>(received[at]);
        if (b == BOOTLOAD_REQ_BYTE) *bootLoader = true;
        if (b != SOH) {
            ++at;
            continue;
        }
        if (received.size() < at + FRAME_DATA_OFS) break; // its length is still to come
        const size_t size = static_cast<uint8_t>(received[at + FRAME_LEN_OFS]) + FRAME_OVERHEAD;
        if (received.size() < at + size) break;
        const uint8_t* frame = reinterpret_cast<const uint8_t*>(received.data()) + at;
        if (KvprgFrame(frame, static_cast<int>(size)).isWellFormed()) {
            if (frame[FRAME_TYPE_OFS] == MSG_STATUS_INFO && decode(frame, static_cast<int>(size), unit)) {
                received.clear();
                return true;
            }
            if (frame[FRAME_TYPE_OFS] == MSG_BOOTLOAD_REQ) *bootLoader = true;
            at += size;
        } else {
            ++at; // no frame starts here
        }
    }
    received.erase(0, at);
    return false;
}

std::vector<PortProbe::Result> PortProbe::probe(const std::vector<std::string>& devices, const StatusDecoder& decode,
                                                 int timeoutMs)
{
    const size_t n = devices.size();
    std::vector<Result> results(n);
    std::vector<std::unique_ptr<Serial>> ports(n);
    std::vector<std::string> received(n);
    KvprgFrame request;
    request.request(Kvprg::MSG_STATUS_REQ);
    for (size_t i = 0; i < n; ++i) {
        ports[i].reset(new Serial());
        Serial& port = *ports[i];
        port.lookOnly(true);
        if (port.openPort(devices[i].c_str())) {
            port.writePort(reinterpret_cast<const char*>(request.bytes()), request.size());
            continue;
        }
        Result& r = results[i];
        r.fault = port.openFault();
        r.holder = port.lockHolder();
        r.outcome = r.fault == Serial::PORT_LOCKED || r.fault == Serial::PORT_BUSY ? IN_USE : NOT_OPENED;
    }

    const int64_t end = bMonotonicMs() + timeoutMs;
    for (int64_t left = timeoutMs; left > 0; left = end - bMonotonicMs()) {
        std::vector<struct pollfd> fds;
        std::vector<size_t> which;
        for (size_t i = 0; i < n; ++i) {
            if (!ports[i]->isOpen()) continue;
            fds.push_back({ports[i]->handle(), POLLIN, 0});
            which.push_back(i);
        }
        if (fds.empty() || ::poll(fds.data(), fds.size(), static_cast<int>(left)) < 0) break;
        for (size_t k = 0; k < fds.size(); ++k) {
            Serial& port = *ports[which[k]];
            Result& r = results[which[k]];
            char buf[512];
            bool boot = false;
            for (int got; (got = port.readPort(buf, sizeof buf)) > 0;) received[which[k]].append(buf, size_t(got));
            if (statusIn(received[which[k]], decode, &r.unit, &boot)) {
                r.outcome = ANSWERED;
                port.closePort();
            } else if (boot) {
                // A boot loader answers no status request.
                r.outcome = BOOT_LOADER;
                port.closePort();
            }
            // A port that went away answers nothing more.
            if (port.isOpen() && (fds[k].revents & (POLLHUP | POLLERR | POLLNVAL))) port.closePort();
        }
    }
    return results;
}
