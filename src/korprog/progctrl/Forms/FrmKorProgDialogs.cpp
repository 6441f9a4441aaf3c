// The dialogs: new settings, options, revision-pack creation.

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Return_Button.H>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "korprog/Dialog.h"
#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/Fl_Input_Choice.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/NewKorTypes.h"
#include "korprog/progctrl/Forms/FrmKorProg.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlBndToProt.h"
#include "lib/Flu/Flu_Combo_List.h"

namespace {

// A top-level dialog owned by frame, whatever group happens to be open.
class DialogBuild {
public:
    DialogBuild() : _outer(Fl_Group::current()) { Fl_Group::current(nullptr); }
    ~DialogBuild() { Fl_Group::current(_outer); }

private:
    Fl_Group* _outer;
};

// The x where fields with these labels at their left begin, so that the
// longest label (in the language in use) stays inside the window.
int fieldX(int minX, std::initializer_list<Fl_Widget*> labelled)
{
    int x = minX;
    for (Fl_Widget* w : labelled) {
        int lw = 0, lh = 0;
        w->measure_label(lw, lh);
        x = std::max(x, 10 + lw + 6);
    }
    return x;
}

// Fields that begin at x and end where they ended.
void moveLeftEdge(int x, std::initializer_list<Fl_Widget*> fields)
{
    for (Fl_Widget* w : fields) w->resize(x, w->y(), w->x() + w->w() - x, w->h());
}

}  // namespace

Fl_Double_Window* FrmKorProg::crtBtNewWindow()
{
    DialogBuild build;
    _btNewWindow = new Fl_Double_Window(396, 106);
    texts(_btNewWindow, "Selecteer Korvan Type");
    _btNewWindow->callback(cb__btNewWindow, this);

    _btNewChoiceKorType = new NewKorTypes(80, 15, 310, 25);
    texts(_btNewChoiceKorType, "Korvan Type:");
    _btNewChoiceKorType->color(FL_WHITE);
    _btNewChoiceKorType->align(FL_ALIGN_LEFT);
    _btNewChoiceKorType->labelsize(12);
    _btNewChoiceKorType->callback(cb__btNewChoice);

    Fl_Return_Button* ok = new Fl_Return_Button(320, 75, 70, 25);
    texts(ok, "OK");
    ok->box(FL_PLASTIC_UP_BOX);
    ok->callback(cb__btNewOk);

    Fl_Button* cancel = new Fl_Button(235, 75, 80, 25);
    texts(cancel, "Afbreken");
    cancel->box(FL_PLASTIC_UP_BOX);
    cancel->callback(cb__btNewWindow);

    _btNewChoiceKorSpecial = new Flu_Combo_List(80, 45, 310, 25);
    texts(_btNewChoiceKorSpecial, "Special:");
    _btNewChoiceKorSpecial->color(FL_WHITE);
    _btNewChoiceKorSpecial->align(FL_ALIGN_LEFT);
    _btNewChoiceKorSpecial->labelsize(12);
    _btNewChoiceKorSpecial->editable(false);
    _btNewChoiceKorSpecial->callback(cb__btNewChoice);

    const int x = fieldX(80, {_btNewChoiceKorType, _btNewChoiceKorSpecial});
    moveLeftEdge(x, {_btNewChoiceKorType, _btNewChoiceKorSpecial});

    _btNewWindow->end();
    return _btNewWindow;
}

Fl_Double_Window* FrmKorProg::crtBtOptionWindow()
{
    DialogBuild build;
    _btOptionsWindow = new Fl_Double_Window(293, 192);
    texts(_btOptionsWindow, "Opties");
    _btOptionsWindow->callback(cb__btOptionsWindow, this);

    _btOptComPort = new kp::Fl_Input_Choice(140, 10, 150, 25);
    texts(_btOptComPort, "Com Poort:");
    _btOptComPort->textsize(12);
    _btOptComPort->align(FL_ALIGN_LEFT);

    _optUpgrade = new Fl_Check_Button(180, 40, 20, 25);
    texts(_optUpgrade, "Enable software upgrade: ");
    _optUpgrade->align(FL_ALIGN_LEFT);
    _optUpgrade->labelsize(12);  // at the default size the label runs off the window's left edge

    _optReadBack = new Fl_Check_Button(270, 70, 20, 25);
    texts(_optReadBack, "Na programmeren teruglezen: ");
    _optReadBack->align(FL_ALIGN_LEFT);
    _optReadBack->labelsize(12);

    Fl_Return_Button* ok = new Fl_Return_Button(230, 40, 60, 24);
    texts(ok, "OK");
    ok->box(FL_PLASTIC_UP_BOX);
    ok->callback(cb__btOptOk);

    _txtSwVersie = new Fl_Output(140, 130, 150, 25);
    texts(_txtSwVersie, "SW Versie:");
    _txtSwVersie->box(FL_PLASTIC_DOWN_BOX);

    _txtSwDatumTijd = new Fl_Output(140, 160, 150, 25);
    texts(_txtSwDatumTijd, "SW Datum / Tijd");
    _txtSwDatumTijd->box(FL_PLASTIC_DOWN_BOX);
    _txtSwDatumTijd->textsize(12);

    _btCrtRevPackWndw = new Fl_Button(10, 100, 125, 25);
    texts(_btCrtRevPackWndw, "Create Rev. Pack");
    _btCrtRevPackWndw->callback(cb__btCrtRevPackWndw);
    _btCrtRevPackWndw->hide();

    _btOptionsWindow->end();
    return _btOptionsWindow;
}

Fl_Double_Window* FrmKorProg::crtRevPackWndw()
{
    DialogBuild build;
    _crtRevPackWndw = new Fl_Double_Window(363, 169);
    texts(_crtRevPackWndw, "Create RevPack Db");
    _crtRevPackWndw->callback(cb__crtRevPackWndw, this);

    _btSelectBin = new Fl_Button(15, 15, 80, 50);
    texts(_btSelectBin, "Select Bin", "Select a bin file in the directory where all the bin files are stored");
    _btSelectBin->box(FL_PLASTIC_UP_BOX);
    _btSelectBin->image(image_open);
    _btSelectBin->labelsize(12);
    _btSelectBin->callback(cb__btSelectBin);

    _txtBinDir = new Fl_Output(15, 90, 335, 25);
    texts(_txtBinDir, "Bin dir.");
    _txtBinDir->align(FL_ALIGN_TOP_LEFT);

    _btCreateRevPack = new Fl_Button(215, 120, 135, 35);
    texts(_btCreateRevPack, "Gen. RevPack Db", "Generate the RevPack Database");
    // The window's default, without the return arrow that would cover its label.
    _btCreateRevPack->shortcut(FL_Enter);
    _btCreateRevPack->callback(cb__btCreateRevPack);

    Fl_Button* restrictions = new Fl_Button(245, 15, 105, 50);
    texts(restrictions, "Edit restrictions", "Open the default restrictions. These will be added to the revpack");
    restrictions->box(FL_PLASTIC_UP_BOX);
    restrictions->image(image_open);
    restrictions->labelsize(12);
    restrictions->callback(cb__btEditRestr);

    _crtRevPackWndw->end();
    return _crtRevPackWndw;
}

void FrmKorProg::showDialog(Fl_Double_Window* dialog)
{
    // Over the main window, where the engineer is looking.
    dialog->position(_window->x() + (_window->w() - dialog->w()) / 2, _window->y() + (_window->h() - dialog->h()) / 3);
    dialog->show();
}

// ---- new settings ----

void FrmKorProg::cb__btNewWindow(Fl_Widget* o, void* v) { frameOf(o)->cb__btNewWindow_i(o, v); }
void FrmKorProg::cb__btNewWindow_i(Fl_Widget*, void*) { closeNewWindow(); }

void FrmKorProg::cb__btNewChoice(Fl_Widget* o, void* v) { frameOf(o)->cb__btNewChoice_i(o, v); }
void FrmKorProg::cb__btNewChoice_i(Fl_Widget* o, void*)
{
    Flu_Combo_List* combo = static_cast<Flu_Combo_List*>(o);
    const int line = combo->list.value();
    if (line > 0) combo->input.value(combo->list.text(line));
}

void FrmKorProg::cb__btNewOk(Fl_Widget* o, void* v) { frameOf(o)->cb__btNewOk_i(o, v); }
void FrmKorProg::cb__btNewOk_i(Fl_Widget*, void*)
{
    if (_frmImpl->btNewSetKor()) closeNewWindow();
}

// ---- options ----

void FrmKorProg::cb__btOptionsWindow(Fl_Widget* o, void* v) { frameOf(o)->cb__btOptionsWindow_i(o, v); }
void FrmKorProg::cb__btOptionsWindow_i(Fl_Widget*, void*)
{
    // Escape or the close box: nothing chosen here changes anything.
    closeOptionsWindow();
}

void FrmKorProg::cb__btOptOk(Fl_Widget* o, void* v) { frameOf(o)->cb__btOptOk_i(o, v); }
void FrmKorProg::cb__btOptOk_i(Fl_Widget*, void*)
{
    // Blanks around a typed name are no part of it.
    std::string port = _btOptComPort->value();
    port.erase(0, port.find_first_not_of(" \t"));
    port.erase(port.find_last_not_of(" \t") + 1);
    if (_configInit && !_configInit->comActive(port.c_str())) {
        Dialog::alert("%s %d %s.\n", gettext("Attentie!! De naam van de COM poort is langer dan", 0),
                      ConfigInit::COM_NAME_SIZE - 1, gettext("karakters", 0));
        return;
    }
    if (_ctrlBndSt) _ctrlBndSt->portSettings();
    if (_configInit) _configInit->verifyAfterProgramming(_optReadBack->value() != 0);
    _frmImpl->btOptCkSwUpgrade();
    closeOptionsWindow();
}

void FrmKorProg::cb__btCrtRevPackWndw(Fl_Widget* o, void* v) { frameOf(o)->cb__btCrtRevPackWndw_i(o, v); }
void FrmKorProg::cb__btCrtRevPackWndw_i(Fl_Widget*, void*) { _frmImpl->createRevPackWndw(); }

// ---- revision-pack creation ----

void FrmKorProg::cb__crtRevPackWndw(Fl_Widget* o, void* v) { frameOf(o)->cb__crtRevPackWndw_i(o, v); }
void FrmKorProg::cb__crtRevPackWndw_i(Fl_Widget*, void*) { closeRevPackWndw(); }

void FrmKorProg::cb__btSelectBin(Fl_Widget* o, void* v) { frameOf(o)->cb__btSelectBin_i(o, v); }
void FrmKorProg::cb__btSelectBin_i(Fl_Widget*, void*) { _frmImpl->btSelectBin(); }

void FrmKorProg::cb__btCreateRevPack(Fl_Widget* o, void* v) { frameOf(o)->cb__btCreateRevPack_i(o, v); }
void FrmKorProg::cb__btCreateRevPack_i(Fl_Widget*, void*) { _frmImpl->createRevPack(); }

void FrmKorProg::cb__btEditRestr(Fl_Widget* o, void* v) { frameOf(o)->cb__btEditRestr_i(o, v); }
void FrmKorProg::cb__btEditRestr_i(Fl_Widget*, void*) { _frmImpl->editSwHwRestr(); }
