#include "korprog/progctrl/Data/SBInputChoice.h"

#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SBItemValue.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"

SBInputChoice::SBInputChoice(SBEntry* sbEntry, SettingBin* settingBin)
    : kp::Fl_Input_Choice(0, 0, sbEntry->list() == 'T' ? SBTabSheet::TXT_W : SBTabSheet::NUM_W,
                          SBTabSheet::ROW_H, sbEntry->name()),
      _sbEntry(sbEntry),
      _settingBin(settingBin)
{
    box(FL_PLASTIC_UP_BOX);
    labelsize(12);
    textsize(12);
    for (int i = 0; i < sbEntry->nrMenuItems(); ++i) add(sbEntry->menuItem(i, false));

    const int current = SBItemValue::currentItem(sbEntry, settingBin);
    if (current < sbEntry->nrMenuItems()) value(current);
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
