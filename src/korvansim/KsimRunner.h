#ifndef KORVANSIM_KSIMRUNNER_H
#define KORVANSIM_KSIMRUNNER_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "korvansim/KsimLog.h"
#include "korvansim/KsimOptions.h"
#include "korvansim/KsimPacer.h"
#include "korvansim/KsimPty.h"
#include "korvansim/KsimRx.h"
#include "korvansim/KsimSettings.h"
#include "korvansim/KsimUnit.h"

// The simulator's one loop: moves bytes between the pseudo-terminal and the
// unit (paced when asked), runs the unit's timers and ends on SIGINT,
// SIGTERM or SIGHUP, or when the program has closed the port for good.
// Nothing in it waits on the program: reads and writes never block.
class KsimRunner {
public:
    explicit KsimRunner(const KsimOptions& options);

    // Sets up the terminal, prints its path as the first line of `out` and
    // runs until the end. Returns the exit status.
    int run(std::FILE* out);

    static int64_t nowUs();

private:
    bool setUp(std::FILE* out);
    void log(const std::string& text) const;
    void pump(int64_t now);
    // Everything the program has written so far goes into the input pacer.
    void readInput(int64_t now);
    // Microseconds until something is due; -1 for nothing.
    int64_t waitUs(int64_t now) const;
    // The --unplug-after fault: the terminal goes, and comes back under the link.
    void unplug(int64_t now);
    bool replug(int64_t now);
    // The --rx option: the receiver's answers, and its end told to the unit.
    std::string relayRx(int64_t now);

    // First: the unit logs until the runner is gone.
    mutable KsimLog _log;
    const KsimOptions& _opt;
    KsimSettings _settings;
    KsimUnit _unit;
    KsimPty _pty;
    KsimRx _rx;
    KsimPacer _inPacer;
    KsimPacer _outPacer;
    std::string _pendingWrite;
    bool _open;
    bool _everOpened;
    int64_t _closedSinceUs;
    int64_t _replugAtUs;  // while the terminal is gone: when it comes back; else -1
};

#endif
