#ifndef KORPROG_PROGCTRL_DATA_RPCOMBOLIST_H
#define KORPROG_PROGCTRL_DATA_RPCOMBOLIST_H

#include "lib/Flu/Flu_Combo_List.h"

class SBTabSheet;

// What the upgrade tab's two choice lists (pack and image) share: their
// look, their place on the tab, the tab's help on a click, and a choice
// handed to the list itself.
class RPcomboList : public Flu_Combo_List {
public:
    static const int W = 360;
    static const int H = 21;

    explicit RPcomboList(const char* label);

    // The second of two rows of the sheet's text column, a third of the
    // sheet in.
    virtual void placeOnTabSheet(SBTabSheet* sheet);
    int handle(int event) override;

protected:
    // The user chose the line now in value().
    virtual void choice() = 0;
    // The list line holding name; 0 when none does.
    int lineOf(const char* name) const;

private:
    static void cbChoice(Fl_Widget*, void* data);
};

#endif
