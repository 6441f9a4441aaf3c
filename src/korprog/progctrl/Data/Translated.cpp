#include "korprog/progctrl/Data/Translated.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "korprog/progctrl/Data/Language.h"

std::string Translated::message(const char* format, ...)
{
    // The table refuses such translations already; a text used as a format
    // is checked where it is used all the same.
    const char* translated = gettext(format, 0);
    if (!translated || Language::conversions(translated) != Language::conversions(format)) translated = format;
    va_list ap, ap2;
    va_start(ap, format);
    va_copy(ap2, ap);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::vsnprintf(nullptr, 0, translated, ap);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(&out[0], out.size() + 1, translated, ap2);
#pragma GCC diagnostic pop
    va_end(ap2);
    va_end(ap);
    return out;
}
