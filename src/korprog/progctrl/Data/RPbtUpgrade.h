#ifndef KORPROG_PROGCTRL_DATA_RPBTUPGRADE_H
#define KORPROG_PROGCTRL_DATA_RPBTUPGRADE_H

#include <FL/Fl_Button.H>

class FrmKorProgImpl;
class SBTabSheet;

// The upgrade tab's "Upgrade": the window checks the chosen image and, when
// it passes, asks the controller to upgrade.
class RPbtUpgrade : public Fl_Button {
public:
    static const int W = 180;
    static const int H = 21;

    explicit RPbtUpgrade(FrmKorProgImpl* frmImpl);

    // The last of four rows of the sheet's text column, a third of the
    // sheet in.
    virtual void placeOnTabSheet(SBTabSheet* sheet);
    int handle(int event) override;

private:
    static void cbUpgrade(Fl_Widget*, void* data);

    FrmKorProgImpl* _frmImpl;
};

#endif
