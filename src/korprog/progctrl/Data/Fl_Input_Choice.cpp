#include "korprog/progctrl/Data/Fl_Input_Choice.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "korprog/progctrl/Data/MenuItemText.h"

namespace kp {

namespace {

const int MENU_W = 20;

}  // namespace

Fl_Input_Choice::Fl_Input_Choice(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label), _input(nullptr), _menu(nullptr), _editable(false)
{
    Fl_Group::box(FL_DOWN_BOX);
    align(FL_ALIGN_LEFT);
    _input = new Fl_Input(x, y, w, h);
    // Shown like any input, but it takes no typing and no events: the
    // widget is a choice.
    _input->set_output();
    _input->box(FL_FLAT_BOX);
    _menu = new InputMenuButton(x, y, MENU_W, h);
    _menu->box(FL_UP_BOX);
    end();
    layout();
}

void Fl_Input_Choice::layout()
{
    const int bx = x() + Fl::box_dx(box());
    const int by = y() + Fl::box_dy(box());
    const int bw = w() - Fl::box_dw(box());
    const int bh = h() - Fl::box_dh(box());
    _input->resize(bx, by, bw - MENU_W, bh);
    // The schemes draw the button one pixel taller than the field.
    _menu->resize(bx + bw - MENU_W, by, MENU_W, Fl::scheme() ? bh - 1 : bh);
}

void Fl_Input_Choice::resize(int x, int y, int w, int h)
{
    Fl_Widget::resize(x, y, w, h);
    layout();
}

int Fl_Input_Choice::add(const char* label, int shortcut, Fl_Callback* cb, void* data, int flags)
{
    if (!cb && !data) {
        cb = menuCb;
        data = this;
    }
    _texts.push_back(label ? label : "");
    const int ix = MenuItemText::add(_menu, label, flags, cb, data);
    if (shortcut) _menu->shortcut(ix, shortcut);
    return ix;
}

void Fl_Input_Choice::clear()
{
    _menu->clear();
    _texts.clear();
    _input->value("");
}

const char* Fl_Input_Choice::text(int i) const
{
    return (i >= 0 && i < size()) ? _texts[static_cast<size_t>(i)].c_str() : "";
}

void Fl_Input_Choice::value(int i)
{
    menuvalue(i);
    setValue();
}

int Fl_Input_Choice::menuValue() const
{
    const int i = _menu->value();
    return (i >= 0 && i < size()) ? i : -1;
}

void Fl_Input_Choice::setValue()
{
    const int i = menuValue();
    if (i >= 0) _input->value(text(i));
}

void Fl_Input_Choice::menuvalue(int i)
{
    if (i >= 0 && i < size()) _menu->value(i);
}

void Fl_Input_Choice::editable(bool on)
{
    _editable = on;
    if (on) {
        _input->clear_output();
        _input->box(FL_FLAT_BOX);
        _input->color(FL_BACKGROUND2_COLOR);
    } else {
        _input->set_output();
    }
}

void Fl_Input_Choice::textsize(Fl_Fontsize size)
{
    _input->textsize(size);
    _menu->textsize(size);
}

void Fl_Input_Choice::popupMenu()
{
    if (size() == 0) return;
    const Fl_Menu_Item* m = _menu->menu()->pulldown(x(), y(), w(), h(), _menu->mvalue(), _menu);
    if (m) _menu->picked(m);
}

int Fl_Input_Choice::handle(int event)
{
    // A choice's input takes no events: a click on it drops the list.
    if (!_editable && event == FL_PUSH && Fl::event_inside(_input)) {
        popupMenu();
        return 1;
    }
    return Fl_Group::handle(event);
}

void Fl_Input_Choice::menuCb(Fl_Widget*, void* data)
{
    Fl_Input_Choice* self = static_cast<Fl_Input_Choice*>(data);
    self->setValue();
    // Typing goes on after the chosen text.
    if (self->_editable) {
        self->_input->take_focus();
        self->_input->position(self->_input->size());
    }
    self->set_changed();
    self->do_callback();
}

int Fl_Input_Choice::InputMenuButton::handle(int event)
{
    const bool drop = event == FL_PUSH ||
                      (event == FL_KEYBOARD && (Fl::event_key() == ' ' || Fl::event_key() == FL_Down));
    if (drop && parent()) {
        static_cast<Fl_Input_Choice*>(parent())->popupMenu();
        return 1;
    }
    return Fl_Menu_Button::handle(event);
}

void Fl_Input_Choice::InputMenuButton::draw()
{
    draw_box(box(), color());
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    const int xc = x() + w() / 2;
    const int yc = y() + h() / 2;
    fl_polygon(xc - 5, yc - 3, xc + 5, yc - 3, xc, yc + 3);
    if (Fl::focus() == this) draw_focus();
}

}  // namespace kp
