#include "lib/Flu/Flu_File_Chooser.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/filename.H>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "lib/Flu/Flu_Dialog_Place.h"
#include "lib/Flu/Flu_File_List.h"

const char* Flu_File_Chooser::filename_label = "Name:";
const char* Flu_File_Chooser::show_label = "Show:";
const char* Flu_File_Chooser::all_files_label = "All files (*)";
const char* Flu_File_Chooser::ok_label = "OK";
const char* Flu_File_Chooser::save_label = "Save";
const char* Flu_File_Chooser::cancel_label = "Cancel";
const char* Flu_File_Chooser::up_tooltip = "Up";

namespace {

const int W = 540;
const int H = 420;
const int M = 10;
const int ROW = 25;
const int BUTTON_W = 100;

// An absolute path without "." and ".." parts and without a trailing '/'
// (the root stays "/").
std::string plainPath(const std::string& p)
{
    std::error_code ec;
    const std::filesystem::path abs = p.empty() || p[0] != '/' ? std::filesystem::current_path(ec) / p : std::filesystem::path(p);
    std::string s = abs.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string join(const std::string& dir, const std::string& name) { return (dir == "/" ? "" : dir) + "/" + name; }

bool isRegularFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A text for a menu, where '/', '&', '_' and '\' have meanings of their own.
std::string menuText(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '/' || c == '_' || c == '\\') out += '\\';
        if (c == '&') out += '&';
        out += c;
    }
    return out;
}

int labelWidth(const char* label)
{
    int w = 0, h = 0;
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    fl_measure(label, w, h, 0);
    return w;
}

}  // namespace

Flu_File_Chooser::Flu_File_Chooser(Kind kind, const char* message, const char* pattern, const char* start)
    : _kind(kind), _pattern(pattern && *pattern ? pattern : "*"), _window(nullptr), _up(nullptr),
      _dirShown(nullptr), _list(nullptr), _show(nullptr), _name(nullptr)
{
    build(message);

    // The directory to open: that of the start name, else the working one.
    std::string dir = plainPath(start && *start ? start : "."), name;
    if (!fl_filename_isdir(dir.c_str())) {
        name = fl_filename_name(dir.c_str());
        dir = plainPath(dir.substr(0, dir.size() - name.size()));
        if (!fl_filename_isdir(dir.c_str())) dir = plainPath(".");
    }
    directory(dir);
    _name->value(name.c_str());
    // Typing replaces the name offered.
    _name->position(_name->size(), 0);
    const int line = _list->find(name);
    if (line > 0) {
        _list->select(line);
        _list->middleline(line);
    }
}

Flu_File_Chooser::~Flu_File_Chooser() { delete _window; }

void Flu_File_Chooser::build(const char* message)
{
    // A dialog of its own, never a child of a group being built.
    Fl_Group* building = Fl_Group::current();
    Fl_Group::current(nullptr);
    _window = new Fl_Double_Window(W, H);
    _window->copy_label(message ? message : "");
    _window->callback(cbCancel, this);

    _up = new Fl_Button(M, M, ROW + 5, ROW, "@8->");
    _up->labelsize(12);
    _up->tooltip(up_tooltip);
    _up->callback(cbUp, this);
    _dirShown = new Fl_Output(M + ROW + 10, M, W - 2 * M - ROW - 10, ROW);
    _dirShown->clear_visible_focus();

    const int labelX = M + std::max(labelWidth(filename_label), labelWidth(show_label)) + 8;
    const int nameY = H - M - ROW - M - ROW;
    const int showY = nameY - 5 - ROW;
    _list = new Flu_File_List(M, 2 * M + ROW, W - 2 * M, showY - M - (2 * M + ROW));
    _list->callback(cbList, this);
    _list->onOpen(cbOpen, this);

    _show = new Fl_Choice(labelX, showY, W - M - labelX, ROW, show_label);
    if (_pattern != "*") _show->add(menuText(_pattern).c_str());
    _show->add(menuText(all_files_label).c_str());
    _show->value(0);
    _show->callback(cbShow, this);

    _name = new Fl_Input(labelX, nameY, W - M - labelX, ROW, filename_label);

    Fl_Return_Button* ok =
        new Fl_Return_Button(W - 2 * (M + BUTTON_W), H - M - ROW, BUTTON_W, ROW, _kind == SAVE_FILE ? save_label : ok_label);
    ok->callback(cbOk, this);
    Fl_Button* cancel = new Fl_Button(W - M - BUTTON_W, H - M - ROW, BUTTON_W, ROW, cancel_label);
    cancel->callback(cbCancel, this);

    _window->end();
    _window->resizable(_list);
    _window->size_range(W, H);
    _window->set_modal();
    Fl_Group::current(building);
}

std::string Flu_File_Chooser::run()
{
    _chosen.clear();
    Flu_Dialog_Place::over(_window);
    _window->show();
    _name->take_focus();
    // Timed: a signal that lands just before the wait is seen within a
    // quarter second, not at the next window event.
    while (_window->shown()) Fl::wait(0.25);
    return _chosen;
}

std::string Flu_File_Chooser::choose(Kind kind, const char* message, const char* pattern, const char* start)
{
    Flu_File_Chooser chooser(kind, message, pattern, start);
    return chooser.run();
}

void Flu_File_Chooser::directory(const std::string& dir)
{
    _dir = plainPath(dir);
    _dirShown->value(_dir.c_str());
    _list->load(_dir, pattern(), _kind == DIRECTORY);
}

std::string Flu_File_Chooser::pattern() const { return _show->value() == 0 ? _pattern : std::string("*"); }

std::string Flu_File_Chooser::typedPath() const
{
    std::string typed = _name->value();
    if (typed.empty()) return typed;
    const char* home = std::getenv("HOME");
    if (home && *home && (typed == "~" || typed.compare(0, 2, "~/") == 0)) typed = home + typed.substr(1);
    return plainPath(typed[0] == '/' ? typed : join(_dir, typed));
}

void Flu_File_Chooser::accept()
{
    const std::string typed = _name->value();
    const std::string path = typedPath();
    if (path.empty()) {
        if (_kind == DIRECTORY) {
            finish(_dir);
        } else {
            fl_beep();
        }
        return;
    }
    const bool endsInSlash = typed.back() == '/';
    if (fl_filename_isdir(path.c_str())) {
        if (_kind == DIRECTORY && !endsInSlash) {
            finish(path);
            return;
        }
        directory(path);
        _name->value("");
        return;
    }
    const std::string parent = path.substr(0, path.rfind('/'));
    const bool allowed = _kind == EXISTING_FILE ? isRegularFile(path)
                         : _kind == SAVE_FILE   ? !endsInSlash && fl_filename_isdir(parent.empty() ? "/" : parent.c_str())
                                                : false;
    if (!allowed) {
        fl_beep();
        return;
    }
    finish(path);
}

void Flu_File_Chooser::finish(const std::string& chosen)
{
    _chosen = chosen;
    _window->hide();
}

void Flu_File_Chooser::selected(int line)
{
    if (line <= 0) return;
    if (!_list->choosable(line)) {
        _list->deselect();
        return;
    }
    const std::string name = _list->name(line);
    if (_list->isDir(line) && (_kind != DIRECTORY || name == "..")) return;
    _name->value(name.c_str());
    _name->position(_name->size(), 0);
}

void Flu_File_Chooser::opened(int line)
{
    if (!_list->choosable(line)) return;
    if (!_list->isDir(line)) {
        _name->value(_list->name(line).c_str());
        accept();
        return;
    }
    directory(join(_dir, _list->name(line)));
    // A name being typed for saving goes along into the directory.
    if (_kind != SAVE_FILE) _name->value("");
}

void Flu_File_Chooser::cbOk(Fl_Widget*, void* v) { static_cast<Flu_File_Chooser*>(v)->accept(); }

void Flu_File_Chooser::cbCancel(Fl_Widget*, void* v) { static_cast<Flu_File_Chooser*>(v)->finish(""); }

void Flu_File_Chooser::cbUp(Fl_Widget*, void* v)
{
    Flu_File_Chooser* self = static_cast<Flu_File_Chooser*>(v);
    self->directory(join(self->_dir, ".."));
}

void Flu_File_Chooser::cbShow(Fl_Widget*, void* v)
{
    Flu_File_Chooser* self = static_cast<Flu_File_Chooser*>(v);
    self->directory(self->_dir);
}

void Flu_File_Chooser::cbList(Fl_Widget*, void* v)
{
    Flu_File_Chooser* self = static_cast<Flu_File_Chooser*>(v);
    self->selected(self->_list->value());
}

void Flu_File_Chooser::cbOpen(int line, void* v) { static_cast<Flu_File_Chooser*>(v)->opened(line); }
