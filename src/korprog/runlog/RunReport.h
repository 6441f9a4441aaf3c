#ifndef KORPROG_RUNLOG_RUNREPORT_H
#define KORPROG_RUNLOG_RUNREPORT_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "korprog/runlog/RunFacts.h"

// The record of one run on one unit, gathered while the run goes and then
// appended as one JSON line to the report file that many runs (in parallel,
// on several ports) share. Empty texts and unset parts are written as null.
class RunReport {
public:
    int64_t startedMs = 0; // wall clock, milliseconds since the epoch
    int64_t endedMs = 0;
    std::string port;
    std::string mode;
    std::optional<UnitIdentity> before; // as the unit reported itself at the start
    std::optional<UnitIdentity> after;  // and at the end
    std::string settingsFile;
    std::string settingsSha256;
    std::string valuesFile;  // -values: the table the unit's own values came from
    int valuesRow = 0;       // and their row; 0: none
    std::string pack;
    std::string packSha256;
    std::string image;
    std::string imageSha256;
    std::string backupFile;
    std::optional<bool> verifyOk; // unset: no read-back in this run
    std::vector<EntryDifference> differences;
    std::string verifyHeldBy; // a comparison's: what the file was compared with (EntryDifference::verdict)
    int exitCode = 1;
    std::string kind;
    std::string reason;
    double durationS = 0;

    // The record as one JSON object and "\n"; "result" is "ok" for exit
    // code 0, else "failed".
    std::string line() const;

    // Appends line() to the file (made with mode 0644 when missing) in one
    // write(2) on a descriptor opened for appending, then syncs it, so that
    // records of runs in parallel never mix. A file whose last line was cut
    // short (a disk that was full) gets a line end first, so this record
    // stays a line of its own (runs hold an flock(2) on the file for that). False, with the system's reason in *error,
    // when the record is not safely in the file.
    // On a failed write the file is put back to its length before it.
    bool append(const std::string& path, std::string* error) const;

    // Whether a record can go to path, looked at before the run starts: a
    // regular file we may write (made when missing, in a directory that
    // takes it), not a link to another user's file. False, with why.
    static bool usable(const std::string& path, std::string* error);
};

#endif
