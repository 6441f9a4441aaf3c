#ifndef KORPROG_PROGCTRL_DATA_SBENTRY_H
#define KORPROG_PROGCTRL_DATA_SBENTRY_H

class SettingBin;

// One row of the editor layout table (config.csv): which part of which
// setting entry it edits, its label, tab, kind and help, and for which unit
// variants it exists. Rows that are headings, malformed or meant for another
// variant stay INVALID_TYPE and get no widget.
class SBEntry {
public:
    enum EntryType {
        ASCII_INPUT_TYPE = 0,
        TEL_INPUT_TYPE = 1,
        NUM_INPUT_TYPE = 2,
        CHOICE_TYPE = 3,
        INPUT_CHOICE_TYPE = 4,
        RADIO_BUTTON_TYPE = 5,
        MENU_BUTTON_TYPE = 6,
        INVALID_TYPE = 7
    };

    static const int MAX_MENU_ITEMS = 20;
    static const int MENU_ITEM_LEN = 40;

    // Parses one table row against the bin's settings type and special build.
    SBEntry(const char* line, SettingBin* settingBin);
    // The same against a type code and special build given (a connected
    // unit's rather than the settings').
    SBEntry(const char* line, const char* korType, const char* special);
    virtual ~SBEntry() = default;

    int entry() const { return _entry; }
    char list() const { return _list; }
    const char* name() const { return _name; }
    const char* tabName() const { return _tabName; }
    const char* type() const { return _type; }
    const char* help() const { return _help; }
    const char* tabHelp() const { return _tabHelp; }
    EntryType entryType() const { return _entryType; }
    int nrMenuItems() const { return _nrMenuItems; }
    const char* defaultEntry() const { return _default; }
    bool subItems() const { return _subItems; }

    bool tabNameIs(const char* tabName) const;

    // Item ix: its stored value (getVal) or its shown text; "" outside the list.
    const char* menuItem(int ix, bool getVal) const;
    // The value (getVal) or shown text of the first item shown as text; null
    // when no item is.
    const char* menuItem(const char* text, bool getVal) const;
    // Index of the first item equal to text: compared with the values (with
    // sub-items and ckVal) or the shown texts; nrMenuItems() when none is.
    int menuItem(char* text, bool ckVal) const;

private:
    bool selects(const char* selector, const char* korType, int pos) const;
    void parseMenu(const char* kind);
    void parseDefault(const char* kind);

    int _entry;
    EntryType _entryType;
    char _list;
    char _strEntry[10];
    char _strList[10];
    char _name[80];
    char _tabName[80];
    char _type[160];
    char _help[80];
    char _tabHelp[80];
    char _selKV[20];
    char _selDigIn[20];
    char _selUIn[20];
    char _selIIn[20];
    char _selRelOut[20];
    char _selNetw[20];
    char _selFunc[20];
    char _selPower[20];
    char _selMount[20];
    char _selSpecial[20];
    int _nrMenuItems;
    char _menuItems[MAX_MENU_ITEMS][MENU_ITEM_LEN];
    bool _subItems;
    char _subItemTxt[MAX_MENU_ITEMS][MENU_ITEM_LEN];
    char _subItemVal[MAX_MENU_ITEMS][MENU_ITEM_LEN];
    char _default[80];
};

#endif
