#ifndef KORPROG_PROGCTRL_DATA_SBITEMVALUE_H
#define KORPROG_PROGCTRL_DATA_SBITEMVALUE_H

class Fl_Choice;
class Fl_Menu_Button;
class SBEntry;
class SettingBin;
namespace kp {
class Fl_Input_Choice;
}

// What the editor's item widgets (menu button, choice, input choice) share:
// their look and items, which item the bound entry part holds, and storing
// an item's value there.
class SBItemValue {
public:
    // Gives w the editor's look and the entry's shown texts as items (each
    // with flags), and selects the item the entry holds. Returns its index,
    // or -1 when the entry holds a value of no item (nothing is selected).
    static int fill(Fl_Choice* w, const SBEntry* sbEntry, SettingBin* settingBin);
    static int fill(Fl_Menu_Button* w, const SBEntry* sbEntry, SettingBin* settingBin, int flags);
    static int fill(kp::Fl_Input_Choice* w, const SBEntry* sbEntry, SettingBin* settingBin);
    // Index of the item whose value equals the entry's part;
    // nrMenuItems() when none does.
    static int currentItem(const SBEntry* sbEntry, SettingBin* settingBin);
    // Stores value into the entry's text or number part; nothing for null.
    static void store(const SBEntry* sbEntry, SettingBin* settingBin, const char* value);
};

#endif
