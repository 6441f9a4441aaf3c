#include "korprog/progctrl/Data/SBTabSheet.h"

#include <FL/fl_draw.H>

#include "korprog/progctrl/Data/SBTabs.h"

SBTabSheet::SBTabSheet(SBTabs* parent, const char* label, const char* help)
    : Fl_Scroll(parent->x(), parent->y() + TAB_ROW_H, parent->w(), parent->h() - TAB_ROW_H),
      _txtFields(0),
      _numFields(0),
      _help(help ? help : "")
{
    copy_label(label);
    type(Fl_Scroll::VERTICAL);
    // Back to whatever group was current before this one began.
    end();
    parent->add(this);
    SBTabs::showHelp(this, _help.c_str());
}

int SBTabSheet::nextTxtField(int h) { return y() + MARGIN + h * _txtFields++; }

int SBTabSheet::nextNumField(int h) { return y() + MARGIN + h * _numFields++; }

void SBTabSheet::place(Fl_Widget* w, char list)
{
    add(w);
    if (list == 'T') {
        w->resize(rightTxtMargin() - TXT_W, nextTxtField(ROW_H), TXT_W, ROW_H);
    } else {
        w->resize(rightNumMargin() - NUM_W, nextNumField(ROW_H), NUM_W, ROW_H);
    }
}

void SBTabSheet::placeRows(Fl_Widget* w, int x, int rows)
{
    add(w);
    int y = nextTxtField(ROW_H);
    for (int i = 1; i < rows; ++i) y = nextTxtField(ROW_H);
    w->position(x, y);
}

int SBTabSheet::handle(int event)
{
    if (event == FL_SHOW) SBTabs::showHelp(this, _help.c_str());
    return Fl_Scroll::handle(event);
}

void SBTabSheet::draw()
{
    fitLabels();
    Fl_Scroll::draw();
}

// A label left of a widget may use its column's width only: a longer one is
// cut short with "..." and kept whole in the tooltip, so it never runs into
// the column on its left or out of the sheet.
void SBTabSheet::fitLabels()
{
    for (int i = 0; i < children(); ++i) {
        Fl_Widget* c = child(i);
        const char* text = c->label();
        if (c == &scrollbar || c == &hscrollbar || !text || !*text) continue;
        if ((c->align() & FL_ALIGN_INSIDE) || !(c->align() & FL_ALIGN_LEFT)) continue;
        const int margin = c->x() >= leftNumMargin() ? leftNumMargin() : leftTxtMargin();
        const int room = c->x() - 3 - margin;
        fl_font(c->labelfont(), c->labelsize());
        if (fl_width(text) <= room) continue;

        std::string whole = text;
        std::string cut = whole;
        while (!cut.empty() && fl_width((cut + "...").c_str()) > room) {
            // The last character goes with all its bytes.
            while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80) cut.pop_back();
            if (!cut.empty()) cut.pop_back();
        }
        if (!c->tooltip()) c->copy_tooltip(whole.c_str());
        c->copy_label((cut + "...").c_str());
    }
}
