#ifndef LIB_FLU_FLU_FILE_CHOOSER_H
#define LIB_FLU_FLU_FILE_CHOOSER_H

#include <string>

// Modal file and directory choosers, on FLTK's own Fl_File_Chooser. Each
// returns the chosen path, or "" when the user cancels. A start name that
// names a file opens its directory with the name filled in; an empty one
// opens the working directory.
class Flu_File_Chooser {
public:
    enum Kind {
        EXISTING_FILE,  // an existing file matching the pattern
        SAVE_FILE,      // any name, new or existing
        DIRECTORY       // a directory
    };

    static std::string choose(Kind kind, const char* message, const char* pattern, const char* start);
};

inline std::string flu_file_chooser(const char* message, const char* pattern, const char* filename)
{
    return Flu_File_Chooser::choose(Flu_File_Chooser::EXISTING_FILE, message, pattern, filename);
}

inline std::string flu_save_chooser(const char* message, const char* pattern, const char* filename)
{
    return Flu_File_Chooser::choose(Flu_File_Chooser::SAVE_FILE, message, pattern, filename);
}

inline std::string flu_dir_chooser(const char* message, const char* filename)
{
    return Flu_File_Chooser::choose(Flu_File_Chooser::DIRECTORY, message, "*", filename);
}

#endif
