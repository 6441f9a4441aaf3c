#ifndef KORPROG_PROGCTRL_DATA_SBCHOICE_H
#define KORPROG_PROGCTRL_DATA_SBCHOICE_H

#include <FL/Fl_Choice.H>

class SBEntry;
class SBTabSheet;
class SettingBin;

// A choice bound to one part of one setting entry: its items are the
// definition's shown texts; choosing one stores that item's value. An entry
// holding a value of no item shows no selection.
class SBChoice : public Fl_Choice {
public:
    // Takes ownership of the definition.
    SBChoice(SBEntry* sbEntry, SettingBin* settingBin);
    ~SBChoice() override;

    void placeOnTabSheet(SBTabSheet* sheet);
    SBEntry* sbEntry() const { return _sbEntry; }

    int handle(int event) override;

private:
    static void cbChosen(Fl_Widget*, void* data);

    SBEntry* _sbEntry;
    SettingBin* _settingBin;
};

#endif
