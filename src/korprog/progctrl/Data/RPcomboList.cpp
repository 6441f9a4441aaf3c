#include "korprog/progctrl/Data/RPcomboList.h"

#include <cstring>

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPText.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"

RPcomboList::RPcomboList(const char* label) : Flu_Combo_List(0, 0, W, H)
{
    copy_label(gettext(label, 0));
    // A plastic-up look whose thin border leaves a 21-pixel line room for
    // descenders and '_' at the editor's text size.
    box(FL_PLASTIC_THIN_UP_BOX);
    labelsize(12);
    input.textsize(12);
    list.textsize(12);
    align(FL_ALIGN_LEFT);
    editable(false);
    callback(cbChoice, this);
}

void RPcomboList::placeOnTabSheet(SBTabSheet* sheet) { sheet->placeRows(this, sheet->x() + sheet->w() / 3, 2); }

int RPcomboList::handle(int event)
{
    if (event == FL_PUSH) SBTabs::showHelp(this, gettext(RPText::TAB_HELP, 0));
    return Flu_Combo_List::handle(event);
}

int RPcomboList::lineOf(const char* name) const
{
    if (!name || !*name) return 0;
    for (int i = 1; i <= list.size(); ++i)
        if (std::strcmp(list.text(i), name) == 0) return i;
    return 0;
}

void RPcomboList::cbChoice(Fl_Widget*, void* data) { static_cast<RPcomboList*>(data)->choice(); }
