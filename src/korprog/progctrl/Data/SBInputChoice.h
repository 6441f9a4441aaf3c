#ifndef KORPROG_PROGCTRL_DATA_SBINPUTCHOICE_H
#define KORPROG_PROGCTRL_DATA_SBINPUTCHOICE_H

#include "korprog/progctrl/Data/Fl_Input_Choice.h"

class SBEntry;
class SBTabSheet;
class SettingBin;

// A drop-down choice bound to one part of one setting entry (the layout
// table's "sel:" rows): it shows the chosen item's text and stores the value
// that belongs to that text.
class SBInputChoice : public kp::Fl_Input_Choice {
public:
    // Takes ownership of the definition.
    SBInputChoice(SBEntry* sbEntry, SettingBin* settingBin);
    ~SBInputChoice() override;

    void placeOnTabSheet(SBTabSheet* sheet);
    SBEntry* sbEntry() const { return _sbEntry; }

    int handle(int event) override;

private:
    static void cbChosen(Fl_Widget*, void* data);

    SBEntry* _sbEntry;
    SettingBin* _settingBin;
};

#endif
