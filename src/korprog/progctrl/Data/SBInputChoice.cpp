#include "korprog/progctrl/Data/SBInputChoice.h"

#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SBItemValue.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"

SBInputChoice::SBInputChoice(SBEntry* sbEntry, SettingBin* settingBin)
    : kp::Fl_Input_Choice(0, 0, SBTabSheet::fieldWidth(sbEntry->list()), SBTabSheet::ROW_H, sbEntry->name()),
      _sbEntry(sbEntry),
      _settingBin(settingBin)
{
    SBItemValue::fill(this, sbEntry, settingBin);
    callback(cbChosen, this);
}

SBInputChoice::~SBInputChoice() { delete _sbEntry; }

void SBInputChoice::placeOnTabSheet(SBTabSheet* sheet) { sheet->place(this, _sbEntry->list()); }

int SBInputChoice::handle(int event)
{
    if (event == FL_PUSH || event == FL_FOCUS) SBTabs::showHelp(this, _sbEntry->help());
    return kp::Fl_Input_Choice::handle(event);
}

// The input already shows the chosen text; its value is what is stored.
void SBInputChoice::cbChosen(Fl_Widget*, void* data)
{
    SBInputChoice* self = static_cast<SBInputChoice*>(data);
    SBItemValue::store(self->_sbEntry, self->_settingBin, self->_sbEntry->menuItem(self->inputvalue(), true));
}
