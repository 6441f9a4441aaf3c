// The main window's layout (button bar, file and unit groups, settings
// editor, help pane, logo and status line) and its callbacks, which hand
// each control to FrmKorProgImpl.

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Pixmap.H>

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/Forms/FrmKorProg.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlBndToProt.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"

namespace {

const int GROUP_FONT_SIZE = 12;

const char* const QUIT_CONSEQUENCE = N_("Bij afsluiten gaan ze verloren");

// An output or input of the file and unit groups.
template <class W>
W* field(int x, int y, int w, int h)
{
    W* o = new W(x, y, w, h);
    o->labelsize(GROUP_FONT_SIZE);
    o->textsize(GROUP_FONT_SIZE);
    return o;
}

Fl_Group* framedGroup(int x, int y, int w, int h)
{
    Fl_Group* g = new Fl_Group(x, y, w, h);
    g->box(FL_PLASTIC_DOWN_BOX);
    g->align(FL_ALIGN_TOP_LEFT);
    g->labelsize(GROUP_FONT_SIZE);
    return g;
}

}  // namespace

Fl_Double_Window* FrmKorProg::crtMainWindow(int x, int y, int w, int h)
{
    // A top-level window, whatever group happens to be open.
    Fl_Group* outer = Fl_Group::current();
    Fl_Group::current(nullptr);
    _window = new Fl_Double_Window(x, y, w, h);
    texts(_window, "Korvan Programmeer Omgeving");
    _window->box(FL_PLASTIC_UP_BOX);
    _window->labelsize(12);
    _window->callback(cb__window, this);

    crtMenuBar();

    _helpView = new Fl_Help_View(714, 10, 335, 555);
    _helpView->box(FL_PLASTIC_DOWN_BOX);
    _helpView->textfont(FL_HELVETICA);
    _helpView->textsize(15);

    _bxCompLogo = new Fl_Box(505, 90, 122, 125);

    _settingEdit = new SBTabs(10, 225, 700, 340);
    _settingEdit->box(FL_PLASTIC_UP_BOX);
    _settingEdit->color(FL_BACKGROUND_COLOR);
    _settingEdit->labelsize(14);
    _settingEdit->configFile("config.csv");
    _settingEdit->helpView(_helpView);

    crtBestGroup();
    crtKorvanGroup();

    // As wide as the window allows beside "Afsluiten", two lines high: a
    // note on how a transfer ended (with its counts and file names) is
    // read whole.
    _txtStatusInfo = new Fl_Multiline_Output(80, 569, 870, 34);
    texts(_txtStatusInfo, "Status Info:");
    _txtStatusInfo->box(FL_PLASTIC_DOWN_BOX);
    _txtStatusInfo->color(44);
    _txtStatusInfo->labelsize(GROUP_FONT_SIZE);
    _txtStatusInfo->textsize(GROUP_FONT_SIZE);
    _txtStatusInfo->wrap(1);

    _btAfsluiten = new Fl_Button(960, 575, 90, 25);
    texts(_btAfsluiten, "Afsluiten");
    _btAfsluiten->box(FL_PLASTIC_UP_BOX);
    _btAfsluiten->callback(cb__btAfsluiten);

    _window->end();
    Fl_Group::current(outer);
    return _window;
}

void FrmKorProg::crtMenuBar()
{
    _grpMenu = new Fl_Group(10, 10, 640, 55);
    _grpMenu->box(FL_PLASTIC_DOWN_BOX);
    struct Def {
        Fl_Button** button;
        int x, w;
        Fl_Pixmap* image;
        const char* label;
        const char* tooltip;
        Fl_Callback* cb;
    };
    const Def defs[] = {
        {&_btNieuw, 15, 65, &image_new, N_("Nieuw"), N_("Nieuw"), cb__btNieuw},
        {&_btOpen, 85, 65, &image_open, N_("Open"), N_("Open"), cb__btOpen},
        {&_btOpslaan, 155, 65, &image_save, N_("Opslaan"), N_("Opslaan"), cb__btOpslaan},
        {&_btProgrammeren, 280, 100, &image_download, N_("Programmeren"), N_("Programmeer Korvan"), cb__btProgrammeren},
        {&_btOphalen, 395, 100, &image_upload, N_("Ophalen"), N_("Haal Korvan instellingen op"), cb__btOphalen},
        {&_btOpties, 580, 65, &image_options, N_("Opties"), N_("Opties"), cb__btOpties},
    };
    for (const Def& d : defs) {
        Fl_Button* b = new Fl_Button(d.x, 12, d.w, 50);
        b->image(d.image);
        texts(b, d.label, d.tooltip);
        b->labelsize(12);
        b->align(FL_ALIGN_IMAGE_OVER_TEXT | FL_ALIGN_INSIDE);
        b->callback(d.cb);
        *d.button = b;
    }
    _grpMenu->end();
}

void FrmKorProg::crtBestGroup()
{
    Fl_Group* g = framedGroup(10, 85, 230, 130);
    texts(g, "Instellingen Bestand");
    _txtBestName = field<Fl_Output>(85, 95, 150, 20);
    texts(_txtBestName, "Naam:");
    _txtBestName->deactivate();
    _txtInKorTypeInstBest = field<Fl_Input>(85, 125, 150, 20);
    texts(_txtInKorTypeInstBest, "Kor. Type:");
    _txtInKorTypeInstBest->when(FL_WHEN_CHANGED);
    _txtInKorTypeInstBest->callback(cb__txtInKorTypeInstBest);
    g->end();
}

void FrmKorProg::crtKorvanGroup()
{
    Fl_Group* g = framedGroup(245, 85, 235, 130);
    texts(g, "Korvan");
    struct Def {
        Fl_Output** out;
        int x, y;
        const char* label;
    };
    const Def defs[] = {
        {&_txtKorType, 320, 92, N_("Type:")},        {&_txtKorSwVer, 320, 115, N_("SW Versie:")},
        {&_txtKorSpecial, 320, 138, N_("Special:")}, {&_txtKorHwVer, 320, 161, N_("HW Versie:")},
        {&_txtKorImei, 321, 184, N_("IMEI:")},
    };
    for (const Def& d : defs) {
        Fl_Output* o = field<Fl_Output>(d.x, d.y, 150, 20);
        texts(o, d.label);
        o->deactivate();
        *d.out = o;
    }
    g->end();
}

// ---- callbacks ----

void FrmKorProg::cb__window(Fl_Widget* o, void* v) { frameOf(o)->cb__window_i(o, v); }
void FrmKorProg::cb__window_i(Fl_Widget*, void*)
{
    // Escape closes dialogs; in the main window it must not end the program.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    if (_frmImpl->editsMayGo(QUIT_CONSEQUENCE)) _frmImpl->shutdown();
}

void FrmKorProg::cb__btNieuw(Fl_Widget* o, void* v) { frameOf(o)->cb__btNieuw_i(o, v); }
void FrmKorProg::cb__btNieuw_i(Fl_Widget*, void*) { _frmImpl->crtBtNewWindow(); }

void FrmKorProg::cb__btOpen(Fl_Widget* o, void* v) { frameOf(o)->cb__btOpen_i(o, v); }
void FrmKorProg::cb__btOpen_i(Fl_Widget*, void*) { _frmImpl->btOpenSb(); }

void FrmKorProg::cb__btOpslaan(Fl_Widget* o, void* v) { frameOf(o)->cb__btOpslaan_i(o, v); }
void FrmKorProg::cb__btOpslaan_i(Fl_Widget*, void*) { _frmImpl->btStoreSb(); }

void FrmKorProg::cb__btProgrammeren(Fl_Widget* o, void* v) { frameOf(o)->cb__btProgrammeren_i(o, v); }
void FrmKorProg::cb__btProgrammeren_i(Fl_Widget*, void*)
{
    if (_ctrlBndSt) _ctrlBndSt->sendLocal(new KvctrlUplReqEvt(), STATE_ROOT);
}

void FrmKorProg::cb__btOphalen(Fl_Widget* o, void* v) { frameOf(o)->cb__btOphalen_i(o, v); }
void FrmKorProg::cb__btOphalen_i(Fl_Widget*, void*)
{
    if (_ctrlBndSt && _frmImpl->editsMayGo(N_("Ophalen vervangt ze door de instellingen van de Korvan")))
        _ctrlBndSt->sendLocal(new KvctrlDldReqEvt(), STATE_ROOT);
}

void FrmKorProg::cb__btOpties(Fl_Widget* o, void* v) { frameOf(o)->cb__btOpties_i(o, v); }
void FrmKorProg::cb__btOpties_i(Fl_Widget*, void*) { _frmImpl->btOptionsWindow(); }

void FrmKorProg::cb__txtInKorTypeInstBest(Fl_Widget* o, void* v) { frameOf(o)->cb__txtInKorTypeInstBest_i(o, v); }
void FrmKorProg::cb__txtInKorTypeInstBest_i(Fl_Widget*, void*) { _frmImpl->txtInKorTypeInstBest_cb(); }

void FrmKorProg::cb__btAfsluiten(Fl_Widget* o, void* v) { frameOf(o)->cb__btAfsluiten_i(o, v); }
void FrmKorProg::cb__btAfsluiten_i(Fl_Widget*, void*)
{
    if (_frmImpl->editsMayGo(QUIT_CONSEQUENCE)) _frmImpl->shutdown();
}
