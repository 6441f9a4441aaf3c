// The frame's life (building, icon, texts, closing) and the view the
// controller, the bin and the configuration talk to. The windows' widgets
// and callbacks: FrmKorProgMainWindow.cpp and FrmKorProgDialogs.cpp.

#include "korprog/progctrl/Forms/FrmKorProg.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/filename.H>
#include <FL/fl_draw.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <string>

#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Forms/images/korprog_icon.xpm"
#include "lib/Flu/Flu_File_Chooser.h"

FrmKorProg::FrmKorProg(KvctrlRoot* ctrlSt, SettingBin* settingBin)
    : _frmImpl(nullptr), _configInit(nullptr), _ctrlRtSt(ctrlSt), _ctrlBndSt(nullptr), _settingBin(settingBin),
      _window(nullptr), _grpMenu(nullptr), _btNieuw(nullptr), _btOpen(nullptr), _btOpslaan(nullptr),
      _btProgrammeren(nullptr), _btOphalen(nullptr), _btOpties(nullptr), _helpView(nullptr), _bxCompLogo(nullptr),
      _settingEdit(nullptr), _txtBestName(nullptr), _txtInKorTypeInstBest(nullptr), _txtKorType(nullptr),
      _txtKorSwVer(nullptr), _txtKorSpecial(nullptr), _txtKorHwVer(nullptr), _txtKorImei(nullptr),
      _txtStatusInfo(nullptr), _btAfsluiten(nullptr), _btNewWindow(nullptr), _btNewChoiceKorType(nullptr),
      _btNewChoiceKorSpecial(nullptr), _btOptionsWindow(nullptr), _btOptComPort(nullptr), _optUpgrade(nullptr),
      _optReadBack(nullptr),
      _txtSwDatumTijd(nullptr), _txtSwVersie(nullptr), _btCrtRevPackWndw(nullptr), _crtRevPackWndw(nullptr),
      _btSelectBin(nullptr), _txtBinDir(nullptr), _btCreateRevPack(nullptr)
{
    _frmImpl = new FrmKorProgImpl(this, ctrlSt);
    _frmImpl->settingBin(settingBin);
    toolkitTexts();
    // Centred on the primary screen; a screen smaller than the window
    // keeps its top-left corner, and with it the title bar, in view.
    int sx, sy, sw, sh;
    Fl::screen_xywh(sx, sy, sw, sh, 0);
    crtMainWindow(std::max(sx, sx + sw / 2 - MAIN_W / 2), std::max(sy, sy + sh / 2 - MAIN_H / 2), MAIN_W, MAIN_H);
    setIcon();
    _window->show();
    _helpView->load(gettext("Startup.html", 0));
    _frmImpl->setLogo();
}

FrmKorProg::~FrmKorProg()
{
    closeNewWindow();
    closeOptionsWindow();
    closeRevPackWndw();
    delete _window;  // with the editor, which lets go of the bin
    _window = nullptr;
    // Dialogs closed from their own callbacks wait for the next event loop,
    // which may never come.
    Fl::do_widget_deletion();
    delete _frmImpl;
}

void FrmKorProg::setIcon()
{
    static Fl_Pixmap icon(korprog_icon_xpm);
    const Fl_RGB_Image rgb(&icon, FL_BACKGROUND_COLOR);
    _window->icon(&rgb);  // copied
    // Desktops match the window to korprog.desktop by its class.
    _window->xclass("korprog");
}

void FrmKorProg::show() { _window->show(); }

void FrmKorProg::txtStatusInfo(const char* text)
{
    if (!text) text = "";
    _txtStatusInfo->value(text);
    // What the two lines cannot hold is read on hover.
    fl_font(_txtStatusInfo->textfont(), _txtStatusInfo->textsize());
    int w = _txtStatusInfo->w() - Fl::box_dw(_txtStatusInfo->box()) - STATUS_MARGIN, h = 0;
    fl_measure(text, w, h, 0);
    const bool fits = h <= _txtStatusInfo->h() - Fl::box_dh(_txtStatusInfo->box());
    _txtStatusInfo->copy_tooltip(fits ? nullptr : text);
}

void FrmKorProg::texts(Fl_Widget* w, const char* label, const char* tooltip)
{
    if (label) w->copy_label(gettext(label, 0));
    if (tooltip) w->copy_tooltip(gettext(tooltip, 0));
}

void FrmKorProg::toolkitTexts()
{
    // FLTK keeps the pointers: the translations are copied, so that they
    // outlive a language table read again.
    static const struct {
        const char** label;
        const char* text;
    } TEXTS[] = {
        {&fl_ok, N_("OK")},
        {&fl_cancel, N_("Afbreken")},
        {&fl_close, N_("Sluiten")},
        {&fl_yes, N_("Ja")},
        {&fl_no, N_("Nee")},
        {&Flu_File_Chooser::filename_label, N_("Naam:")},
        {&Flu_File_Chooser::show_label, N_("Toon:")},
        {&Flu_File_Chooser::all_files_label, N_("Alle bestanden (*)")},
        {&Flu_File_Chooser::ok_label, N_("OK")},
        {&Flu_File_Chooser::save_label, N_("Opslaan")},
        {&Flu_File_Chooser::cancel_label, N_("Afbreken")},
        {&Flu_File_Chooser::up_tooltip, N_("Naar de bovenliggende map")},
    };
    static std::string translated[sizeof TEXTS / sizeof *TEXTS];
    for (size_t i = 0; i < sizeof TEXTS / sizeof *TEXTS; ++i) {
        translated[i] = gettext(TEXTS[i].text, 0);
        *TEXTS[i].label = translated[i].c_str();
    }
}

const char* FrmKorProg::customKorType(const char* type) const
{
    if (!type) return "";
    return _configInit ? _configInit->customKorType(type) : type;
}

// ---- what the controller, the bin and the configuration see ----

void FrmKorProg::statusInfo(const char* text, bool disconnect)
{
    _txtStatusInfo->color(disconnect ? FL_RED : FL_BACKGROUND_COLOR);
    txtStatusInfo(text);
    _txtStatusInfo->redraw();
    _txtStatusInfo->show();
}

void FrmKorProg::upgradeProgress(const char* text, int, int) { statusInfo(text, false); }

void FrmKorProg::removeSettingEdit() { _settingEdit->editClose(); }

void FrmKorProg::cursorBusy(bool busy) { _frmImpl->cursorBusy(busy); }

void FrmKorProg::activateButtons(bool on) { _frmImpl->activateButtons(on); }

void FrmKorProg::enableSwUpgrade()
{
    _frmImpl->btOptionsWindow();
    if (_btOptionsWindow) _btOptionsWindow->hide();
    if (_optUpgrade) _optUpgrade->value(1);
    _frmImpl->btOptCkSwUpgrade();
}

void FrmKorProg::btOptCkSwUpgrade() { _frmImpl->btOptCkSwUpgrade(); }

bool FrmKorProg::btOpenSb() { return _frmImpl->btOpenSb(); }

void FrmKorProg::shutdown() { _frmImpl->shutdown(); }

bool FrmKorProg::checkTypeHwVers() { return _frmImpl->checkTypeHwVers(); }

void FrmKorProg::waitEvents() { Fl::wait(0.01); }

void FrmKorProg::showBestGroup(const char* fileName, const char* korType)
{
    if (fileName) _txtBestName->value(fl_filename_name(fileName));
    if (korType) _txtInKorTypeInstBest->value(customKorType(korType));
}

void FrmKorProg::showKorvanGroup(const char* type, const char* swVer, const char* special, const char* hwVer,
                                 const char* imei)
{
    _txtKorType->value(customKorType(type));
    _txtKorSwVer->value(swVer ? swVer : "");
    _txtKorSpecial->value(special ? special : "");
    _txtKorHwVer->value(hwVer ? hwVer : "");
    _txtKorImei->value(imei ? imei : "");
    if (!imei || !*imei) {
        _txtKorImei->hide();
    } else {
        _txtKorImei->show();
        _txtKorImei->activate();
    }
}

void FrmKorProg::createSettingEdit()
{
    _settingEdit->editClose();
    _settingEdit->editSettingBin(_settingBin);
}

void FrmKorProg::editClose() { _settingEdit->editClose(); }

void FrmKorProg::offerSave() { _frmImpl->btStoreSb(); }


void FrmKorProg::configInit(ConfigInit* config)
{
    _configInit = config;
    _frmImpl->configInit(config);
}

void FrmKorProg::openOptionsWindow() { _frmImpl->btOptionsWindow(); }

// ---- dialogs ----

void FrmKorProg::closeNewWindow()
{
    if (_btNewWindow) Fl::delete_widget(_btNewWindow);
    _btNewWindow = nullptr;
    _btNewChoiceKorType = nullptr;
    _btNewChoiceKorSpecial = nullptr;
}

void FrmKorProg::closeOptionsWindow()
{
    if (_btOptionsWindow) Fl::delete_widget(_btOptionsWindow);
    _btOptionsWindow = nullptr;
    _btOptComPort = nullptr;
    _optUpgrade = nullptr;
    _optReadBack = nullptr;
    _txtSwDatumTijd = nullptr;
    _txtSwVersie = nullptr;
    _btCrtRevPackWndw = nullptr;
}

void FrmKorProg::closeRevPackWndw()
{
    if (_crtRevPackWndw) Fl::delete_widget(_crtRevPackWndw);
    _crtRevPackWndw = nullptr;
    _btSelectBin = nullptr;
    _txtBinDir = nullptr;
    _btCreateRevPack = nullptr;
}

FrmKorProg* FrmKorProg::frameOf(Fl_Widget* o)
{
    Fl_Window* w = o->as_window() ? o->as_window() : o->window();
    return static_cast<FrmKorProg*>(w->user_data());
}
