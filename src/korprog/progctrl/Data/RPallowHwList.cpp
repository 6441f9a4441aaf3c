#include "korprog/progctrl/Data/RPallowHwList.h"

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SBTabSheet.h"

RPallowHwList::RPallowHwList() : Fl_Output(0, 0, W, H)
{
    copy_label(gettext("Allowed Hardware versions: ", 0));
    box(FL_PLASTIC_THIN_UP_BOX);
    labelsize(12);
    textsize(12);
    align(FL_ALIGN_LEFT);
    deactivate();
}

void RPallowHwList::placeOnTabSheet(SBTabSheet* sheet) { sheet->placeRows(this, sheet->x() + sheet->w() / 3, 1); }
