#ifndef KORPROG_RUNLOG_RUNEVENTS_H
#define KORPROG_RUNLOG_RUNEVENTS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korprog/runlog/RunFacts.h"

// The events of one unattended run as JSON Lines on a file descriptor
// (standard output in the program): one object per line, each with "event"
// and "time" (JsonLine::isoTime) first, every line in one write(2).
//
// The run ends with exactly one "end" line whatever happens: end() or
// finish() writes it, a later call is ignored, and the destructor writes a
// failed end when neither was called. Nothing is written after the end.
class RunEvents {
public:
    // Wall-clock time for "time", a monotonic clock for durations and the
    // pace of progress lines; both in milliseconds. Tests give their own.
    struct Clock {
        std::function<int64_t()> wallMs;
        std::function<int64_t()> monotonicMs;
    };
    static Clock systemClock();

    // Progress lines: at most one a second, plus one whenever done reaches
    // another tenth of the total.
    static const int64_t PROGRESS_INTERVAL_MS = 1000;

    explicit RunEvents(int fd, Clock clock = systemClock());
    ~RunEvents();
    RunEvents(const RunEvents&) = delete;
    RunEvents& operator=(const RunEvents&) = delete;

    // Every event after start names this port (a run of a production line,
    // whose events are read beside those of runs on other ports).
    void port(const std::string& port) { _port = port; }
    // The run's duration counts from here (or from construction without it).
    void start(const std::string& mode, const std::string& port, const std::vector<std::string>& inputs);
    void unit(const UnitIdentity& identity);
    void backup(const std::string& file);
    // what: "entries" or "bytes". Calls that come too soon are dropped; a
    // new `what` or total starts a new count. eta_s (whole seconds, rounded
    // up) follows from the rate since the first call of the count; null
    // until something moved.
    void progress(int64_t done, int64_t total, const char* what);
    void verify(bool ok, const std::vector<EntryDifference>& differences, const std::string& heldBy = "");
    // result is "ok" for exit code 0, else "failed"; an empty kind or
    // reason is written as null. file (a fetch's only; none leaves the key
    // out): the settings file it wrote, null when it wrote none.
    void end(int exitCode, const std::string& kind, const std::string& reason, double durationS,
             const std::string* file = nullptr);
    // end() with the duration since start().
    void finish(int exitCode, const std::string& kind, const std::string& reason);
    bool ended() const { return _ended; }

private:
    JsonLine event(const char* name) const;
    void write(const JsonLine& line);
    static int tenth(int64_t done, int64_t total);

    int _fd;
    Clock _clock;
    std::string _port;
    int64_t _startMs;
    bool _ended;

    // The current progress count.
    std::string _what;
    int64_t _total;
    int64_t _firstMs;
    int64_t _firstDone;
    int64_t _lastMs;
    int _lastTenth; // -1 before the first line of the count
};

#endif
