#include "korprog/progctrl/Forms/FrmConsoleProgress.h"

#include <string>

#include "helm/platform/BTimerTick.h"
#include "korprog/KvprgProtDefs.h"

namespace {
// A line in place is rewritten at most this often (ticks of 10 ms).
const BTickType IN_PLACE_TICKS = 10;
}

void FrmConsoleProgress::sent(int bytePtr, int nrBytes)
{
    if (!_out || nrBytes <= 0 || _style == StatusOut::QUIET) return;
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
    const bool tenth = percent >= _nextTenth * 10;
    if (tenth) _nextTenth = percent / 10 + 1;
    const bool inPlace = _style == StatusOut::IN_PLACE;
    if (!tenth && !(inPlace && now - _shownTick >= IN_PLACE_TICKS)) return;
    _shownTick = now;
    char text[160];
    const long long elapsedMs = static_cast<long long>(now - _startTick) * 10;
    if (elapsedMs > 0 && bytePtr < nrBytes) {
        const long long leftS = (elapsedMs * (nrBytes - bytePtr) / bytePtr + 999) / 1000;
        std::snprintf(text, sizeof text, "Upgrading %d%% ready: %d of %d bytes sent, about %lld s left", percent,
                      bytePtr, nrBytes, leftS);
    } else {
        std::snprintf(text, sizeof text, "Upgrading %d%% ready: %d of %d bytes sent", percent, bytePtr, nrBytes);
    }
    if (inPlace)
        StatusOut::show(_out, _style, text);
    else
        StatusOut::line(_out, text);
}
