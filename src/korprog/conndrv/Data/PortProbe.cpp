#include "korprog/conndrv/Data/PortProbe.h"

#include <poll.h>

#include <memory>

#include "helm/platform/BTimerTick.h"
#include "korprog/KvprgFrame.h"
#include "korprog/conndrv/Data/FrameReceiver.h"

namespace {

// What a probe looks for among the messages a port sent: the first status
// record, or a boot loader's request.
class Answer : public FrameReceiver::Sink {
public:
    Answer(const PortProbe::StatusDecoder& decode, UnitIdentity* unit) : _decode(decode), _unit(unit) {}
    void lone(uint8_t byte) override
    {
        if (byte == Kvprg::BOOTLOAD_REQ_BYTE) bootLoader = true;
    }
    bool frame(const signed char* bytes, int size) override
    {
        using namespace Kvprg;
        const uint8_t* f = reinterpret_cast<const uint8_t*>(bytes);
        if (status || !KvprgFrame(f, size).isWellFormed()) return true;
        if (f[FRAME_TYPE_OFS] == MSG_STATUS_INFO && _decode(f, size, _unit)) status = true;
        else if (f[FRAME_TYPE_OFS] == MSG_BOOTLOAD_REQ) bootLoader = true;
        return true;
    }
    bool status = false;
    bool bootLoader = false;

private:
    const PortProbe::StatusDecoder& _decode;
    UnitIdentity* _unit;
};

}  // namespace

std::vector<PortProbe::Result> PortProbe::probe(const std::vector<std::string>& devices, const StatusDecoder& decode,
                                                 int timeoutMs)
{
    const size_t n = devices.size();
    std::vector<Result> results(n);
    std::vector<std::unique_ptr<Serial>> ports(n);
    std::vector<std::unique_ptr<FrameReceiver>> receivers(n);
    KvprgFrame request;
    request.request(Kvprg::MSG_STATUS_REQ);
    for (size_t i = 0; i < n; ++i) {
        ports[i].reset(new Serial());
        receivers[i].reset(new FrameReceiver());
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
            Answer answer(decode, &r.unit);
            receivers[which[k]]->receive([&port](char* buf, int max) { return port.readPort(buf, max); }, answer);
            if (answer.status) {
                r.outcome = ANSWERED;
                port.closePort();
            } else if (answer.bootLoader) {
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
