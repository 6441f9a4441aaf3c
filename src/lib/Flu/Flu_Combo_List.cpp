#include "lib/Flu/Flu_Combo_List.h"

#include <cstring>

#include <FL/Fl.H>

Flu_Combo_List::Flu_Combo_List(int x, int y, int w, int h, const char* label)
    : Flu_Combo_Box(x, y, w, h, label), list(0, 0, w, 100)
{
    list.box(FL_BORDER_BOX);
    // Texts are shown as they are, never read as formatting codes.
    list.format_char(0);
    set_combo_widget(&list);
}

// The list leaves the popup by itself (a widget leaves its group when it is
// destroyed) before the box deletes the popup.
Flu_Combo_List::~Flu_Combo_List() = default;

void Flu_Combo_List::select(int line)
{
    if (line < 1 || line > list.size()) {
        list.deselect();
        input.value("");
        return;
    }
    list.value(line);
    input.value(list.text(line));
}

bool Flu_Combo_List::_value(const char* v)
{
    for (int i = 1; i <= list.size(); ++i) {
        const char* t = list.text(i);
        if (t && std::strcmp(t, v) == 0) {
            list.value(i);
            list.middleline(i);
            return true;
        }
    }
    list.deselect();
    return false;
}

const char* Flu_Combo_List::_selected() const
{
    const int line = list.value();
    return line > 0 ? list.text(line) : nullptr;
}

void Flu_Combo_List::_move(int dir)
{
    if (list.size() == 0) return;
    int line = list.value() + dir;
    if (list.value() == 0) line = dir > 0 ? 1 : list.size();
    if (line < 1 || line > list.size()) return;
    list.value(line);
    if (!list.displayed(line)) list.middleline(line);
}

int Flu_Combo_List::_wanted_height() const
{
    // One text line and its leading per item, plus the border.
    return list.size() * (list.textsize() + 6) + Fl::box_dh(list.box());
}
