#include "lib/Flu/Flu_File_List.h"

#include <FL/Fl.H>
#include <FL/filename.H>


Flu_File_List::Flu_File_List(int x, int y, int w, int h)
    : Fl_Hold_Browser(x, y, w, h), _open(nullptr), _openData(nullptr)
{
    when(FL_WHEN_CHANGED);
    // Names are shown as they are; the greyed ones carry their own colour.
    format_char('\x1');
}

void Flu_File_List::load(const std::string& dir, const std::string& pattern, bool filesGreyed)
{
    clear();
    _entries.clear();
    dirent** list = nullptr;
    const int n = fl_filename_list(dir.c_str(), &list, fl_casenumericsort);
    std::vector<Entry> dirs, files;
    for (int i = 0; i < n; ++i) {
        std::string name = list[i]->d_name;
        if (!name.empty() && name.back() == '/') name.pop_back();
        if (name.empty() || name[0] == '.') continue;
        const std::string path = (dir == "/" ? "" : dir) + "/" + name;
        if (fl_filename_isdir(path.c_str())) {
            dirs.push_back({name, true, false});
        } else if (pattern.empty() || pattern == "*" || fl_filename_match(name.c_str(), pattern.c_str())) {
            files.push_back({name, false, filesGreyed});
        }
    }
    fl_filename_free_list(&list, n);

    if (dir != "/") _entries.push_back({"..", true, false});
    _entries.insert(_entries.end(), dirs.begin(), dirs.end());
    _entries.insert(_entries.end(), files.begin(), files.end());
    for (const Entry& e : _entries) {
        // \x1 starts the formatting of a line: C colours it, '.' ends it.
        const std::string grey = "\x1" "C" + std::to_string(FL_INACTIVE_COLOR) + "\x1.";
        add(((e.greyed ? grey : std::string("\x1.")) + e.name + (e.dir ? "/" : "")).c_str());
    }
    topline(1);
}

const Flu_File_List::Entry* Flu_File_List::entry(int line) const
{
    return line >= 1 && line <= static_cast<int>(_entries.size()) ? &_entries[static_cast<size_t>(line - 1)] : nullptr;
}

std::string Flu_File_List::name(int line) const { return entry(line) ? entry(line)->name : std::string(); }

bool Flu_File_List::isDir(int line) const { return entry(line) && entry(line)->dir; }

bool Flu_File_List::choosable(int line) const { return entry(line) && !entry(line)->greyed; }

int Flu_File_List::find(const std::string& name) const
{
    for (size_t i = 0; i < _entries.size(); ++i)
        if (_entries[i].name == name) return static_cast<int>(i) + 1;
    return 0;
}

int Flu_File_List::handle(int event)
{
    const bool enter =
        event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter);
    // Without a selected line Return is the dialog's.
    if (enter && value() == 0) return 0;
    const int used = enter ? 1 : Fl_Hold_Browser::handle(event);
    const bool doubleClick = event == FL_PUSH && Fl::event_clicks() > 0;
    if ((enter || doubleClick) && value() > 0 && _open) _open(value(), _openData);
    return used;
}
