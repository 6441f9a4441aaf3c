#include "lib/Flu/Flu_File_Chooser.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/filename.H>

namespace {

// An absolute path without a trailing "/" or "/." (the root stays "/").
std::string plainPath(const char* p)
{
    char abs[FL_PATH_MAX];
    fl_filename_absolute(abs, sizeof abs, p);
    std::string s = abs;
    for (;;) {
        if (s.size() > 2 && s.compare(s.size() - 2, 2, "/.") == 0) {
            s.erase(s.size() - 2);
        } else if (s.size() > 1 && s.back() == '/') {
            s.pop_back();
        } else {
            return s;
        }
    }
}

}  // namespace

std::string Flu_File_Chooser::choose(Kind kind, const char* message, const char* pattern, const char* start)
{
    const int type = kind == EXISTING_FILE ? Fl_File_Chooser::SINGLE
                     : kind == SAVE_FILE   ? Fl_File_Chooser::CREATE
                                           : Fl_File_Chooser::DIRECTORY | Fl_File_Chooser::CREATE;
    if (!pattern || !*pattern) pattern = "*";
    if (!start) start = "";

    // The directory to open: that of the start name, else the working one.
    std::string dir = plainPath(*start ? start : "."), name;
    if (!fl_filename_isdir(dir.c_str())) {
        name = fl_filename_name(dir.c_str());
        dir = plainPath(dir.substr(0, dir.size() - name.size()).c_str());
        if (!fl_filename_isdir(dir.c_str())) dir = plainPath(".");
    }

    // A dialog of its own, never a child of a group being built.
    Fl_Group* building = Fl_Group::current();
    Fl_Group::current(nullptr);
    Fl_File_Chooser chooser(dir.c_str(), pattern, type, message ? message : "");
    Fl_Group::current(building);
    // The name (for a directory, the directory itself) fills the name field.
    if (!name.empty() || kind == DIRECTORY) chooser.value((name.empty() ? dir : (dir == "/" ? "" : dir) + "/" + name).c_str());

    chooser.show();
    while (chooser.shown()) Fl::wait();
    const char* chosen = chooser.count() > 0 ? chooser.value() : nullptr;
    return chosen ? plainPath(chosen) : std::string();
}
