#include "korprog/progctrl/Data/SBMenuButton.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SBItemValue.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/Data/SettingBin.h"

SBMenuButton::SBMenuButton(SBEntry* sbEntry, SettingBin* settingBin)
    : Fl_Menu_Button(0, 0, SBTabSheet::fieldWidth(sbEntry->list()), SBTabSheet::ROW_H, sbEntry->name()),
      _sbEntry(sbEntry),
      _settingBin(settingBin)
{
    if (SBItemValue::fill(this, sbEntry, settingBin, FL_MENU_RADIO) >= 0) const_cast<Fl_Menu_Item*>(mvalue())->setonly();
    showCurrent();
    callback(cbChosen, this);
}

SBMenuButton::~SBMenuButton() { delete _sbEntry; }

void SBMenuButton::placeOnTabSheet(SBTabSheet* sheet) { sheet->place(this, _sbEntry->list()); }

int SBMenuButton::handle(int event)
{
    if (event != FL_PUSH) return Fl_Menu_Button::handle(event);
    SBTabs::showHelp(this, _sbEntry->help());
    // The list drops down below the button, from the current item.
    Fl_Widget_Tracker alive(this);
    const Fl_Menu_Item* m = menu() ? menu()->pulldown(x(), y(), w(), h(), mvalue(), this) : nullptr;
    if (alive.exists() && m) picked(m);
    return 1;
}

void SBMenuButton::cbChosen(Fl_Widget*, void* data) { static_cast<SBMenuButton*>(data)->chosen(); }

void SBMenuButton::chosen()
{
    const int ix = value();
    if (ix < 0 || ix >= _sbEntry->nrMenuItems()) return;
    SBItemValue::store(_sbEntry, _settingBin, _sbEntry->menuItem(ix, true));
    showCurrent();
    redraw();
}

void SBMenuButton::showCurrent()
{
    const int ix = value();
    copy_tooltip(ix >= 0 && ix < _sbEntry->nrMenuItems() ? _sbEntry->menuItem(ix, false) : nullptr);
}

// The label stands left of the button, as with every editor widget; the
// face shows the current item and the arrow.
void SBMenuButton::draw()
{
    draw_box(box(), color());
    const int dx = Fl::box_dx(box());
    const int arrowW = 20;
    const int ix = value();
    if (ix >= 0 && ix < _sbEntry->nrMenuItems()) {
        fl_font(textfont(), textsize());
        fl_color(active_r() ? textcolor() : fl_inactive(textcolor()));
        fl_draw(_sbEntry->menuItem(ix, false), x() + dx + 3, y(), w() - dx - arrowW - 3, h(),
                FL_ALIGN_LEFT | FL_ALIGN_CLIP, nullptr, 0);
    }
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    const int xc = x() + w() - arrowW / 2 - dx;
    const int yc = y() + h() / 2;
    fl_polygon(xc - 4, yc - 2, xc + 4, yc - 2, xc, yc + 3);
    if (Fl::focus() == this) draw_focus();
}
