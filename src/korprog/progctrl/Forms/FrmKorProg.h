#ifndef KORPROG_PROGCTRL_FORMS_FRMKORPROG_H
#define KORPROG_PROGCTRL_FORMS_FRMKORPROG_H

#include "korprog/progctrl/States/KvctrlView.h"

class ConfigInit;
class Fl_Box;
class Fl_Button;
class Fl_Check_Button;
class Fl_Double_Window;
class Fl_Group;
class Fl_Help_View;
class Fl_Input;
class Fl_Output;
class Fl_Pixmap;
class Fl_Widget;
class Flu_Combo_List;
class FrmKorProgImpl;
class KvctrlRoot;
class NewKorTypes;
class SBTabs;
class SettingBin;
namespace kp {
class Fl_Input_Choice;
}

// The program's windows: the main window, the dialog for new settings, the
// options window and the window that creates a revision-pack database. One
// builder per window (the main window's in FrmKorProgMainWindow.cpp, the
// dialogs' in FrmKorProgDialogs.cpp); every widget callback is a static
// trampoline that finds this object through its window's user data and
// calls the member of the same name ending in _i. The behaviour behind the
// controls lives in FrmKorProgImpl, which works on the widgets held here.
//
// The main window lives as long as this object; a dialog exists while it is
// open. Closing the main window ends the program.
class FrmKorProg : public KvctrlView {
public:
    // The main window's size; it is centred on the screen.
    static const int MAIN_W = 1057;
    static const int MAIN_H = 609;
    // The status line's text keeps this far from its frame.
    static const int STATUS_MARGIN = 6;

    // Builds and shows the main window for the controller and its bin.
    FrmKorProg(KvctrlRoot* ctrlSt, SettingBin* settingBin);
    // Closes the editor and deletes the windows. The bin must still exist.
    ~FrmKorProg() override;

    void show();
    void txtStatusInfo(const char* text);

    // The view the controller, the bin and the configuration talk to.
    void statusInfo(const char* text, bool disconnect) override;
    void upgradeProgress(const char* text, int done, int total) override;
    void removeSettingEdit() override;
    void ctrlBndSt(KvctrlBndToProt* bndSt) override { _ctrlBndSt = bndSt; }
    void cursorBusy(bool busy) override;
    void activateButtons(bool on) override;
    void enableSwUpgrade() override;
    void btOptCkSwUpgrade() override;
    bool btOpenSb() override;
    void shutdown() override;
    bool checkTypeHwVers() override;
    void waitEvents() override;
    void showBestGroup(const char* fileName, const char* korType) override;
    void showKorvanGroup(const char* type, const char* swVer, const char* special, const char* hwVer,
                         const char* imei) override;
    void createSettingEdit() override;
    void editClose() override;
    void offerSave() override;
    void configInit(ConfigInit* config) override;
    void openOptionsWindow() override;

    ConfigInit* configInit() const { return _configInit; }
    KvctrlRoot* ctrlRtSt() const { return _ctrlRtSt; }
    KvctrlBndToProt* ctrlBndSt() const { return _ctrlBndSt; }
    SettingBin* settingBin() const { return _settingBin; }
    FrmKorProgImpl* frmImpl() const { return _frmImpl; }
    Fl_Double_Window* mainWindow() const { return _window; }

    // The builders. Dialogs are top-level windows with this object as user
    // data; each replaces its pointers, so close the open one first.
    Fl_Double_Window* crtMainWindow(int x, int y, int w, int h);
    Fl_Double_Window* crtBtNewWindow();
    Fl_Double_Window* crtBtOptionWindow();
    Fl_Double_Window* crtRevPackWndw();

    // Shows a dialog over the main window.
    void showDialog(Fl_Double_Window* dialog);
    // Close a dialog: it is hidden at once and deleted once its callbacks
    // have returned; the pointers into it are cleared.
    void closeNewWindow();
    void closeOptionsWindow();
    void closeRevPackWndw();

    // The button images, drawn from the XPM sources.
    static Fl_Pixmap image_new;
    static Fl_Pixmap image_open;
    static Fl_Pixmap image_save;
    static Fl_Pixmap image_download;
    static Fl_Pixmap image_upload;
    static Fl_Pixmap image_options;

private:
    friend class FrmKorProgImpl;

    FrmKorProg(const FrmKorProg&) = delete;
    FrmKorProg& operator=(const FrmKorProg&) = delete;

    void crtMenuBar();
    void crtBestGroup();
    void crtKorvanGroup();
    void setIcon();

    static FrmKorProg* frameOf(Fl_Widget* o);
    // Label and tooltip, translated and held by the widget.
    static void texts(Fl_Widget* w, const char* label, const char* tooltip = nullptr);
    // The toolkit's own dialog texts (alert and chooser buttons) translated.
    static void toolkitTexts();
    // The name users know a standard type code by.
    const char* customKorType(const char* type) const;

    // Main window.
    static void cb__window(Fl_Widget* o, void* v);
    void cb__window_i(Fl_Widget* o, void* v);
    static void cb__btNieuw(Fl_Widget* o, void* v);
    void cb__btNieuw_i(Fl_Widget* o, void* v);
    static void cb__btOpen(Fl_Widget* o, void* v);
    void cb__btOpen_i(Fl_Widget* o, void* v);
    static void cb__btOpslaan(Fl_Widget* o, void* v);
    void cb__btOpslaan_i(Fl_Widget* o, void* v);
    static void cb__btProgrammeren(Fl_Widget* o, void* v);
    void cb__btProgrammeren_i(Fl_Widget* o, void* v);
    static void cb__btOphalen(Fl_Widget* o, void* v);
    void cb__btOphalen_i(Fl_Widget* o, void* v);
    static void cb__btOpties(Fl_Widget* o, void* v);
    void cb__btOpties_i(Fl_Widget* o, void* v);
    static void cb__txtInKorTypeInstBest(Fl_Widget* o, void* v);
    void cb__txtInKorTypeInstBest_i(Fl_Widget* o, void* v);
    static void cb__btAfsluiten(Fl_Widget* o, void* v);
    void cb__btAfsluiten_i(Fl_Widget* o, void* v);

    // New settings.
    static void cb__btNewWindow(Fl_Widget* o, void* v);
    void cb__btNewWindow_i(Fl_Widget* o, void* v);
    static void cb__btNewChoice(Fl_Widget* o, void* v);
    void cb__btNewChoice_i(Fl_Widget* o, void* v);
    static void cb__btNewOk(Fl_Widget* o, void* v);
    void cb__btNewOk_i(Fl_Widget* o, void* v);

    // Options.
    static void cb__btOptionsWindow(Fl_Widget* o, void* v);
    void cb__btOptionsWindow_i(Fl_Widget* o, void* v);
    static void cb__btOptOk(Fl_Widget* o, void* v);
    void cb__btOptOk_i(Fl_Widget* o, void* v);
    static void cb__btCrtRevPackWndw(Fl_Widget* o, void* v);
    void cb__btCrtRevPackWndw_i(Fl_Widget* o, void* v);

    // Revision-pack creation.
    static void cb__crtRevPackWndw(Fl_Widget* o, void* v);
    void cb__crtRevPackWndw_i(Fl_Widget* o, void* v);
    static void cb__btSelectBin(Fl_Widget* o, void* v);
    void cb__btSelectBin_i(Fl_Widget* o, void* v);
    static void cb__btCreateRevPack(Fl_Widget* o, void* v);
    void cb__btCreateRevPack_i(Fl_Widget* o, void* v);
    static void cb__btEditRestr(Fl_Widget* o, void* v);
    void cb__btEditRestr_i(Fl_Widget* o, void* v);

    FrmKorProgImpl* _frmImpl;
    ConfigInit* _configInit;
    KvctrlRoot* _ctrlRtSt;
    KvctrlBndToProt* _ctrlBndSt;
    SettingBin* _settingBin;

    Fl_Double_Window* _window;
    Fl_Group* _grpMenu;
    Fl_Button* _btNieuw;
    Fl_Button* _btOpen;
    Fl_Button* _btOpslaan;
    Fl_Button* _btProgrammeren;
    Fl_Button* _btOphalen;
    Fl_Button* _btOpties;
    Fl_Help_View* _helpView;
    Fl_Box* _bxCompLogo;
    SBTabs* _settingEdit;
    Fl_Output* _txtBestName;
    Fl_Input* _txtInKorTypeInstBest;
    Fl_Output* _txtKorType;
    Fl_Output* _txtKorSwVer;
    Fl_Output* _txtKorSpecial;
    Fl_Output* _txtKorHwVer;
    Fl_Output* _txtKorImei;
    Fl_Output* _txtStatusInfo;
    Fl_Button* _btAfsluiten;

    Fl_Double_Window* _btNewWindow;
    NewKorTypes* _btNewChoiceKorType;
    Flu_Combo_List* _btNewChoiceKorSpecial;

    Fl_Double_Window* _btOptionsWindow;
    kp::Fl_Input_Choice* _btOptComPort;
    Fl_Check_Button* _optUpgrade;
    Fl_Check_Button* _optReadBack;  // programmed settings are read back and compared
    Fl_Output* _txtSwDatumTijd;
    Fl_Output* _txtSwVersie;
    Fl_Button* _btCrtRevPackWndw;

    Fl_Double_Window* _crtRevPackWndw;
    Fl_Button* _btSelectBin;
    Fl_Output* _txtBinDir;
    Fl_Button* _btCreateRevPack;
};

#endif
