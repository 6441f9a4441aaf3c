#ifndef MAIN_MAINSTARTUP_H
#define MAIN_MAINSTARTUP_H

#include <cstdio>
#include <string>

// What main() does before, around and after the main loop: the usage text,
// the data directories, the command line, old packs, and the run itself.
class MainStartup {
public:
    // The whole program; returns the exit code.
    static int run(int argc, char** argv);

    // True (after writing the usage text to `out`) when the only argument
    // contains "help".
    static bool usage(int argc, char** argv, FILE* out);
    static void setProgDataDir();
    static void setRevpacksDir();
    static void handleArgs(int argc, char** argv);
    static void moveOldRevpacksToNewLoc();
    // The window when an X display can be opened; the console for the
    // unattended runs without one (or with KORPROG_HEADLESS set). False,
    // with the reason on err, when an interactive start has no display.
    static bool chooseView(FILE* err);
    // Opens the X display for the window; false when there is none.
    static bool openDisplay();

    // The directory part of a program path ("" when there is none).
    static std::string programDir(const char* argv0);
};

#endif
