#ifndef KORPROG_PROGCTRL_DATA_SBMENUBUTTON_H
#define KORPROG_PROGCTRL_DATA_SBMENUBUTTON_H

#include <FL/Fl_Menu_Button.H>

class SBEntry;
class SBTabSheet;
class SettingBin;

// A menu button bound to one part of one setting entry: its radio items are
// the definition's shown texts; choosing one stores that item's value. The
// button shows the current item's text, also as its tooltip.
class SBMenuButton : public Fl_Menu_Button {
public:
    // Takes ownership of the definition.
    SBMenuButton(SBEntry* sbEntry, SettingBin* settingBin);
    ~SBMenuButton() override;

    void placeOnTabSheet(SBTabSheet* sheet);
    SBEntry* sbEntry() const { return _sbEntry; }

    int handle(int event) override;

protected:
    void draw() override;

private:
    static void cbChosen(Fl_Widget*, void* data);
    void chosen();
    void showCurrent();

    SBEntry* _sbEntry;
    SettingBin* _settingBin;
};

#endif
