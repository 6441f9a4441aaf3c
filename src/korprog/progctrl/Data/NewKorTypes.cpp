#include "korprog/progctrl/Data/NewKorTypes.h"

NewKorTypes::NewKorTypes(int x, int y, int w, int h, const char* label) : Flu_Combo_List(x, y, w, h, label)
{
    editable(true);
}
