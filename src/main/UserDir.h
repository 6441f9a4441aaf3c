#ifndef MAIN_USERDIR_H
#define MAIN_USERDIR_H

#include <string>

// The user's own directory of the program: preferences, language choice,
// editor layout, help pages and logo, revision packs and the restrictions
// file, the settings a pack carries and the trace files. The program runs in
// it, so all of these are opened by bare name. It is made on first start
// from the installed defaults; a file the user already has is never replaced.
class UserDir {
public:
    // <application-data directory>/Ombrix/Korvan Tools/Programmer: the
    // directory that holds the revision-pack directory.
    static std::string path();

    // The installed defaults: <directory of exe>/../share/korprog, else the
    // data directory of the source tree this program was built from; "" when
    // neither holds them.
    static std::string installedData(const std::string& exe);

    // The running program's file (from /proc, else argv0 made absolute).
    static std::string executable(const char* argv0);

    // Copies every file below `from` that is missing below `to`, directories
    // included, leaving out the desktop's files (the icons and the menu
    // entry, which belong to the system). Returns how many files were copied;
    // -1 (and why) when one could not be.
    static int copyMissing(const std::string& from, const std::string& to, std::string* why);

    // Makes the directory, removes what a killed run left under way, fills
    // in what is missing from the defaults found next to `exe` and makes it
    // the working directory. False (and why) when
    // the directory cannot be made or entered; true with a note in why when
    // the defaults were not found or not all of them could be copied.
    static bool enter(const std::string& exe, std::string* why);
    // Removes what a killed run left of files under way (AtomicFile) in dir
    // and the directories in it; enter() does so first. Returns how many.
    static int removeLeftovers(const std::string& dir);
    // Makes the directory the working directory when it is there, making
    // and writing nothing: modes that only tell something (-list-ports,
    // -doctor, a production line's summary) read the user's language from
    // it. Without it they speak Dutch.
    static void visit();
};

#endif
