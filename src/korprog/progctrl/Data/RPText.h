#ifndef KORPROG_PROGCTRL_DATA_RPTEXT_H
#define KORPROG_PROGCTRL_DATA_RPTEXT_H

#include <cstddef>
#include <string>

#include "korprog/progctrl/Data/Language.h"

// The help page of the upgrade tab and the reading of fields of foreign
// packs. (Texts are filled in by Translated::message.)
class RPText {
public:
    // The help page of the upgrade tab (a file beside the program), shown
    // when one of its widgets is pushed.
    static constexpr const char* TAB_HELP = N_("TabRevPacks.html");


    // The character at pos, or '\0' outside the text: comparisons on texts
    // read from foreign packs never leave them.
    static char at(const std::string& s, size_t pos) { return pos < s.size() ? s[pos] : '\0'; }

    // The decimal number the leading digits of at most max characters form.
    static int leadingNumber(const char* text, size_t max)
    {
        int n = 0;
        for (size_t i = 0; text && i < max && text[i] >= '0' && text[i] <= '9'; ++i) n = n * 10 + (text[i] - '0');
        return n;
    }
};

#endif
