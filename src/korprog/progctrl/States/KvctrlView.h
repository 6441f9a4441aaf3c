#ifndef KORPROG_PROGCTRL_STATES_KVCTRLVIEW_H
#define KORPROG_PROGCTRL_STATES_KVCTRLVIEW_H

#include "korprog/progctrl/Data/ConfigInitView.h"
#include "korprog/progctrl/Data/SettingBinView.h"

class KvctrlBndToProt;

// What the programming controller needs from the main window. The window
// implements it (and with it what the setting bin and the configuration
// need); a run without a display gets the console's. The controller root
// creates the view through KvctrlRoot::viewFactory and owns it.
class KvctrlView : public SettingBinView, public ConfigInitView {
public:
    // The status line: its text, red when disconnect.
    virtual void statusInfo(const char* text, bool disconnect) = 0;
    // The status line while counted work goes on: text ("Programmeren #17
    // gereed.") after done of total entries. The window shows it as any.
    virtual void countInfo(const char* text, int /*done*/, int /*total*/) { statusInfo(text, false); }
    // A status line the reader must keep (an unattended run's notes): never
    // rewritten in place. The window shows it as any.
    virtual void noticeInfo(const char* text) { statusInfo(text, false); }
    // The status line during the image transfer: text ("Upgrading 50% ready")
    // after done of total image bytes were sent.
    virtual void upgradeProgress(const char* text, int done, int total) = 0;
    // Closes the settings editor.
    virtual void removeSettingEdit() = 0;
    // The binder state through which the window posts its requests.
    virtual void ctrlBndSt(KvctrlBndToProt* bndSt) = 0;
    virtual void cursorBusy(bool busy) = 0;
    // The six menu buttons.
    virtual void activateButtons(bool on) = 0;
    // A revision pack was given on the command line: the options window
    // opens and hides again with "Enable software upgrade: " ticked, and the
    // upgrade tab opens (btOptCkSwUpgrade).
    virtual void enableSwUpgrade() = 0;
    // Opens the upgrade tab (or closes the editor when upgrades are off).
    virtual void btOptCkSwUpgrade() = 0;
    // Command-line programming: loads FrmKorProgImpl::PROG_FILE_ADN into the
    // setting bin; true when it was loaded.
    virtual bool btOpenSb() = 0;
    // Ends the program (Main::_shutdown) unless it is already ending.
    virtual void shutdown() = 0;
    // Whether the chosen firmware image suits the unit's type and hardware.
    virtual bool checkTypeHwVers() = 0;
    // Runs the window's event loop once (about 10 ms).
    virtual void waitEvents() = 0;
};

#endif
