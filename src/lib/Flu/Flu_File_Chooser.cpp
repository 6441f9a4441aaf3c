#include "lib/Flu/Flu_File_Chooser.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/filename.H>


std::string Flu_File_Chooser::choose(Kind kind, const char* message, const char* pattern, const char* start)
{
    const int type = kind == EXISTING_FILE ? Fl_File_Chooser::SINGLE
                     : kind == SAVE_FILE   ? Fl_File_Chooser::CREATE
                                           : Fl_File_Chooser::DIRECTORY | Fl_File_Chooser::CREATE;
    if (!pattern || !*pattern) pattern = "*";
    if (!start) start = "";

    // The directory to open: that of the start name, else the working one.
    char path[FL_PATH_MAX];
    fl_filename_absolute(path, sizeof path, *start ? start : ".");
    std::string dir = path, name;
    if (!fl_filename_isdir(path)) {
        name = fl_filename_name(path);
        dir.erase(dir.size() - name.size());
        if (dir.empty() || !fl_filename_isdir(dir.c_str())) {
            fl_filename_absolute(path, sizeof path, ".");
            dir = std::string(path) + "/";
        }
    }

    // A dialog of its own, never a child of a group being built.
    Fl_Group* building = Fl_Group::current();
    Fl_Group::current(nullptr);
    Fl_File_Chooser chooser(dir.c_str(), pattern, type, message ? message : "");
    Fl_Group::current(building);
    chooser.preview(0);
    // The name (for a directory, the directory itself) fills the name field.
    if (!name.empty() || kind == DIRECTORY) chooser.value((dir + name).c_str());

    chooser.show();
    while (chooser.shown()) Fl::wait();
    const char* chosen = chooser.count() > 0 ? chooser.value() : nullptr;
    return chosen ? std::string(chosen) : std::string();
}
