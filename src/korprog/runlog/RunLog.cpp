#include "korprog/runlog/RunLog.h"

#include <fcntl.h>

#include <cstdlib>
#include <memory>

#include "helm/platform/BTimerTick.h"
#include "korprog/runlog/RunEvents.h"
#include "korprog/runlog/RunOptions.h"
#include "korprog/runlog/RunReport.h"
#include "korprog/runlog/Sha256.h"
#include "korprog/runlog/StatusOut.h"

const char* const RunLog::EVENTS_FD_VARIABLE = "KORPROG_EVENTS_FD";

namespace {

struct Run {
    bool begun = false;
    std::unique_ptr<RunEvents> events;
    bool startWritten = false;
    std::vector<std::string> inputs;
    int64_t startMs = 0; // monotonic
    int nrUnits = 0;
    UnitIdentity lastUnit;
    std::string written; // the file a fetch wrote
    RunReport report;
};

Run& theRun()
{
    static Run run;
    return run;
}

bool same(const UnitIdentity& a, const UnitIdentity& b)
{
    return a.type == b.type && a.software == b.software && a.special == b.special && a.hardware == b.hardware &&
           a.imei == b.imei;
}

std::string digestOf(const std::string& path)
{
    std::string hex, error;
    return Sha256::ofFile(path, &hex, &error) ? hex : std::string();
}

// The start line goes out with the first event after it, once the port is
// known; a run refused before that still gets one.
RunEvents* events()
{
    Run& r = theRun();
    if (!r.events) return nullptr;
    if (!r.startWritten) {
        r.startWritten = true;
        r.events->start(r.report.mode, r.report.port, r.inputs);
    }
    return r.events.get();
}

std::string fileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The line that tells a person a run went well: what went into which unit.
std::string resultLine(const RunReport& rec, const std::vector<std::string>& inputs)
{
    const UnitIdentity unit = rec.after ? *rec.after : rec.before ? *rec.before : UnitIdentity();
    std::string onUnit = unit.type.empty() ? "the unit" : unit.type;
    if (!unit.imei.empty()) onUnit += " (IMEI " + unit.imei + ")";
    std::string text = "korprog: done: ";
    if (rec.mode == "upgrade") {
        text += (rec.image.empty() ? std::string("the image") : rec.image) + " installed on " + onUnit;
        if (!unit.software.empty()) text += ", software " + unit.software;
    } else if (rec.mode == "fetch") {
        text += "the settings of " + onUnit + " written to " + rec.settingsFile;
    } else if (rec.mode == "compare" && inputs.size() > 1) {
        text += fileName(inputs[0]) + " and " + fileName(inputs[1]) + " hold the same settings";
    } else if (rec.mode == "compare") {
        text += onUnit + " holds the settings of " + fileName(rec.settingsFile);
    } else {
        text += rec.settingsFile.empty() ? std::string("the settings") : rec.settingsFile;
        if (rec.valuesRow > 0) text += " with row " + std::to_string(rec.valuesRow) + " of " + rec.valuesFile;
        text += " programmed into " + onUnit;
    }
    if (rec.verifyOk && *rec.verifyOk && rec.mode != "compare") text += ", verified";
    char took[32];
    std::snprintf(took, sizeof took, ", in %.1f s", rec.durationS);
    return text + took;
}

} // namespace

void RunLog::begin(const std::string& mode, const std::vector<std::string>& inputs, int fd)
{
    reset();
    Run& r = theRun();
    r.begun = true;
    r.inputs = inputs;
    r.startMs = bMonotonicMs();
    r.report.startedMs = JsonLine::wallClockMs();
    r.report.mode = mode;
    // A run of a production line writes its events for the line to read,
    // whether or not -json asked for them.
    const int lineFd = lineEventsFd();
    if (lineFd >= 0)
        r.events.reset(new RunEvents(lineFd));
    else if (RunOptions::JSON)
        r.events.reset(new RunEvents(fd));
    if (r.events && *RunOptions::PORT) r.events->port(RunOptions::PORT);
}

bool RunLog::reportUsable(std::string* why)
{
    std::string reason;
    if (!*RunOptions::REPORT || RunReport::usable(RunOptions::REPORT, &reason)) return true;
    if (why) *why = std::string("cannot write the report ") + RunOptions::REPORT + ": " + reason;
    RunOptions::REPORT = "";
    return false;
}

int RunLog::lineEventsFd()
{
    const char* text = std::getenv(EVENTS_FD_VARIABLE);
    if (!text || !*text) return -1;
    char* end = nullptr;
    const long fd = std::strtol(text, &end, 10);
    return *end == '\0' && fd > 2 && fd < 1024 && ::fcntl(static_cast<int>(fd), F_GETFD) != -1 ? static_cast<int>(fd)
                                                                                                  : -1;
}

bool RunLog::begun() { return theRun().begun; }

void RunLog::port(const std::string& port)
{
    Run& r = theRun();
    if (r.begun && !r.startWritten) r.report.port = port;
}

void RunLog::settingsFile(const std::string& path, bool digest)
{
    Run& r = theRun();
    if (!r.begun) return;
    r.report.settingsFile = path;
    r.report.settingsSha256 = digest ? digestOf(path) : std::string();
}

void RunLog::values(const std::string& path, int row)
{
    Run& r = theRun();
    if (!r.begun) return;
    r.report.valuesFile = path;
    r.report.valuesRow = row;
}

void RunLog::pack(const std::string& path, bool digest)
{
    Run& r = theRun();
    if (!r.begun) return;
    r.report.pack = path;
    r.report.packSha256 = digest ? digestOf(path) : std::string();
}

void RunLog::image(const std::string& name, const uint8_t* data, int nrBytes)
{
    Run& r = theRun();
    if (!r.begun) return;
    r.report.image = name;
    r.report.imageSha256 = data && nrBytes > 0 ? Sha256::ofBytes(data, static_cast<size_t>(nrBytes)) : "";
}

void RunLog::unit(const UnitIdentity& identity)
{
    Run& r = theRun();
    if (!r.begun || (r.nrUnits > 0 && same(identity, r.lastUnit))) return;
    if (r.nrUnits++ == 0) r.report.before = identity;
    r.lastUnit = identity;
    if (RunEvents* e = events()) e->unit(identity);
}

void RunLog::backup(const std::string& file)
{
    Run& r = theRun();
    if (!r.begun) return;
    r.report.backupFile = file;
    if (RunEvents* e = events()) e->backup(file);
}

void RunLog::progress(int64_t done, int64_t total, const char* what)
{
    if (RunEvents* e = events()) e->progress(done, total, what);
}

void RunLog::verify(bool ok, const std::vector<EntryDifference>& differences, const std::string& heldBy)
{
    Run& r = theRun();
    if (!r.begun) return;
    r.report.verifyOk = ok;
    r.report.differences = differences;
    r.report.verifyHeldBy = heldBy;
    if (RunEvents* e = events()) e->verify(ok, differences, heldBy);
}

void RunLog::written(const std::string& path)
{
    Run& r = theRun();
    if (!r.begun) return;
    r.written = path;
    settingsFile(path);
}

int RunLog::end(int exitCode, const std::string& kind, const std::string& reason, FILE* err)
{
    Run& r = theRun();
    if (!r.begun) return exitCode;
    RunReport& rec = r.report;
    rec.endedMs = JsonLine::wallClockMs();
    rec.durationS = static_cast<double>(bMonotonicMs() - r.startMs) / 1000.0;
    if (r.nrUnits > 0) rec.after = r.lastUnit;
    rec.exitCode = exitCode;
    rec.kind = kind;
    rec.reason = reason;
    std::string why;
    if (*RunOptions::REPORT && !rec.append(RunOptions::REPORT, &why)) {
        StatusOut::endInPlace();
        // The unit's work is done; only its record is missing, and a script
        // that relies on the record must not take the run as complete.
        const std::string text = std::string("cannot write the report ") + RunOptions::REPORT + ": " + why;
        std::fprintf(err, "korprog: %s\n", text.c_str());
        std::fflush(err);
        if (exitCode == 0) {
            exitCode = 1;
            rec.kind = "other";
            rec.reason = text;
        }
    }
    if (RunEvents* e = events())
        e->end(exitCode, rec.kind, rec.reason, rec.durationS, rec.mode == "fetch" ? &r.written : nullptr);
    // A pack built tells its own result; the events tell it with -json.
    if (exitCode == 0 && !RunOptions::JSON && rec.mode != "create_pack")
        StatusOut::line(statusOut(), resultLine(rec, r.inputs), true);
    r.begun = false;
    return exitCode;
}

FILE* RunLog::statusOut() { return RunOptions::JSON ? stderr : stdout; }

void RunLog::reset()
{
    Run& r = theRun();
    r.events.reset();
    r = Run();
}
