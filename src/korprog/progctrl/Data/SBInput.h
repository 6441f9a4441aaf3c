#ifndef KORPROG_PROGCTRL_DATA_SBINPUT_H
#define KORPROG_PROGCTRL_DATA_SBINPUT_H

#include <FL/Fl_Input.H>

class SBEntry;
class SBTabSheet;
class SettingBin;

// A text or number field bound to one part of one setting entry. Every
// change is stored at once through the bin's rules, and what the bin kept is
// shown back. With a GPRS settings type two consecutive text entries may
// edit as one long text (entries 4+5, 6+7, 8+9, 60+70): the first input then
// shows both and the second is hidden.
class SBInput : public Fl_Input {
public:
    // Takes ownership of the definition.
    SBInput(SBEntry* sbEntry, SettingBin* settingBin);
    ~SBInput() override;

    void placeOnTabSheet(SBTabSheet* sheet);
    // Makes `next` the second half of this input, when the two form a pair.
    void setPairInput(SBInput* next, SettingBin* settingBin);

    SBEntry* sbEntry() const { return _sbEntry; }

    int handle(int event) override;

private:
    static void cbInput(Fl_Widget*, void* data);
    void callbackInput();
    // The entry number whose text a pair continues in; 0 when none.
    static int pairPartner(int entry);

    SBEntry* _sbEntry;
    SBInput* _sbPairInput;
    SettingBin* _settingBin;
};

#endif
