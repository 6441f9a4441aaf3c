#ifndef KORPROG_PROGCTRL_DATA_RPFILE_H
#define KORPROG_PROGCTRL_DATA_RPFILE_H

#include <cstdio>
#include <string>

class Fl_Preferences;

// One revision-pack file (dir/name.rpa), held as an FLTK preferences
// database. FLTK 1.3 only reads and writes dir/application.prefs, so the
// database lives in a private staging directory (in the per-user runtime
// directory, named after the process) as name.prefs. Opening reads the
// pack with RPFileCheck, not with FLTK's reader, and fills the database
// from what it read; only a pack that was changed through this object is
// written back, whole or not at all. Reading a pack thus never rewrites
// it, and its checksum stays valid.
class RPFile {
public:
    static const char* const VENDOR;     // "RevPacks"
    static const char* const EXTENSION;  // ".rpa"
    // The name becomes a file name in the staging directory as well.
    static constexpr size_t MAX_NAME = 200;

    RPFile();
    ~RPFile();

    // Opens dir/name followed by extension (".rpa", or ".RPA" for a pack
    // listed so). A missing file opens empty; a file that cannot be read or
    // that RPFileCheck refuses is reported and opens empty too. False only
    // when no database could be set up (name too long or empty, staging
    // directory not available).
    bool open(const std::string& dir, const std::string& name, const char* extension = EXTENSION);
    // A database read from bytes, with no file behind it: flush() writes
    // nothing. False, with why saying what is wrong, when RPFileCheck
    // refuses the bytes or no database could be set up.
    bool openBytes(const std::string& bytes, const std::string& name, std::string* why);
    bool isOpen() const { return _prefs != nullptr; }
    // Why the last open() found a file it could not take ("" when none).
    const std::string& fault() const { return _fault; }
    // Whether an existing file was read into the database.
    bool wasRead() const { return _wasRead; }
    // The root group; null while closed.
    Fl_Preferences* root() const { return _prefs; }
    // Every write through root() must be announced here.
    void changed() { _changed = true; }
    // Writes the pack when it changed; false when writing failed, with the
    // errno in writeError().
    bool flush();
    int writeError() const { return _writeError; }
    // Writes the pack when it changed, then drops the database.
    void close();

    // The database as the file it would be written as.
    std::string text() const;

    // The whole content of a regular file; false for anything that cannot
    // be read as one (missing, a directory, a device, a read error, more
    // than maxBytes), with why (when not null) saying which.
    static bool readFile(const std::string& path, std::string& out, std::string* why = nullptr,
                         size_t maxBytes = static_cast<size_t>(-1));

    // Staging directories of processes that ended without closing their
    // packs (killed) are removed; those of live processes stay. Run at start.
    // Returns how many were removed.
    static int removeStaleStaging();

    // The value of an entry as stored (escaped text, hex, a number); null
    // when the group has no such entry.
    static const char* rawValue(const Fl_Preferences& group, const char* key);

    // Removes one entry of a group. FLTK 1.3's own deleteEntry drops the
    // entry without freeing its name and value.
    static bool deleteEntry(Fl_Preferences& group, const char* key);

    const std::string& path() const { return _path; }
    const std::string& dir() const { return _dir; }
    const std::string& name() const { return _name; }

private:
    RPFile(const RPFile&) = delete;
    RPFile& operator=(const RPFile&) = delete;

    bool setUp(const std::string& dir, const std::string& name, const char* extension);
    bool load(const std::string& bytes, std::string* why);
    void writeTo(FILE* f) const;
    bool writePack();

    Fl_Preferences* _prefs;
    std::string _dir, _name, _path, _stageDir;
    std::string _fault;
    int _writeError = 0;
    bool _changed;
    bool _wasRead;
};

#endif
