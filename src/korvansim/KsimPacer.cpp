#include "korvansim/KsimPacer.h"

#include <algorithm>

KsimPacer::KsimPacer(int baud) : _byteUs(baud > 0 ? 10000000LL / baud : 0), _frontDueUs(0), _lineFreeUs(0) {}

void KsimPacer::push(const std::string& bytes, int64_t nowUs)
{
    if (bytes.empty()) return;
    if (_queue.empty()) _frontDueUs = std::max(nowUs, _lineFreeUs) + _byteUs;
    _queue.insert(_queue.end(), bytes.begin(), bytes.end());
}

std::string KsimPacer::take(int64_t nowUs)
{
    std::string out;
    while (!_queue.empty() && _frontDueUs <= nowUs) {
        out += _queue.front();
        _queue.pop_front();
        _lineFreeUs = _frontDueUs;
        _frontDueUs += _byteUs;
    }
    return out;
}
