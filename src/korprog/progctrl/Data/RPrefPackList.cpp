#include "korprog/progctrl/Data/RPrefPackList.h"

#include <cstring>

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPText.h"
#include "korprog/progctrl/Data/RPbinList.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/States/KvctrlRoot.h"

RPrefPackList::RPrefPackList(RevPackDb* rpDb, RPbinList* binList, KvctrlRoot* root)
    : Flu_Combo_List(0, 0, W, H), _rpDb(rpDb), _binList(binList), _root(root)
{
    copy_label(gettext("Select RevPack File: ", 0));
    box(FL_PLASTIC_THIN_UP_BOX);
    labelsize(12);
    input.textsize(12);
    list.textsize(12);
    align(FL_ALIGN_LEFT);
    editable(false);
    callback(cbChoice, this);

    if (!_rpDb) return;
    for (int i = 0; i < _rpDb->nrRpaFiles(); ++i) list.add(_rpDb->rpaFile(i));
    int line = list.size() > 0 ? 1 : 0;
    if (_root) {
        if (const int last = lineOf(_root->lastRevpackFile())) line = last;
        if (const int ref = lineOf(_root->refPackFile())) line = ref;
    }
    select(line);
    if (line) _rpDb->selectRpFile(list.text(line));
    if (_binList) _binList->refreshList();
}

int RPrefPackList::lineOf(const char* name) const
{
    if (!name || !*name) return 0;
    for (int i = 1; i <= list.size(); ++i)
        if (std::strcmp(list.text(i), name) == 0) return i;
    return 0;
}

void RPrefPackList::placeOnTabSheet(SBTabSheet* sheet) { sheet->placeRows(this, sheet->x() + sheet->w() / 3, 2); }

int RPrefPackList::handle(int event)
{
    if (event == FL_PUSH) SBTabs::showHelp(this, gettext(RPText::TAB_HELP, 0));
    return Flu_Combo_List::handle(event);
}

void RPrefPackList::cbChoice(Fl_Widget*, void* data) { static_cast<RPrefPackList*>(data)->choice(); }

void RPrefPackList::choice()
{
    if (!_rpDb || !*value()) return;
    _rpDb->selectRpFile(value());
    if (_binList) _binList->refreshList();
}
