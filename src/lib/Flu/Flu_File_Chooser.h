#ifndef LIB_FLU_FLU_FILE_CHOOSER_H
#define LIB_FLU_FLU_FILE_CHOOSER_H

#include <string>

class Fl_Button;
class Fl_Choice;
class Fl_Double_Window;
class Fl_Input;
class Fl_Output;
class Fl_Widget;
class Flu_File_List;

// Modal file and directory choosers. The dialog lists one directory (with
// "../" and an arrow to go up), a choice of the pattern or all files, a name
// field and OK and cancel buttons.
//
// The name field holds what the user types, untouched: a name, a path
// relative to the listed directory, or an absolute path starting with "/"
// (a leading "~/" is the home directory). Return (or OK) takes it: a
// directory is opened (in the directory chooser only a name ending in '/'
// is: any other is chosen); a file name is chosen, when the kind allows it.
// Escape or cancel chooses nothing. A click on a file puts its name into the
// field; a double click or Return in the list opens a directory or chooses
// a file.
//
// The directory chooser lists the files matching the pattern greyed: they
// show the user the right directory but cannot be chosen.
class Flu_File_Chooser {
public:
    enum Kind {
        EXISTING_FILE,  // an existing file
        SAVE_FILE,      // any name in an existing directory, new or existing
        DIRECTORY       // an existing directory
    };

    // The dialog's texts; the program sets them to its language.
    static const char* filename_label;   // "Name:"
    static const char* show_label;       // "Show:"
    static const char* all_files_label;  // "All files (*)"
    static const char* ok_label;         // "OK"
    static const char* save_label;       // "Save"
    static const char* cancel_label;     // "Cancel"
    static const char* up_tooltip;       // the arrow to the directory above

    // A start name that names a file opens its directory with the name
    // filled in; a directory opens that directory; an empty one (or one in
    // a directory that is gone) opens the working directory.
    Flu_File_Chooser(Kind kind, const char* message, const char* pattern, const char* start);
    ~Flu_File_Chooser();

    // Shows the dialog and waits: the chosen absolute path, or "" when the
    // user cancels (or the dialog is hidden from outside).
    std::string run();

    static std::string choose(Kind kind, const char* message, const char* pattern, const char* start);

    // The listed directory, and listing another one.
    const std::string& directory() const { return _dir; }
    void directory(const std::string& dir);

    // What the user works with, for tests and for placing the dialog.
    Fl_Double_Window* window() const { return _window; }
    Fl_Input* nameInput() const { return _name; }
    Flu_File_List* fileList() const { return _list; }
    Fl_Choice* showChoice() const { return _show; }

private:
    Flu_File_Chooser(const Flu_File_Chooser&) = delete;
    Flu_File_Chooser& operator=(const Flu_File_Chooser&) = delete;

    void build(const char* message);
    std::string pattern() const;
    // The path the name field means; "" for an empty field.
    std::string typedPath() const;
    // OK or Return: closes the dialog with a choice, opens a directory, or
    // beeps at a name the kind does not allow.
    void accept();
    void finish(const std::string& chosen);
    void selected(int line);
    void opened(int line);

    static void cbOk(Fl_Widget*, void* v);
    static void cbCancel(Fl_Widget*, void* v);
    static void cbUp(Fl_Widget*, void* v);
    static void cbShow(Fl_Widget*, void* v);
    static void cbList(Fl_Widget*, void* v);
    static void cbOpen(int line, void* v);

    Kind _kind;
    std::string _pattern;
    std::string _dir;
    std::string _chosen;
    Fl_Double_Window* _window;
    Fl_Button* _up;
    Fl_Output* _dirShown;
    Flu_File_List* _list;
    Fl_Choice* _show;
    Fl_Input* _name;
};

inline std::string flu_file_chooser(const char* message, const char* pattern, const char* filename)
{
    return Flu_File_Chooser::choose(Flu_File_Chooser::EXISTING_FILE, message, pattern, filename);
}

inline std::string flu_save_chooser(const char* message, const char* pattern, const char* filename)
{
    return Flu_File_Chooser::choose(Flu_File_Chooser::SAVE_FILE, message, pattern, filename);
}

inline std::string flu_dir_chooser(const char* message, const char* pattern, const char* filename)
{
    return Flu_File_Chooser::choose(Flu_File_Chooser::DIRECTORY, message, pattern, filename);
}

#endif
