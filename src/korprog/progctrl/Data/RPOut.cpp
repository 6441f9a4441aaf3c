#include "korprog/progctrl/Data/RPOut.h"

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SBTabSheet.h"

RPOut::RPOut(const char* label) : Fl_Output(0, 0, W, H)
{
    copy_label(gettext(label ? label : "", 0));
    // A plastic-up look whose thin border leaves a 21-pixel line room for
    // descenders and '_' at the editor's text size.
    box(FL_PLASTIC_THIN_UP_BOX);
    labelsize(12);
    textsize(12);
    align(FL_ALIGN_LEFT);
    deactivate();
}

void RPOut::placeOnTabSheet(SBTabSheet* sheet) { sheet->placeRows(this, sheet->x() + sheet->w() / 3, 1); }
