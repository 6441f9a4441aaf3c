#ifndef KORPROG_PROGCTRL_DATA_SBITEMVALUE_H
#define KORPROG_PROGCTRL_DATA_SBITEMVALUE_H

class SBEntry;
class SettingBin;

// What the editor's item widgets (menu button, choice, input choice) share:
// which item the bound entry part holds, and storing an item's value there.
class SBItemValue {
public:
    // Index of the item whose value equals the entry's part;
    // nrMenuItems() when none does.
    static int currentItem(const SBEntry* sbEntry, SettingBin* settingBin);
    // Stores value into the entry's text or number part; nothing for null.
    static void store(const SBEntry* sbEntry, SettingBin* settingBin, const char* value);
};

#endif
