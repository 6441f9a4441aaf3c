#ifndef MAIN_MAINSTARTUP_H
#define MAIN_MAINSTARTUP_H

#include <cstdio>
#include <string>

#include "korprog/RunFailure.h"

// What main() does before, around and after the main loop: the usage text,
// the single-instance lock, the data directories, the command line, the
// user's directory (the working directory from then on), packs brought in,
// and the run itself.
class MainStartup {
public:
    // The whole program; returns the exit code.
    static int run(int argc, char** argv);

    // True (after writing the usage text to `out`) when the only argument
    // contains "help" or is -h.
    static bool usage(int argc, char** argv, FILE* out);
    static void setProgDataDir();
    // Names the pack directory (nameRevpacksDir) and makes it.
    static void setRevpacksDir();
    static void nameRevpacksDir();
    // The single-instance lock, taken before anything is written. 0 when
    // it is ours; else the exit code (2: another instance runs, 1: no lock
    // can be made) with the reason in why.
    static int takeLock(std::string* why);
    // Reads the switches through OptionTable; false, and why, for a command
    // line that cannot be run (an unknown option first, then an option
    // without its value, a pack given with a directory, a port name that
    // cannot be used, a settings file or pack that is there but no regular
    // file or too large).
    // Paths (-program, -bindir, a pack file) are taken relative to the
    // directory the program was started in.
    static bool handleArgs(int argc, char** argv, std::string* why);
    // The pack file named on the command line (as a path); "" when none.
    static const std::string& packArgument() { return _packArgument; }
    // Moves the packs of RevPacks in startDir (where an older version kept
    // them) into the pack directory.
    static void moveOldRevpacksToNewLoc(const std::string& startDir);
    // The window when an X display can be opened; the console for the
    // unattended runs without one (or with KORPROG_HEADLESS set). False,
    // with the reason in why, when an interactive start has no display.
    static bool chooseView(std::string* why);
    // Where every run ends, early or not: tells on err why it failed, ends
    // the unattended run's events and record, and gives the exit code.
    static int endRun(FILE* err);
    // Ends the start with a failure of this kind.
    static int refuse(RunFailure::Kind kind, const std::string& reason);
    // Opens the events and record of a run the command line makes
    // unattended (refused: also one whose start is refused); false, and
    // nothing opened, for the window.
    static bool beginRun(bool refused);
    // -compare FILE -with OTHER: the whole run, without a unit, a port or
    // the program's lock; the exit code.
    static int compareFiles(const char* argv0);
    // Opens the X display for the window; false when there is none.
    static bool openDisplay();

    // The directory part of a program path ("" when there is none).
    static std::string programDir(const char* argv0);

private:
    static std::string _packArgument;
};

#endif
