#ifndef KORPROG_PROGCTRL_RUN_KVCTRLUNITVALUES_H
#define KORPROG_PROGCTRL_RUN_KVCTRLUNITVALUES_H

#include <string>

class KvctrlRoot;

// -program BASE.adn -values UNITS.csv: every unit gets the base settings
// plus the values of its own row (KvctrlValuesTable): the row of its IMEI,
// or the first row no unit holds yet and no other run is programming
// (KvctrlValuesLedger). A row counts as used once its unit was programmed
// (and verified, unless -noverify); a run that fails leaves it free.
class KvctrlUnitValues {
public:
    // The values file (-values), "" for none.
    static const char* CMDL_VALUES;

    // What the command line's values cannot be used for, before the unit
    // is asked anything: -values without -program, a table that does not
    // read, a .used file that cannot be kept beside it. "" when they can.
    static std::string inputFault();

    // The base settings are in the setting bin and the unit has told who it
    // is: takes the unit's row and puts its values into the settings. False
    // after failing the run (bad input, nothing sent) when there is no row
    // for the unit or the row's values cannot be programmed. True at once
    // without -values.
    static bool applyTo(KvctrlRoot* root);

    // The unit holds its row's values, programmed and verified (or only
    // programmed, with -noverify): the row is recorded as used at once,
    // whatever ends the run afterwards. A record that cannot be written
    // fails the run.
    static void unitHoldsRow();

    // Forgets the run, and lets its row go (tests run several in one process).
    static void reset();
};

#endif
