#include "korprog/progctrl/Data/RPbinList.h"

#include <cstring>
#include <initializer_list>

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPOut.h"
#include "korprog/progctrl/Data/RPallowHwList.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/States/KvctrlRoot.h"

namespace {

void showText(Fl_Output* out, const char* text)
{
    if (out) out->value(text);
}

}  // namespace

RPbinList::RPbinList(RevPackDb* rpDb, RPOut* type, RPOut* version, RPOut* hardware, RPOut* special, KvctrlRoot* root,
                     RPallowHwList* allowHw)
    : RPcomboList(N_("Select Bin File: ")),
      _rpDb(rpDb),
      _type(type),
      _version(version),
      _hardware(hardware),
      _special(special),
      _root(root),
      _allowHw(allowHw)
{
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

void RPbinList::choice()
{
    if (!_rpDb || !*value()) return;
    _rpDb->setBinData(value());
    updateInfo(true);
}
