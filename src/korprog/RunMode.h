#ifndef KORPROG_RUNMODE_H
#define KORPROG_RUNMODE_H

// Who answers: is a person watching, or does the run answer for itself?
// Whatever would wait for a person, tell a person something or leave a
// failure for a person to see asks here, and only here. The command line's
// switches stay where they are set (FrmKorProgImpl::CMDL_PROGRAM,
// RevPackDb::CMDL_UPGRADE, RevPackDb::CMDL_CREATE_REVPACK with CMDL_BINDIR);
// "which run is this" (an upgrade, a -program) is asked of the switch itself.
class RunMode {
public:
    // The run answers for itself: started to program a settings file
    // (-program), to upgrade (-upgrade), to fetch or compare settings
    // (-fetch, -compare) or to build a pack (-cmdl_crtrpa -bindir). Nobody
    // watches it: it asks nobody and alerts nobody, its status lines go to
    // the trace, and a failure ends it with the reason.
    static bool unattended();
    // A person can answer a dialog: the start opened a display, and the run
    // is not told to go without one. Decided once, at the start
    // (displayOpened). A run that answers for itself on a display still
    // shows the few questions its settings leave open (an entry the unit's
    // hardware does not take); without one, or with one that cannot be
    // opened, they take their safe answer. Until the start decides (parts
    // used on their own, as in tests), a DISPLAY that is set counts.
    static bool personAnswers();
    static void displayOpened(bool opened);
    // Told to run without a window even on a display (KORPROG_HEADLESS):
    // for tests and diagnosis.
    static bool headless();
    // The command line builds a pack from -bindir: the whole run happens as
    // the controller starts, before the main loop, and opens no window.
    static bool createsPack();
};

#endif
