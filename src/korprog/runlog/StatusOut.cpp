#include "korprog/runlog/StatusOut.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "korprog/runlog/RunOptions.h"

namespace {

// The terminal a line stands in place on; null when none does.
FILE* g_inPlace = nullptr;

bool dumbTerminal()
{
    const char* term = std::getenv("TERM");
    return term && std::strcmp(term, "dumb") == 0;
}

}  // namespace

StatusOut::Style StatusOut::styleFor(FILE* out)
{
    if (RunOptions::QUIET) return QUIET;
    // Beside events the messages stay lines, as a reader of both expects.
    if (RunOptions::JSON) return TENTHS;
    return out && ::isatty(::fileno(out)) && !dumbTerminal() ? IN_PLACE : TENTHS;
}

void StatusOut::show(FILE* out, Style style, const std::string& text)
{
    if (!out || style == QUIET) return;
    if (style != IN_PLACE) {
        line(out, text);
        return;
    }
    // Back to the line's start, the text, the rest of the old one erased.
    std::fprintf(out, "\r%s\033[K", text.c_str());
    std::fflush(out);
    g_inPlace = out;
}

void StatusOut::line(FILE* out, const std::string& text, bool result)
{
    if (!out || (RunOptions::QUIET && !result)) return;
    if (g_inPlace == out) std::fputs("\r\033[K", out);
    if (g_inPlace == out) g_inPlace = nullptr;
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

void StatusOut::endInPlace()
{
    if (!g_inPlace) return;
    std::fputc('\n', g_inPlace);
    std::fflush(g_inPlace);
    g_inPlace = nullptr;
}

FILE* StatusOut::forNotices(FILE* out)
{
    if (!RunOptions::QUIET) return out;
    static FILE* none = std::fopen("/dev/null", "w");
    return none ? none : out;
}

void StatusOut::reset() { g_inPlace = nullptr; }

bool WorkCount::at(int64_t done, int64_t total, int64_t nowMs)
{
    if (total <= 0) return false;
    if (total != _total || done < _done || _tenth < 0) {
        _total = total;
        _firstMs = nowMs;
        _firstDone = done;
        _tenth = 0;
    }
    _done = done;
    _nowMs = nowMs;
    const int tenth = static_cast<int>(done * 10 / total);
    if (tenth <= _tenth && done != total) return false;
    _tenth = tenth;
    return true;
}

int64_t WorkCount::secondsLeft() const
{
    const int64_t moved = _done - _firstDone, ms = _nowMs - _firstMs;
    if (moved <= 0 || ms <= 0 || _done >= _total) return -1;
    return (ms * (_total - _done) / moved + 999) / 1000;
}
