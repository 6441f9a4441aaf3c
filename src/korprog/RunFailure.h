#ifndef KORPROG_RUNFAILURE_H
#define KORPROG_RUNFAILURE_H

#include <string>

// Why a run failed: a kind, for the script that started it to act on, and a
// reason, for the person who reads it. An operation that can fail (building
// a pack) hands one back; the unattended run has one of its own, set where
// the failure happens and read once, where the run ends (MainStartup::endRun),
// which tells the reason and turns it into the exit code.
struct RunFailure {
    enum class Kind {
        None,        // no failure
        Busy,        // another instance holds the program or the port
        BadInput,    // a file, pack or option refused before the unit is asked
        Port,        // the COM port cannot be opened
        NoUnit,      // no unit answers the status request
        UnitLost,    // the unit stopped answering, or its port went, in the middle of the run
        Refused,     // the unit refused (NAKs, an entry, the boot loader does not fit it)
        NotAllowed,  // the image is not allowed for the unit
        Verify,      // what the unit holds afterwards is not what was sent
        Backup,      // the unit's settings could not be saved before they were replaced
        Other
    };

    Kind kind = Kind::None;
    std::string reason;

    bool failed() const { return kind != Kind::None; }

    // The exit code an unattended run ends with for a failure of this kind
    // (0 for None): the table of the README's "Exit codes".
    static int exitCode(Kind kind);
    // The kind as JSON events and run records name it ("bad_input").
    static const char* name(Kind kind);

    // The unattended run's failure; failed() is false while none happened.
    static const RunFailure& ofRun();
    // Sets the run's failure unless one is set: the first one is what went
    // wrong, what follows is its consequence. True when this one was set
    // (as Other when it came without a kind).
    static bool record(const RunFailure& failure);
    // Forgets the run's failure (tests run several programs in one process).
    static void reset();
};

#endif
