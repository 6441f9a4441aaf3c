#ifndef KORVANSIM_KSIMLOG_H
#define KORVANSIM_KSIMLOG_H

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

// The simulator's log: one line per event, stamped with the seconds since
// the start when the event happened.
//
// At first each line is written at once, before the unit's answer goes out,
// so whoever reads the log after an answer finds the line there. A paced
// unit answers on the line's time instead: inBackground() hands the writing
// to a thread of its own, because a write to a file now and then waits for
// the disk (tens of milliseconds while other programs write) and the answer
// would wait with it. Lines keep their order either way, and all of them are
// written before the log is destroyed.
class KsimLog {
public:
    KsimLog(std::FILE* out, int64_t startUs);
    ~KsimLog();
    KsimLog(const KsimLog&) = delete;
    KsimLog& operator=(const KsimLog&) = delete;

    void line(const std::string& text, int64_t nowUs);
    // From now on lines are written by a thread; false when none could be
    // started (they are then still written at once).
    bool inBackground();

private:
    std::string stamped(const std::string& text, int64_t nowUs) const;
    void writeAll();

    std::FILE* _out;
    int64_t _startUs;
    std::mutex _mutex;
    std::condition_variable _wake;
    std::deque<std::string> _queue;
    bool _stop = false;
    std::thread _writer;
};

#endif
