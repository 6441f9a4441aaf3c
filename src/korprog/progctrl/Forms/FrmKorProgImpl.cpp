#include "korprog/progctrl/Forms/FrmKorProgImpl.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_GIF_Image.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/filename.H>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "bdebug/BAssert.h"
#include "bdebug/BTrace.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/StringUtils.h"
#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/Fl_Input_Choice.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/NewKorTypes.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/ExternalEditor.h"
#include "korprog/progctrl/Forms/FrmKorProg.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "lib/Flu/Flu_Combo_List.h"
#include "main/Main.h"

bool FrmKorProgImpl::CREATE_REVPACK = false;
const char* FrmKorProgImpl::PROG_FILE_ADN = "";
// CMDL_PROGRAM says who answers: it is defined beside that question
// (korprog/RunMode.cpp).
const char* const FrmKorProgImpl::ADN_EXT = ".adn";
const char* const FrmKorProgImpl::NO_SPECIAL = "     ";

namespace {

const char* const NO_SPECIAL_CHOICE = "---";
const int NR_SPECIALS = 99;

// Product lines by the two letters of network type and report function;
// a later match wins.
const struct {
    const char* letters;
    const char* line;
} PRODUCT_LINES[] = {
    {"NM", "Line-A"}, {"GM", "Line-A"},     {"GL", "Line-A-Log"}, {"IM", "Line-B"},
    {"WL", "Line-C-Log"}, {"WG", "Line-C-Pos"}, {"PM", "Line-D"},     {"PL", "Line-D-Log"},
};

// Network type and report function, then the four input and output counts.
std::string sortKey(const std::string& type)
{
    auto part = [&type](size_t from, size_t n) { return from < type.size() ? type.substr(from, n) : std::string(); };
    return part(6, 2) + part(2, 4);
}

}  // namespace

FrmKorProgImpl::FrmKorProgImpl(FrmKorProg* frame, KvctrlRoot* root)
    : _frame(frame), _root(root), _configInit(nullptr), _settingBin(nullptr), _rpDb(nullptr), _ctrlBnd(nullptr),
      _rpList(nullptr), _binList(nullptr), _btUpgrade(nullptr), _upgradeTab(nullptr), _editor(new ExternalEditor())
{
    Fl::scheme("plastic");
    if (PROG_FILE_ADN && *PROG_FILE_ADN) CMDL_PROGRAM = true;
}

FrmKorProgImpl::~FrmKorProgImpl()
{
    // FLTK must not clear the pointer once it is gone.
    Fl::release_widget_pointer(_upgradeTab);
}

// ---- new settings ----

std::vector<std::string> FrmKorProgImpl::describedKorTypes(const std::vector<const char*>& types)
{
    std::vector<std::string> out;
    for (const char* t : types) {
        const char* line = "";
        for (const auto& p : PRODUCT_LINES)
            if (std::strstr(t, p.letters)) line = p.line;
        out.push_back(*line ? std::string(t) + ", " + line : std::string(t));
    }
    std::stable_sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
        return std::strcmp(sortKey(a).c_str(), sortKey(b).c_str()) < 0;
    });
    return out;
}

void FrmKorProgImpl::crtBtNewWindow()
{
    _frame->closeNewWindow();
    _frame->crtBtNewWindow();
    addBtNewChKorType();
    _frame->showDialog(_frame->_btNewWindow);
}

void FrmKorProgImpl::addBtNewChKorType()
{
    NewKorTypes* types = _frame->_btNewChoiceKorType;
    types->list.clear();
    if (_configInit)
        for (const std::string& t : describedKorTypes(_configInit->korTypes())) types->list.add(t.c_str());
    types->select(1);

    Flu_Combo_List* specials = _frame->_btNewChoiceKorSpecial;
    specials->list.clear();
    specials->list.add(NO_SPECIAL_CHOICE);
    for (int i = 1; i <= NR_SPECIALS; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "X%02d", i);
        specials->list.add(code);
    }
    specials->select(1);
}

bool FrmKorProgImpl::btNewSetKor()
{
    const std::vector<std::string> parts = StringUtils::explode(_frame->_btNewChoiceKorType->value(), ", ", false);
    const std::string type = parts.empty() ? std::string() : parts[0];
    // A type nobody knows would leave settings that no unit takes.
    if (!_configInit || !*_configInit->ombrixKorType(type.c_str())) {
        Dialog::alert("%s: \"%s\"\n", gettext("Onbekend Korvan Type", 0), type.c_str());
        return false;
    }
    std::string special = _frame->_btNewChoiceKorSpecial->value();
    std::string shown = type;
    if (special != NO_SPECIAL_CHOICE)
        shown += "-" + special;
    else
        special = NO_SPECIAL;
    // New settings belong to no file yet: saving them must not replace the
    // file that was open.
    _settingBin->file("");
    _frame->showBestGroup("", shown.c_str());
    _settingBin->editFromDownload(false);
    _settingBin->korTypeFromNew(type.c_str(), special.c_str(), true);
    return true;
}

void FrmKorProgImpl::txtInKorTypeInstBest_cb()
{
    _settingBin->korTypeFromNew(_frame->_txtInKorTypeInstBest->value(), "   ", false);
}

// ---- settings files ----

bool FrmKorProgImpl::loadSettings(const std::string& file)
{
    // What -program sends nobody checks: it takes no file the window would
    // have to change.
    const AdnFile::Rule rule = CMDL_PROGRAM ? AdnFile::STRICT : AdnFile::TOLERANT;
    std::string why;
    const AdnFile::Result result = AdnFile::load(*_settingBin, file, rule, &why);
    if (result == AdnFile::LOADED) return true;
    B_ERROR(" File:" << file << " can not be openened!! " << why);
    // Nobody reads the trace while choosing a file.
    if (RunMode::unattended()) return false;
    if (result == AdnFile::CANNOT_OPEN) {
        Dialog::alert("%s \"%s\" %s.\n", gettext("Fout!! Bestand", 0), file.c_str(),
                      gettext("kan niet geopend worden", 0));
    } else {
        const std::string text =
            Translated::message("Fout!! Bestand \"%s\" kan niet gelezen worden: %s.", file.c_str(), why.c_str());
        Dialog::alert("%s\n", text.c_str());
    }
    return false;
}

bool FrmKorProgImpl::btOpenSb()
{
    if (CMDL_PROGRAM) return loadSettings(PROG_FILE_ADN);
    const std::string file = Dialog::chooseFile(gettext("Selecteer Bestand", 0), "*.adn", _settingBin->file());
    return !file.empty() && loadSettings(file);
}

void FrmKorProgImpl::btStoreSb()
{
    std::string file;
    // A program ending while the dialogs are open saves nothing.
    while (!Main::shutdownActive()) {
        file = Dialog::chooseFile(gettext("Opslaan van Setting Bestand", 0), "*.adn", _settingBin->file(), true);
        if (file.empty() || (extensionConfirmed(file) && replaceConfirmed(file))) break;
        file.clear();
    }
    if (!file.empty() && !Main::shutdownActive()) {
        _frame->showBestGroup(file.c_str(), nullptr);
        _settingBin->file(file.c_str());
        _settingBin->storeToFile();
    }
}

bool FrmKorProgImpl::extensionConfirmed(const std::string& file)
{
    if (std::strcmp(fl_filename_ext(file.c_str()), ADN_EXT) == 0) return true;
    Dialog::beep();
    char question[4200];
    std::snprintf(question, sizeof question, "%s %s\n%s '.adn'\n%s\n", gettext("Attentie!! Bestands naam:", 0),
                  file.c_str(), gettext("bevat geen extensie", 0), gettext("Deze bestands naam is correct?", 0));
    return Dialog::choice(question, gettext("Nee", 0), gettext("Ja", 0), nullptr) == 1;
}

bool FrmKorProgImpl::replaceConfirmed(const std::string& file)
{
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return true;
    const bool empty = binEmpty();
    // Saving the open file again is what "Opslaan" is for, unless there is
    // nothing left to save.
    if (!empty && *_settingBin->file() && std::filesystem::equivalent(file, _settingBin->file(), ec)) return true;
    std::string question = empty ? std::string(gettext("Er zijn geen instellingen om op te slaan.", 0)) + "\n" : "";
    question += Translated::message("Bestand %s bestaat al. Vervangen?", file.c_str()) + "\n";
    return Dialog::choice(question.c_str(), gettext("Nee", 0), gettext("Ja", 0), nullptr, 0) == 1;
}

bool FrmKorProgImpl::binEmpty() const
{
    for (int nr = 1; nr < SettingBin::MAX_ENTRIES; ++nr) {
        const SettingEntry* e = _settingBin->getEntry(static_cast<uint8_t>(nr));
        if (e && (e->text[0] != '\0' || e->tfnr[0] != '\0')) return false;
    }
    return true;
}

// ---- options ----

void FrmKorProgImpl::btOptionsWindow()
{
    _frame->closeOptionsWindow();
    _frame->crtBtOptionWindow();

    // The ports found to choose from; any other device path may be typed.
    // Only a port in use is shown: with none, OK keeps none.
    kp::Fl_Input_Choice* ports = _frame->_btOptComPort;
    ports->clear();
    ports->editable(true);
    if (_configInit) {
        const char* active = _configInit->comActive();
        if (*active) ports->add(active);
        char* found[ConfigInit::MAX_COM_PORTS];
        const int n = _configInit->comPorts(found);
        for (int i = 0; i < n; ++i)
            if (std::strcmp(found[i], active) != 0) ports->add(found[i]);
        if (*active) ports->value(0);
    }

    char built[64];
    std::snprintf(built, sizeof built, "%s, %s", __DATE__, __TIME__);
    _frame->_txtSwDatumTijd->value(built);
    _frame->_txtSwVersie->value(Sw_VERSION);

    _frame->_optReadBack->value(!_configInit || _configInit->verifyAfterProgramming());
    // Ticked while its tab is open, so that OK keeps the tab.
    _frame->_optUpgrade->value(upgradeTabOpen() ? 1 : 0);
    _frame->_optUpgrade->hide();
    if (CREATE_REVPACK) _frame->_btCrtRevPackWndw->show();
    _root->createRevPack();
    if (_root->revPack() && _root->revPack()->exist()) _frame->_optUpgrade->show();

    _frame->showDialog(_frame->_btOptionsWindow);
}

// ---- cursor, buttons, end, logo ----

void FrmKorProgImpl::cursorBusy(bool busy)
{
    _frame->_window->cursor(busy ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT, FL_BLACK, FL_BACKGROUND_COLOR);
}

void FrmKorProgImpl::activateButtons(bool on)
{
    for (Fl_Button* b : {_frame->_btNieuw, _frame->_btOpen, _frame->_btOpslaan, _frame->_btProgrammeren,
                         _frame->_btOphalen, _frame->_btOpties}) {
        if (on)
            b->activate();
        else
            b->deactivate();
    }
    // The upgrade tab rests with them, and is usable again when a transfer ends.
    if (upgradeTabOpen()) activateUpgradeTab(on);
}

void FrmKorProgImpl::shutdown()
{
    BTrace::instance()->dbgPrint("=-->FrmKorProgImpl::shutdown", true, true);
    if (!Main::shutdownActive()) Main::_shutdown = true;
}

bool FrmKorProgImpl::editsMayGo(const char* consequence)
{
    if (!_settingBin || !_settingBin->unsavedChanges()) return true;
    switch (SettingBin::askUnsaved("", std::string(gettext(consequence, 0)) + ".\n")) {
    case SettingBin::DROP_EDITS: return true;
    case SettingBin::SAVE_EDITS: btStoreSb(); return !_settingBin->unsavedChanges();
    case SettingBin::KEEP_EDITS: break;
    }
    return false;
}

void FrmKorProgImpl::setLogo()
{
    static Fl_GIF_Image* logo = nullptr;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        logo = new Fl_GIF_Image("Ombrix_KorProg.gif");
        if (logo->fail() || logo->w() <= 0) {
            delete logo;
            logo = nullptr;
        }
    }
    if (!logo) return;
    _frame->_bxCompLogo->image(logo);
    _frame->_bxCompLogo->show();
}
