#ifndef KORPROG_PROGCTRL_FORMS_FRMKORPROGIMPL_H
#define KORPROG_PROGCTRL_FORMS_FRMKORPROGIMPL_H

#include <memory>
#include <string>
#include <vector>

class ConfigInit;
class ExternalEditor;
class Fl_Widget;
class FrmKorProg;
class KvctrlBndToProt;
class KvctrlRoot;
class RPbinList;
class RPbtUpgrade;
class RPrefPackList;
class RevPackDb;
class SettingBin;

// What the main window's controls do: new settings for a chosen type,
// opening and saving settings files, the options window, the busy cursor,
// the menu buttons, the logo and the orderly end of the program; and the
// upgrade tab and the revision-pack creation window. Requests to the
// controller go as local events through its binder state; the controller's
// state is never changed from here.
class FrmKorProgImpl {
public:
    // Set from the command line.
    static bool CREATE_REVPACK;
    // The settings file to program, and whether the program was started to
    // program it without anybody watching.
    static const char* PROG_FILE_ADN;
    static bool CMDL_PROGRAM;

    // The extension of settings files.
    static const char* const ADN_EXT;
    // The special code of settings without a special build.
    static const char* const NO_SPECIAL;

    FrmKorProgImpl(FrmKorProg* frame, KvctrlRoot* root);
    virtual ~FrmKorProgImpl();

    void configInit(ConfigInit* config) { _configInit = config; }
    void settingBin(SettingBin* bin) { _settingBin = bin; }

    // "Nieuw": the dialog for new settings, with its two lists filled.
    void crtBtNewWindow();
    void addBtNewChKorType();
    // Its OK: new settings for the chosen type and special. False (the
    // dialog stays) for a type the configuration does not know.
    bool btNewSetKor();
    // Every change of "Kor. Type:".
    void txtInKorTypeInstBest_cb();
    // "Open" (and command-line programming): loads a settings file; true
    // when one was loaded.
    bool btOpenSb();
    // "Opslaan": saves the settings under a name the user confirms.
    void btStoreSb();
    // "Opties": the options window, built anew.
    void btOptionsWindow();
    void cursorBusy(bool busy);
    // The six menu buttons; "Afsluiten" always works.
    void activateButtons(bool on);
    // Ends the program (once).
    void shutdown();
    // Whether edits not saved yet may go for what comes next (consequence:
    // its line in the question): asked first; keeping them is the default,
    // saving them lets them go once they are saved.
    bool editsMayGo(const char* consequence);
    void setLogo();

    // The upgrade tab.
    void btOptCkSwUpgrade();
    bool btExecUpgrade();
    bool checkTypeHwVers();
    // The revision-pack creation window.
    void createRevPackWndw();
    void btSelectBin();
    void createRevPack();
    void editSwHwRestr();

    // The type list of the new-settings dialog: each name followed by ", "
    // and its product line, sorted by network type and report function,
    // then by the input and output counts.
    static std::vector<std::string> describedKorTypes(const std::vector<const char*>& types);

private:
    FrmKorProgImpl(const FrmKorProgImpl&) = delete;
    FrmKorProgImpl& operator=(const FrmKorProgImpl&) = delete;

    bool loadSettings(const std::string& file);
    // Questions before saving: a name without ".adn", and a file that
    // exists already (the open one only when there is nothing to save).
    // True when the user wants the file written.
    bool extensionConfirmed(const std::string& file);
    bool replaceConfirmed(const std::string& file);
    // No entry holds anything (a unit that went away took them along).
    bool binEmpty() const;
    // Whether the upgrade tab is still there; forgets its widgets when not.
    bool upgradeTabOpen();
    void activateUpgradeTab(bool on);

    FrmKorProg* _frame;
    KvctrlRoot* _root;
    ConfigInit* _configInit;
    SettingBin* _settingBin;
    RevPackDb* _rpDb;
    KvctrlBndToProt* _ctrlBnd;
    RPrefPackList* _rpList;
    RPbinList* _binList;
    RPbtUpgrade* _btUpgrade;
    // The upgrade tab's sheet, cleared by FLTK when the editor deletes it:
    // the three widget pointers above are valid only while it is set.
    Fl_Widget* _upgradeTab;
    // Where "Edit restrictions" opens its file.
    std::unique_ptr<ExternalEditor> _editor;
};

#endif
