#ifndef KORPROG_PROGCTRL_DATA_ADNFILE_H
#define KORPROG_PROGCTRL_DATA_ADNFILE_H

#include <string>
#include <vector>

class SettingBin;

// The settings file (.adn): one line per entry 1..200, "text|number" and
// LF, no header, no escaping. Reading, checking and writing live here
// together so that what is written is what is read back.
//
// Two rules read it. The window's (TOLERANT) takes what a person opens as
// far as it goes: a line without '|' is all text, parts longer than their
// fields are cut, lines past 200 are left, a double quote is dropped with an
// alert. The unattended run's (STRICT) is what nobody watches: it refuses
// every file the tolerant rule would have to change, before anything goes
// to the unit. Both refuse what cannot be read as text at all.
class AdnFile {
public:
    static constexpr int LINES = 200;
    // The longest line STRICT takes (without its CR).
    static constexpr int MAX_LINE = 80;

    enum Rule { TOLERANT, STRICT };
    enum Result { LOADED, CANNOT_OPEN, NOT_SETTINGS };

    // One line, split into its parts as they are stored.
    struct Line {
        std::string text, number;
        bool quoted = false;  // a double quote was dropped
    };

    // Reads and checks the whole file without storing it anywhere. Unless
    // LOADED, why says what is wrong (without the path): the file could not
    // be opened as a plain file (CANNOT_OPEN) or is not a settings file by
    // the rule (NOT_SETTINGS).
    static Result read(const std::string& path, Rule rule, std::vector<Line>* lines, std::string* why);
    // Why character c cannot stand in a text (or a number) part by the
    // strict rule ("holds a '\"', which no setting can carry"); "" when it can.
    static std::string characterFault(char c, bool number);
    // Reads path by the rule and, only when that succeeded, replaces the
    // bin's entries with it (10 and 20 keep what they held when the file
    // has no such line) and makes it the bin's file. A refused file leaves
    // the bin as it was.
    static Result load(SettingBin& bin, const std::string& path, Rule rule, std::string* why);

    // Writes lines to path whole or not at all (what was there stays);
    // false, and the errno in error, when it could not.
    static bool write(const std::string& path, const std::vector<Line>& lines, int* error);
    // The lines a save writes of the bin's entries: all of them, without
    // the unit's own IMEI and IMSI numbers.
    static std::vector<Line> linesOf(SettingBin& bin);
    // Writes the bin's entries (linesOf) to its file whole or not at all
    // (the previous file stays). A failure is alerted; false then.
    static bool save(SettingBin& bin);
    // The alert for a settings file that could not be written.
    static void saveAlert(const char* path);

private:
    static void store(SettingBin& bin, const Line& line, int k);
};

#endif
