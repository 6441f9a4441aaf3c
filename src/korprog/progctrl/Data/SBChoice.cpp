#include "korprog/progctrl/Data/SBChoice.h"

#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SBItemValue.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"

SBChoice::SBChoice(SBEntry* sbEntry, SettingBin* settingBin)
    : Fl_Choice(0, 0, SBTabSheet::fieldWidth(sbEntry->list()), SBTabSheet::ROW_H, sbEntry->name()),
      _sbEntry(sbEntry),
      _settingBin(settingBin)
{
    if (SBItemValue::fill(this, sbEntry, settingBin) < 0) value(static_cast<const Fl_Menu_Item*>(nullptr));
    callback(cbChosen, this);
}

SBChoice::~SBChoice() { delete _sbEntry; }

void SBChoice::placeOnTabSheet(SBTabSheet* sheet) { sheet->place(this, _sbEntry->list()); }

int SBChoice::handle(int event)
{
    if (event == FL_PUSH || event == FL_FOCUS) SBTabs::showHelp(this, _sbEntry->help());
    return Fl_Choice::handle(event);
}

void SBChoice::cbChosen(Fl_Widget*, void* data)
{
    SBChoice* self = static_cast<SBChoice*>(data);
    const int ix = self->value();
    if (ix >= 0 && ix < self->_sbEntry->nrMenuItems()) {
        SBItemValue::store(self->_sbEntry, self->_settingBin, self->_sbEntry->menuItem(ix, true));
    }
}
