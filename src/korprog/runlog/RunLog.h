#ifndef KORPROG_RUNLOG_RUNLOG_H
#define KORPROG_RUNLOG_RUNLOG_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "korprog/runlog/RunFacts.h"

// What an unattended run tells about itself beyond its status lines: the
// events of -json and the record of -report. The controller tells it what
// happened as it happens; the run's start and end open and close it. In the
// window, and in a run that asked for neither, it writes nothing.
class RunLog {
public:
    // The environment variable by which a production line gives each of its
    // runs the descriptor to write its events to.
    static const char* const EVENTS_FD_VARIABLE;

    // The unattended run starts: mode "program", "upgrade", "fetch",
    // "compare" or "create_pack"; inputs as the command line names them.
    // The report's settings file or pack are taken from here, with their
    // digests. Events go to fd with -json; to the production line's
    // descriptor (EVENTS_FD_VARIABLE) in a run of a line. With -port every
    // event names the port.
    static void begin(const std::string& mode, const std::vector<std::string>& inputs, int fd = 1);
    // Whether the -report file can take a record, asked before the unit is:
    // false with why ("cannot write the report FILE: reason"), and the run
    // then writes no record.
    static bool reportUsable(std::string* why);
    // The production line's descriptor for events; -1 when this run is none of a line's.
    static int lineEventsFd();
    // Whether begin() was called: the run answers for itself, also after it
    // has cleared the switches that made it so.
    static bool begun();
    // The COM port the run opens.
    static void port(const std::string& port);
    // A settings file or a pack the run uses, recorded with its SHA-256
    // (digest: false for one refused as no input, recorded without).
    static void settingsFile(const std::string& path, bool digest = true);
    static void pack(const std::string& path, bool digest = true);
    // The values table of a batch and the row of it taken for this unit (0 while none).
    static void values(const std::string& path, int row);
    // The image sent, by name, with the digest of its bytes as the pack holds them.
    static void image(const std::string& name, const uint8_t* data, int nrBytes);

    // Each time the unit reports itself (before the run's work and again
    // after an upgrade). The same identity twice in a row is told once.
    static void unit(const UnitIdentity& identity);
    // The settings saved before an upgrade, by path.
    static void backup(const std::string& file);
    // what: "entries" or "bytes".
    static void progress(int64_t done, int64_t total, const char* what);
    // The read-back after programming: ok, or the entries that differ; of
    // a comparison (-compare), heldBy names what the file was compared with.
    static void verify(bool ok, const std::vector<EntryDifference>& differences, const std::string& heldBy = "");
    // The settings file a fetch wrote: the record's settings file, with the
    // digest of what was written, and the end event's "file".
    static void written(const std::string& path);

    // The run ends with exitCode and its failure's kind and reason ("" when
    // it went well): the record, then the end line. A record that cannot be
    // written turns a run that went well into exit code 1 (kind "other"),
    // said on err. Returns the exit code to end with.
    static int end(int exitCode, const std::string& kind, const std::string& reason, FILE* err);

    // Where status lines for people go: standard error when standard output
    // carries the events, else standard output.
    static FILE* statusOut();

    // Forgets the run (tests run several in one process).
    static void reset();
};

#endif
