#ifndef KORPROG_PROGCTRL_DATA_SETTINGENTRY_H
#define KORPROG_PROGCTRL_DATA_SETTINGENTRY_H

class SBEntry;

// One numbered setting: a text part and a number part, each linked to the
// editor definition that edits it while the editor is open (not owned).
class SettingEntry {
public:
    static const int TEXT_SIZE = 51;  // 50 characters and the terminator
    static const int NR_SIZE = 21;    // 20 characters and the terminator

    SettingEntry();
    virtual ~SettingEntry() = default;

    // Empties both parts and forgets both definitions.
    void cleanup();

    char text[TEXT_SIZE];
    SBEntry* sbEntryT;
    char tfnr[NR_SIZE];
    SBEntry* sbEntryN;
};

#endif
