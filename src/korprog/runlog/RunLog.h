#ifndef KORPROG_RUNLOG_RUNLOG_H
#define KORPROG_RUNLOG_RUNLOG_H

#include <cstdint>
#include <string>
#include <vector>

#include "korprog/runlog/RunFacts.h"

// What an unattended run tells about itself beyond its status lines: the
// events of -json and the record of -report. The controller tells it what
// happened as it happens; the run's start and end open and close it. In the
// window, and in a run that asked for neither, it writes nothing.
class RunLog {
public:
    // Each time the unit reports itself (before the run's work and again
    // after an upgrade).
    static void unit(const UnitIdentity& identity);
    // The settings saved before an upgrade, by path.
    static void backup(const std::string& file);
    // what: "entries" or "bytes".
    static void progress(int64_t done, int64_t total, const char* what);
    // The read-back after programming: ok, or the entries that differ.
    static void verify(bool ok, const std::vector<EntryDifference>& differences);
};

#endif
