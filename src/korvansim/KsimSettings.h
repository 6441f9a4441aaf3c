#ifndef KORVANSIM_KSIMSETTINGS_H
#define KORVANSIM_KSIMSETTINGS_H

#include <string>

#include "korprog/KvprgProtDefs.h"

// The 200 setting entries a simulated unit keeps, in the unit's own form
// (the line form: '/' where the program's texts hold '\'). Read from and
// written to the program's settings file format (.adn): 200 lines of
// text '|' number.
class KsimSettings {
public:
    struct Entry {
        std::string text;
        std::string number;
    };

    // Entry nr (1..200); entries outside that range read as empty.
    const Entry& entry(int nr) const;
    // Stores entry nr, cut to the line's field limits; false when nr is out
    // of range.
    bool set(int nr, const std::string& text, const std::string& number);

    // Replaces all entries by the file's; false (entries unchanged) when it
    // cannot be read.
    bool load(const std::string& path, std::string* error);
    bool save(const std::string& path, std::string* error) const;

private:
    Entry _entries[Kvprg::NR_ENTRIES + 1];
};

#endif
