#ifndef MAIN_MAINSIGNALS_H
#define MAIN_MAINSIGNALS_H

#include <cstdint>

// SIGINT and SIGTERM end the program as "Afsluiten" does, from whatever it
// is doing: they interrupt the wait they arrive in instead of restarting it,
// and the program's own pauses end early once it is ending. A second signal
// ends a program that cannot wind down at once.
class MainSignals {
public:
    // Called once the command line is read.
    static void catchSignals();
    // The signal that asked the program to end before it was ending by
    // itself; 0 when none did.
    static int received();
    // An unattended run that a signal cut short did not do its work: it
    // ends as a failure that says so, unless the state it was in has told
    // how far it got. Called once the states are left; tells it once.
    static void reportUnfinishedRun();
    // A pause of ms milliseconds that ends once the program is ending.
    static void sleepUnlessEnding(uint32_t ms);
    // Forgets the signal received and the run it was caught for (tests run
    // several programs in one process).
    static void reset();
};

#endif
