#ifndef KORPROG_PROGCTRL_DATA_RPREFPACKLIST_H
#define KORPROG_PROGCTRL_DATA_RPREFPACKLIST_H

#include "korprog/progctrl/Data/RPcomboList.h"

class KvctrlRoot;
class RPbinList;
class RevPackDb;

// The upgrade tab's choice of revision pack. Built, it lists the packs and
// selects one: the pack the program was started with, else the controller's
// last pack, else the first. Choosing a pack selects it and lists its images
// anew.
class RPrefPackList : public RPcomboList {
public:
    RPrefPackList(RevPackDb* rpDb, RPbinList* binList, KvctrlRoot* root);

private:
    void choice() override;

    RevPackDb* _rpDb;
    RPbinList* _binList;
    KvctrlRoot* _root;
};

#endif
