#ifndef KORPROG_PROGCTRL_DATA_RPBINLIST_H
#define KORPROG_PROGCTRL_DATA_RPBINLIST_H

#include <string>

#include "lib/Flu/Flu_Combo_List.h"

class KvctrlRoot;
class RPOut;
class RPallowHwList;
class RevPackDb;
class SBTabSheet;

// The upgrade tab's choice of firmware image: the images of the selected
// pack that may go onto the connected unit (boot loaders never), and, for
// the one chosen, its type, version, hardware, special build and the
// hardware versions it is allowed on. Choosing an image loads it. The tab
// switches the controller's life check off; the list switches it on again
// when it goes.
class RPbinList : public Flu_Combo_List {
public:
    static const int W = 360;
    static const int H = 21;

    RPbinList(RevPackDb* rpDb, RPOut* type, RPOut* version, RPOut* hardware, RPOut* special, KvctrlRoot* root,
              RPallowHwList* allowHw);
    ~RPbinList() override;

    // Lists the allowed images of the selected pack anew; the controller's
    // last image is chosen when it is among them, else the first.
    void refreshList();
    // Shows what the chosen image is (actual), or empties the lines.
    void updateInfo(bool actual);

    // The second of two rows of the sheet's text column, a third of the
    // sheet in.
    virtual void placeOnTabSheet(SBTabSheet* sheet);
    int handle(int event) override;

private:
    static void cbChoice(Fl_Widget*, void* data);
    void choice();
    std::string imageEntry(const char* key) const;

    RevPackDb* _rpDb;
    RPOut* _type;
    RPOut* _version;
    RPOut* _hardware;
    RPOut* _special;
    KvctrlRoot* _root;
    RPallowHwList* _allowHw;
};

#endif
