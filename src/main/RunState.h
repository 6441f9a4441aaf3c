#ifndef MAIN_RUNSTATE_H
#define MAIN_RUNSTATE_H

// What a run of the program leaves in class-wide fields: the command line's
// switches, the unit's versions, the names the open pack's lists go by, how
// the run ends (Main::_shutdown, the exit code, a signal) and why it failed.
// The program sets them once per process; tests and fuzz harnesses run it
// again and again in one process and set them back here, as at start-up.
// A field a run sets belongs in reset(). The directories the program works
// in are where it lives, not what a run sets: they stay.
class RunState {
public:
    static void reset();
};

#endif
