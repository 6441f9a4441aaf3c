#include "korprog/progctrl/Data/MenuItemText.h"

#include <cstdio>

std::string MenuItemText::label(const char* text)
{
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '&' || *p == '@') out += *p;  // doubled: drawn once, as itself
        out += *p;
    }
    return out;
}

int MenuItemText::add(Fl_Menu_* menu, const char* text, int flags, Fl_Callback* cb, void* data)
{
    // A placeholder no other item can carry, then the real label, which
    // replace() stores as it is.
    char placeholder[24];
    std::snprintf(placeholder, sizeof placeholder, "\x01#%d", menu->size());
    const int ix = menu->add(placeholder, 0, cb, data, flags);
    if (ix >= 0) menu->replace(ix, label(text).c_str());
    return ix;
}
