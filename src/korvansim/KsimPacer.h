#ifndef KORVANSIM_KSIMPACER_H
#define KORVANSIM_KSIMPACER_H

#include <cstdint>
#include <deque>
#include <string>

// Lets bytes through no faster than a serial line of the given rate would
// (10 bit times per byte: start, 8 data, stop). A rate of 0 lets every byte
// through at once. Times are microseconds of a monotonic clock.
class KsimPacer {
public:
    explicit KsimPacer(int baud);

    void push(const std::string& bytes, int64_t nowUs);
    // The bytes whose time has come, in order.
    std::string take(int64_t nowUs);
    // When the next byte is due; -1 when none waits.
    int64_t nextDue() const { return _queue.empty() ? -1 : _frontDueUs; }
    bool empty() const { return _queue.empty(); }
    void clear() { _queue.clear(); }

private:
    int64_t _byteUs;
    std::deque<char> _queue;
    int64_t _frontDueUs; // when the byte at the front has been on the line
    int64_t _lineFreeUs; // when the last byte taken was done
};

#endif
