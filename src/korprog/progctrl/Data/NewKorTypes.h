#ifndef KORPROG_PROGCTRL_DATA_NEWKORTYPES_H
#define KORPROG_PROGCTRL_DATA_NEWKORTYPES_H

#include "lib/Flu/Flu_Combo_List.h"

// The device-type chooser of the window for new settings: an editable combo
// list of type names with their descriptions. Choosing an entry puts it into
// the box's input; a type may also be typed. The window fills the list.
class NewKorTypes : public Flu_Combo_List {
public:
    NewKorTypes(int x, int y, int w, int h, const char* label = nullptr);
};

#endif
