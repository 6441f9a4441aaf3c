#ifndef KORPROG_PROGCTRL_DATA_TRANSLATED_H
#define KORPROG_PROGCTRL_DATA_TRANSLATED_H

#include <string>

// A user-visible text with values in it, translated and filled in: the one
// way the program fills in a text, in the window, the status line and the
// reasons of unattended runs alike.
class Translated {
public:
    // The translation of format, filled in. A translation whose conversions
    // differ from the original's is not used, so a faulty language table
    // cannot misread the arguments.
    static std::string message(const char* format, ...) __attribute__((format(printf, 1, 2)));
};

#endif
