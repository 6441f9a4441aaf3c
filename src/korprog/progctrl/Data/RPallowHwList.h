#ifndef KORPROG_PROGCTRL_DATA_RPALLOWHWLIST_H
#define KORPROG_PROGCTRL_DATA_RPALLOWHWLIST_H

#include <FL/Fl_Output.H>

class SBTabSheet;

// The upgrade tab's line of hardware versions the restriction list allows
// for the chosen image (" B.** D.** C.**").
class RPallowHwList : public Fl_Output {
public:
    static const int W = 360;
    static const int H = 21;

    RPallowHwList();

    // One row of the sheet's text column, a third of the sheet in.
    virtual void placeOnTabSheet(SBTabSheet* sheet);
};

#endif
