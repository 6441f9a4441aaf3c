#include "korprog/progctrl/Data/RPOut.h"

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SBTabSheet.h"

RPOut::RPOut(const char* label) : Fl_Output(0, 0, W, H)
{
    copy_label(gettext(label ? label : "", 0));
    box(FL_PLASTIC_UP_BOX);
    align(FL_ALIGN_LEFT);
    deactivate();
}

void RPOut::placeOnTabSheet(SBTabSheet* sheet) { sheet->placeRows(this, sheet->x() + sheet->w() / 3, 1); }
