#ifndef MAIN_LINE_LINEUNIT_H
#define MAIN_LINE_LINEUNIT_H

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "korprog/runlog/RunReport.h"

// One unit of a production line: the run of the program on one port, as a
// child process of the line. What it writes reaches the line's own output
// line by line, each line marked with the port's short name; the events
// it writes on a descriptor of their own (KORPROG_EVENTS_FD) tell the line
// the unit and the outcome, and go to the line's output as they are when
// the line was asked for JSON.
class LineUnit {
public:
    // The descriptor the run writes its events to.
    static const int EVENTS_FD = 3;

    // A line of the run's output: stream 1 or 2 (status text, messages),
    // or 0 for an event.
    typedef std::function<void(const LineUnit& unit, int stream, const std::string& line)> Sink;

    explicit LineUnit(const std::string& port);

    // Starts `exe` with args (args[0] is the program's name) in its own
    // process group, so that only the line passes a signal on to it.
    bool start(const std::string& exe, const std::vector<std::string>& args, std::string* why);
    // The descriptors to wait for input on; empty once the run closed them all.
    std::vector<int> inputs() const;
    // Reads what fd has (one of inputs()) and passes the whole lines on;
    // at its end, the last line too.
    void read(int fd, const Sink& sink);
    // Once every input has ended: waits for the process, and takes its
    // exit code when no end event gave one.
    void reap();
    // Passes a signal on to the run.
    void signal(int sig) const;

    // Takes what an event line tells: the unit's type and IMEI, the
    // outcome.
    void takeEvent(const std::string& line);

    const std::string& port() const { return _port; }
    const std::string& name() const { return _name; }
    pid_t pid() const { return _pid; }
    bool running() const { return _pid > 0 && _exit < 0; }
    // The run's exit code (-1 while it runs); a run ended by a signal or
    // never started counts as 1.
    int exitCode() const { return _exit; }
    const std::string& type() const { return _type; }
    const std::string& imei() const { return _imei; }
    const std::string& reason() const { return _reason; }
    double seconds() const { return _seconds; }

    // For a unit that never ran.
    void failed(const std::string& reason);

    // The run ended (killed) without telling its end: the line tells it on
    // its behalf, in events and in the record.
    bool endedUntold() const { return _exit >= 0 && _signal > 0 && !_told; }
    // The record of such a run, from what its events told: base holds what
    // the line knows of every run (mode, inputs).
    RunReport record(RunReport base) const;

private:
    struct Input {
        int fd;
        int stream;
        std::string partial;
    };

    std::string _port;
    std::string _name;
    pid_t _pid;
    int64_t _startMs;
    int64_t _startWallMs;
    std::vector<Input> _inputs;
    int _exit;
    std::string _type;
    std::string _imei;
    std::string _reason;
    double _seconds;
    int _signal;  // the signal that ended the run; 0 for none
    bool _told;   // its end event came
    std::optional<UnitIdentity> _first, _last;
};

#endif
