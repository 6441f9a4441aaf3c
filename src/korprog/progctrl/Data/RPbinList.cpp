#include "korprog/progctrl/Data/RPbinList.h"

#include <cstring>
#include <initializer_list>

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPOut.h"
#include "korprog/progctrl/Data/RPText.h"
#include "korprog/progctrl/Data/RPallowHwList.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/States/KvctrlRoot.h"

namespace {

void showText(Fl_Output* out, const char* text)
{
    if (out) out->value(text);
}

}  // namespace

RPbinList::RPbinList(RevPackDb* rpDb, RPOut* type, RPOut* version, RPOut* hardware, RPOut* special, KvctrlRoot* root,
                     RPallowHwList* allowHw)
    : Flu_Combo_List(0, 0, W, H),
      _rpDb(rpDb),
      _type(type),
      _version(version),
      _hardware(hardware),
      _special(special),
      _root(root),
      _allowHw(allowHw)
{
    copy_label(gettext("Select Bin File: ", 0));
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

RPbinList::~RPbinList()
{
    if (_root) _root->activeLifeCk(true);
}

void RPbinList::refreshList()
{
    list.clear();
    select(0);
    updateInfo(false);
    if (_rpDb && _rpDb->rpSelected()) {
        const char* last = _root ? _root->lastBinFile() : "";
        int first = 0, lastLine = 0;
        for (int i = 0; i < _rpDb->actNrBinFiles(); ++i) {
            const char* name = _rpDb->actBinFile(i);
            if (std::strstr(name, RevPackDb::BOOT_LOAD_NAME) || !_rpDb->binFileAllowed(name)) continue;
            list.add(name);
            if (!first) first = list.size();
            if (*last && std::strcmp(name, last) == 0) lastLine = list.size();
        }
        select(lastLine ? lastLine : first);
        if (first) updateInfo(true);
    }
    redraw();
}

std::string RPbinList::imageEntry(const char* key) const
{
    // An entry the image lacks shows as nothing, not as the reader's "none".
    char text[RevPackDb::MAX_TXT_LEN] = "";
    if (_rpDb->entryExist(value(), key)) _rpDb->getEntry(value(), key, text);
    return text;
}

void RPbinList::updateInfo(bool actual)
{
    if (!actual || !_rpDb || !*value()) {
        for (Fl_Output* out : std::initializer_list<Fl_Output*>{_type, _version, _hardware, _special, _allowHw})
            showText(out, "");
        return;
    }
    const std::string type = imageEntry(RevPackDb::BIN_TYPE);
    showText(_type, _root ? _root->customKorType(type.c_str()) : type.c_str());
    showText(_version, imageEntry(RevPackDb::BIN_VERSION).c_str());
    showText(_hardware, imageEntry(RevPackDb::BIN_HWVERS).c_str());
    showText(_special, imageEntry(RevPackDb::BIN_SPECIAL).c_str());
    _rpDb->fillAllowedHwList(value(), _allowHw);
}

void RPbinList::placeOnTabSheet(SBTabSheet* sheet) { sheet->placeRows(this, sheet->x() + sheet->w() / 3, 2); }

int RPbinList::handle(int event)
{
    if (event == FL_PUSH) SBTabs::showHelp(this, gettext(RPText::TAB_HELP, 0));
    return Flu_Combo_List::handle(event);
}

void RPbinList::cbChoice(Fl_Widget*, void* data) { static_cast<RPbinList*>(data)->choice(); }

void RPbinList::choice()
{
    if (!_rpDb || !*value()) return;
    _rpDb->setBinData(value());
    updateInfo(true);
}
