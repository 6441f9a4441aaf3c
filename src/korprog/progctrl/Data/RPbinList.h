#ifndef KORPROG_PROGCTRL_DATA_RPBINLIST_H
#define KORPROG_PROGCTRL_DATA_RPBINLIST_H

#include <string>

#include "korprog/progctrl/Data/RPcomboList.h"

class KvctrlRoot;
class RPOut;
class RPallowHwList;
class RevPackDb;

// The upgrade tab's choice of firmware image: the images of the selected
// pack that may go onto the connected unit (boot loaders never), and, for
// the one chosen, its type, version, hardware, special build and the
// hardware versions it is allowed on. Choosing an image loads it. The tab
// switches the controller's life check off; the list switches it on again
// when it goes.
class RPbinList : public RPcomboList {
public:
    RPbinList(RevPackDb* rpDb, RPOut* type, RPOut* version, RPOut* hardware, RPOut* special, KvctrlRoot* root,
              RPallowHwList* allowHw);
    ~RPbinList() override;

    // Lists the allowed images of the selected pack anew; the controller's
    // last image is chosen when it is among them, else the first.
    void refreshList();
    // Shows what the chosen image is (actual), or empties the lines.
    void updateInfo(bool actual);

private:
    void choice() override;
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
