#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUNATTENDED_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUNATTENDED_H

#include <string>

class BState;
class KvctrlRoot;
class RevPackDb;
class SettingBin;

// The command line's unattended runs: programming a settings file
// (-program) and a firmware upgrade (-upgrade). Nobody watches them, so
// input they cannot use is refused before anything goes to the unit, and
// whatever the window would leave waiting for a person ends the program
// with a reason on standard error and a non-zero exit code.
class KvctrlUnattended {
public:
    // An unattended run is going on.
    static bool active();
    // A command-line upgrade is going on.
    static bool upgrade();

    // Checks what the command line names; false with the reason in why.
    static bool checkInput(KvctrlRoot* root, std::string* why);
    // A settings file -program takes (AdnFile's strict rule); false with
    // "path: " and the reason in why.
    static bool checkProgramFile(const char* path, std::string* why);
    static bool checkUpgradeInput(KvctrlRoot* root, std::string* why);

    // From the idle state: loads pack and image, checks the image against
    // the unit, and posts the request that starts the upgrade (or the
    // settings the image carries, which go first).
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

    // Ends the program: "korprog: " and the reason on standard error, exit
    // code 1 unless one is set already. Only the first failure is told.
    static void fail(const std::string& reason);
    static bool failed() { return _failed; }
    // Forgets an earlier failure (tests run several programs in one).
    static void reset() { _failed = false; }

private:
    static bool _failed;
};

#endif
