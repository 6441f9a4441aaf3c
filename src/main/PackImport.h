#ifndef MAIN_PACKIMPORT_H
#define MAIN_PACKIMPORT_H

#include <string>

// Brings revision packs into the pack directory: one named on the command
// line, and those an older version kept in RevPacks of the directory it was
// started in. A pack is written beside its place and renamed once whole, so
// a cut copy is never seen; and a stored pack that verifies is never
// replaced by one that does not. What fails is alerted.
class PackImport {
public:
    enum Result {
        PLACED,  // the pack is in the directory now
        SAME,    // the directory already held these very bytes
        KEPT,    // the stored pack verifies, this one not: the stored one stays
        FAILED,  // it could not be read or written
    };

    // Copies the pack file `from` into dir, under its own file name.
    static Result copy(const std::string& from, const std::string& dir);
    // Moves every .rpa/.RPA file of oldDir into dir, in numeric-aware name
    // order; one that cannot be placed stays where it is. Returns how many
    // were moved. Nothing happens when oldDir is dir.
    static int moveOld(const std::string& oldDir, const std::string& dir);

    // Whether a pack file named `name` with these bytes verifies: the
    // checksum its name carries is the bytes' own, and the preferences
    // reader may be given them.
    static bool verifies(const std::string& name, const std::string& bytes);
};

#endif
