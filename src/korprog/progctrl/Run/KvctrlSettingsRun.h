#ifndef KORPROG_PROGCTRL_RUN_KVCTRLSETTINGSRUN_H
#define KORPROG_PROGCTRL_RUN_KVCTRLSETTINGSRUN_H

#include <string>
#include <vector>

#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/runlog/RunFacts.h"

class BState;
class KvctrlRoot;
class SettingBin;

// The unattended runs that only read the unit's settings: -fetch FILE
// writes them to FILE as "Opslaan" after "Ophalen" would, -compare FILE
// compares them with FILE by the read-back's rule, and -compare FILE -with
// OTHER compares two files without a unit. Nothing but the requests of a
// fetch goes to the unit. The fetch is one step of the run's plan
// (KvctrlRunPlan::startFetch); its end comes here (conclude) and ends the
// run.
class KvctrlSettingsRun {
public:
    // The command line's switches; the files "" when not given. FETCH and
    // COMPARE also say which run a refused command line was.
    static bool FETCH;
    static bool COMPARE;
    static const char* FETCH_FILE;
    static const char* COMPARE_FILE;
    static const char* WITH_FILE;

    // A run that fetches from the unit (-fetch, or -compare without -with).
    static bool withUnit();
    // -compare FILE -with OTHER: two files, no unit.
    static bool comparesFiles();

    // Why the command line's choice of runs cannot be made ("" when it can):
    // one run at a time, -with only beside -compare.
    static std::string commandLineFault();
    // Why the inputs cannot be used, before the unit is asked anything: a
    // file to compare that -program would refuse, a file to fetch into that
    // can be none (a directory, a missing directory). "" when they can.
    static std::string inputFault();

    // The fetch's FILE with {port}, {imei} and {type} filled in ("noimei"
    // and "notype" for what the unit left empty; characters a file name
    // cannot hold become '_').
    static std::string fileFor(const std::string& pattern, const std::string& port, const std::string& imei,
                               const std::string& type);
    // Whether a fetch's FILE names each unit's own file on a line of
    // several ports: {port} or {imei} in it.
    static bool namesEachUnit(const std::string& pattern);

    // From the idle state: for -compare the file goes into the setting bin
    // (as -program reads it), then the run's plan fetches.
    static void start(KvctrlRoot* root, BState* from);
    // The fetch ended (complete: the unit sent its end): the file written
    // or the settings compared, and the run ends either way.
    static void conclude(KvctrlRoot* root, const std::vector<AdnFile::Line>& fetched, const std::vector<bool>& got,
                         bool complete);

    // -compare FILE -with OTHER, whole: the differences told, the run's
    // failure recorded when they differ or a file cannot be used.
    static void compareFiles();

    // One difference as a line for a person: "entry 12 (Naam 1):
    // the unit holds 'abc', the file 'abd'"; with -with the files by name.
    static std::string told(const EntryDifference& d, const std::string& heldBy, const std::string& file);

    // Forgets the switches (tests run several programs in one process).
    static void reset();

private:
    static void concludeFetch(KvctrlRoot* root, const std::vector<AdnFile::Line>& fetched,
                              const std::vector<bool>& got);
    static void concludeCompare(KvctrlRoot* root, const std::vector<AdnFile::Line>& fetched,
                                const std::vector<bool>& got);
    // Names every difference's field by the layout table for the given
    // settings type, tells them and records the outcome; true when none.
    // heldBy: "unit", or "with" for -with's file.
    static bool tell(std::vector<EntryDifference>& differences, const char* type, const char* special,
                     const std::string& heldBy);
};

#endif
