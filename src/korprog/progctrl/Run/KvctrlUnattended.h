#ifndef KORPROG_PROGCTRL_RUN_KVCTRLUNATTENDED_H
#define KORPROG_PROGCTRL_RUN_KVCTRLUNATTENDED_H

#include <string>

#include "korprog/RunFailure.h"

class BState;
class KvctrlRoot;
class RevPackDb;
class SettingBin;

// The command line's unattended runs: programming a settings file
// (-program) and a firmware upgrade (-upgrade). Nobody watches them, so
// input they cannot use is refused before anything goes to the unit, and
// whatever the window would leave waiting for a person ends the program
// with the run's failure (korprog/RunFailure.h).
class KvctrlUnattended {
public:
    // A command-line upgrade is going on. (Whether the run answers for
    // itself is RunMode's question.)
    static bool upgrade();

    // Checks what the command line names; false after failing the run
    // (BadInput) with the reason.
    static bool checkInput(KvctrlRoot* root);
    // A settings file -program takes (AdnFile's strict rule); false with
    // "path: " and the reason in why.
    static bool checkProgramFile(const char* path, std::string* why);

    // From the idle state: selects the pack, prepares the upgrade and starts
    // it through the run's plan (KvctrlRunPlan); what cannot be prepared
    // fails the run.
    static void startUpgrade(KvctrlRoot* root, BState* from);
    // Status lines of -program as its upload starts: settings of another
    // type than the unit's (programmed all the same), and entries of the
    // file the unit has no room for.
    static void programNotes(KvctrlRoot* root);
    // The entries above the unit's count that hold something, as ranges
    // ("151-160, 175"); "" when none.
    static std::string entriesLeftOut(SettingBin* bin, int unitEntries);

    // Loads the command line's image for a unit waiting in its boot loader;
    // marks it chosen (binFileSet) when it was loaded.
    static void loadImage(KvctrlRoot* root);

    // Builds a revision pack from binDir; a failure ends the program with
    // the reason. The file made is named on standard output.
    static bool createRevPack(RevPackDb* db, const char* binDir);

    // Ends the program with the run's failure; the first one is the one
    // told where the run ends.
    static void fail(RunFailure::Kind kind, const std::string& reason);
    static void fail(const RunFailure& failure);
    // Records the signal that ended the run as its failure, if one did
    // (MainSignals::reportUnfinishedRun); fail() asks it first.
    static void (*signalCause)();

private:
    // The reason the command line's upgrade input cannot be used; "" when
    // it can.
    static std::string upgradeInputFault(KvctrlRoot* root);
};

#endif
