#include "korprog/progctrl/Data/SettingEntry.h"

SettingEntry::SettingEntry() { cleanup(); }

void SettingEntry::cleanup()
{
    text[0] = '\0';
    tfnr[0] = '\0';
    sbEntryT = nullptr;
    sbEntryN = nullptr;
}
