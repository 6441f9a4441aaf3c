#include "korprog/progctrl/Forms/FrmConsoleProgress.h"

#include "helm/platform/BTimerTick.h"
#include "korprog/KvprgProtDefs.h"

void FrmConsoleProgress::sent(int bytePtr, int nrBytes)
{
    if (!_out || nrBytes <= 0) return;
    const BTickType now = bTimerTick();
    // A resend goes back at most to the start of its segment: a first
    // packet after more than a segment sent is a new transfer.
    const bool newTransfer =
        nrBytes != _nrBytes || (bytePtr <= Kvprg::PACKET_DATA_SIZE && _lastBytePtr > Kvprg::SEGMENT_SIZE);
    if (!_started || newTransfer) {
        // The clock starts with the first packet; its own time is not known.
        _started = true;
        _startTick = now;
        _nrBytes = nrBytes;
        _nextTenth = 1;
    }
    _lastBytePtr = bytePtr;
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
