#ifndef KORPROG_RUNLOG_STATUSOUT_H
#define KORPROG_RUNLOG_STATUSOUT_H

#include <cstdint>
#include <cstdio>
#include <string>

// The lines an unattended run writes for a person (RunLog::statusOut()),
// and how. On a terminal the run's state is one line rewritten in place;
// to a pipe or a file counted work gives one line per tenth of it; with -q
// only the result line is written. Lines that must stay (a question the
// run answered, the result) end a line in place first, so nothing is
// written into the middle of it.
class StatusOut {
public:
    enum Style {
        EVERY,     // every status line (a run with the window's view, headless)
        TENTHS,    // counted work: a line per tenth and the last one
        IN_PLACE,  // one line, rewritten
        QUIET      // the result line only
    };

    // The style of an unattended run writing to out: QUIET with -q, IN_PLACE
    // on a terminal (not beside -json's events), else TENTHS.
    static Style styleFor(FILE* out);

    // A passing state: rewritten in place, else a line of its own.
    static void show(FILE* out, Style style, const std::string& text);
    // A line that stays, in every style but QUIET; result lines in QUIET too.
    static void line(FILE* out, const std::string& text, bool result = false);
    // What stands in place is left standing and ended, before something
    // else (an error on standard error) goes to the same terminal.
    static void endInPlace();

    // Where the trace's notices for a person go: out, or nowhere with -q.
    static FILE* forNotices(FILE* out);

    // Forgets the line in place (tests run several runs in one process).
    static void reset();
};

// How far counted work (entries, image bytes) is, and the time it has
// left at the rate so far: for a progress line.
class WorkCount {
public:
    // done of total at nowMs. A total of its own or done going back to the
    // start starts a new count. True when done reached another tenth of
    // total (or all of it): the moment for a line in TENTHS.
    bool at(int64_t done, int64_t total, int64_t nowMs);
    // Whole seconds left, rounded up; -1 while not known.
    int64_t secondsLeft() const;
    int percent() const { return _total > 0 ? static_cast<int>(_done * 100 / _total) : 0; }
    int64_t done() const { return _done; }
    int64_t total() const { return _total; }

private:
    int64_t _done = 0, _total = 0;
    int64_t _firstMs = 0, _firstDone = 0, _nowMs = 0;
    int _tenth = -1;
};

#endif
