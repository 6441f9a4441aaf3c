#ifndef LIB_FLU_FLU_FILE_LIST_H
#define LIB_FLU_FLU_FILE_LIST_H

#include <string>
#include <vector>

#include <FL/Fl_Hold_Browser.H>

// The entries of one directory, as a file chooser lists them: "../" (but
// at the root), the subdirectories with a trailing '/', then the files that
// match the pattern, each group in the order people count (file2 before
// file10, capitals among the rest). Hidden entries (a leading '.') are left
// out. Files can be listed greyed: seen, to recognise the directory by, but
// not to be chosen. Selecting a line calls the callback; a double click or
// Return on a line opens it.
class Flu_File_List : public Fl_Hold_Browser {
public:
    Flu_File_List(int x, int y, int w, int h);

    // Lists `dir` (an absolute path). The pattern is FLTK's
    // (fl_filename_match: "*.adn", "{*.bin,*.hex}"); "" or "*" lists all.
    void load(const std::string& dir, const std::string& pattern, bool filesGreyed);

    // The entry on list line `line` (1-based): its name without the '/'.
    std::string name(int line) const;
    bool isDir(int line) const;
    // A directory, or a file not greyed.
    bool choosable(int line) const;
    // The line of the entry called name; 0 when there is none.
    int find(const std::string& name) const;

    // Called for a line opened by a double click or Return: cb(line, data).
    void onOpen(void (*cb)(int line, void* data), void* data)
    {
        _open = cb;
        _openData = data;
    }

    int handle(int event) override;

private:
    struct Entry {
        std::string name;
        bool dir;
        bool greyed;
    };
    const Entry* entry(int line) const;

    std::vector<Entry> _entries;
    void (*_open)(int, void*);
    void* _openData;
};

#endif
