#ifndef KORPROG_PROGCTRL_DATA_RPREFPACKLIST_H
#define KORPROG_PROGCTRL_DATA_RPREFPACKLIST_H

#include "lib/Flu/Flu_Combo_List.h"

class KvctrlRoot;
class RPbinList;
class RevPackDb;
class SBTabSheet;

// The upgrade tab's choice of revision pack. Built, it lists the packs and
// selects one: the pack the program was started with, else the controller's
// last pack, else the first. Choosing a pack selects it and lists its images
// anew.
class RPrefPackList : public Flu_Combo_List {
public:
    static const int W = 360;
    static const int H = 21;

    RPrefPackList(RevPackDb* rpDb, RPbinList* binList, KvctrlRoot* root);

    // The second of two rows of the sheet's text column, a third of the
    // sheet in.
    virtual void placeOnTabSheet(SBTabSheet* sheet);
    int handle(int event) override;

private:
    static void cbChoice(Fl_Widget*, void* data);
    void choice();
    // The list line holding name; 0 when none does.
    int lineOf(const char* name) const;

    RevPackDb* _rpDb;
    RPbinList* _binList;
    KvctrlRoot* _root;
};

#endif
