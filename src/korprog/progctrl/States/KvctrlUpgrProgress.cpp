#include "korprog/progctrl/States/KvctrlUpgrProgress.h"

#include "helm/platform/BTimerTick.h"

void KvctrlUpgrProgress::sent(int bytePtr, int nrBytes)
{
    if (!_out || nrBytes <= 0) return;
    const BTickType now = bTimerTick();
    if (!_started) {
        // The clock starts with the first packet; its own time is not known.
        _started = true;
        _startTick = now;
    }
    const int percent = static_cast<int>(static_cast<long long>(bytePtr) * 100 / nrBytes);
    if (percent < _nextTenth * 10) return;
    _nextTenth = percent / 10 + 1;
    const long long elapsedMs = static_cast<long long>(now - _startTick) * 10;
    if (elapsedMs > 0 && bytePtr < nrBytes) {
        const long long leftS = (elapsedMs * (nrBytes - bytePtr) / bytePtr + 999) / 1000;
        std::fprintf(_out, "Upgrading %d%% ready: %d of %d bytes sent, about %lld s left\n", percent, bytePtr, nrBytes,
                     leftS);
    } else {
        std::fprintf(_out, "Upgrading %d%% ready: %d of %d bytes sent\n", percent, bytePtr, nrBytes);
    }
    std::fflush(_out);
}
