#include "korprog/progctrl/Data/RPbtUpgrade.h"

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPText.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"

RPbtUpgrade::RPbtUpgrade(FrmKorProgImpl* frmImpl) : Fl_Button(0, 0, W, H), _frmImpl(frmImpl)
{
    copy_label(gettext("Upgrade", 0));
    box(FL_PLASTIC_UP_BOX);
    labelsize(12);
    // Left, as on the other widgets of the tab, but on the button's face.
    align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    callback(cbUpgrade, this);
}

void RPbtUpgrade::placeOnTabSheet(SBTabSheet* sheet) { sheet->placeRows(this, sheet->x() + sheet->w() / 3, 4); }

int RPbtUpgrade::handle(int event)
{
    if (event == FL_PUSH) SBTabs::showHelp(this, gettext(RPText::TAB_HELP, 0));
    return Fl_Button::handle(event);
}

void RPbtUpgrade::cbUpgrade(Fl_Widget*, void* data)
{
    RPbtUpgrade* self = static_cast<RPbtUpgrade*>(data);
    if (self->_frmImpl) self->_frmImpl->btExecUpgrade();
}
