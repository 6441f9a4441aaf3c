#ifndef KORPROG_PROGCTRL_DATA_RPOUT_H
#define KORPROG_PROGCTRL_DATA_RPOUT_H

#include <FL/Fl_Output.H>

class SBTabSheet;

// One read-only line of the upgrade tab that tells what the chosen image is
// (its type, version, hardware or special build). The label is translated.
class RPOut : public Fl_Output {
public:
    static const int W = 180;
    static const int H = 21;

    explicit RPOut(const char* label);

    // One row of the sheet's text column, a third of the sheet in.
    virtual void placeOnTabSheet(SBTabSheet* sheet);
};

#endif
