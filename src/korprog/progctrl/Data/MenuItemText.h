#ifndef KORPROG_PROGCTRL_DATA_MENUITEMTEXT_H
#define KORPROG_PROGCTRL_DATA_MENUITEMTEXT_H

#include <FL/Fl_Menu_.H>
#include <string>

// Menu items whose texts are shown exactly as written. FLTK's add() reads
// '/' in a label as a submenu path, '\\' as an escape and a leading '_' as a
// divider, and it merges an item into an earlier one with the same label;
// the drawing reads '&' and '@' as underline and symbol marks. Layout texts
// and device paths (/dev/serial/by-id/...) contain such characters, and a
// merged item would shift every index after it.
class MenuItemText {
public:
    // The label FLTK draws as `text`.
    static std::string label(const char* text);
    // Appends one item showing `text`; returns its index.
    static int add(Fl_Menu_* menu, const char* text, int flags = 0, Fl_Callback* cb = nullptr,
                   void* data = nullptr);
};

#endif
