#include "lib/Flu/Flu_Combo_Box.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Window.H>

namespace {

const int BUTTON_W = 20;
const int DEFAULT_POP_HEIGHT = 100;

}  // namespace

// The drop-down: a borderless window that holds the grab while it is shown,
// so every click and key comes here first.
class Flu_Combo_Box::Popup : public Fl_Menu_Window {
public:
    explicit Popup(Flu_Combo_Box* combo) : Fl_Menu_Window(0, 0, 10, 10), _combo(combo), _pushedInside(false)
    {
        end();
        clear_border();
        set_override();
        set_menu_window();
    }

    int handle(int event) override
    {
        switch (event) {
        case FL_PUSH:
            _pushedInside = Fl::event_inside(0, 0, w(), h());
            if (!_pushedInside) {
                _combo->close(false);
                return 1;
            }
            break;
        case FL_RELEASE: {
            // Only a click that began in the list chooses: the release of
            // the click that opened the popup must not.
            const bool chosen = _pushedInside && Fl::event_inside(0, 0, w(), h());
            _pushedInside = false;
            Fl_Menu_Window::handle(event);
            if (chosen) _combo->contentReleased();
            return 1;
        }
        case FL_KEYBOARD:
        case FL_SHORTCUT:
            if (_combo->handleKey()) return 1;
            // Typing goes on in an editable box; nothing else reaches the
            // window below while the list is open.
            if (_combo->editable() && event == FL_KEYBOARD) {
                _combo->close(false);
                return _combo->input.handle(FL_KEYBOARD);
            }
            return 1;
        default:
            break;
        }
        return Fl_Menu_Window::handle(event);
    }

private:
    Flu_Combo_Box* _combo;
    bool _pushedInside;
};

Flu_Combo_Box::Input::Input(Flu_Combo_Box* combo, int x, int y, int w, int h)
    : Fl_Input(x, y, w, h), _combo(combo)
{
}

int Flu_Combo_Box::Input::handle(int event)
{
    if (event == FL_KEYBOARD && _combo->handleKey()) return 1;
    if (event == FL_PUSH && !_combo->editable()) {
        take_focus();
        _combo->open();
        return 1;
    }
    return Fl_Input::handle(event);
}

Flu_Combo_Box::Flu_Combo_Box(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label),
      input(this, x, y, w, h),
      _button(x, y, BUTTON_W, h, "@-22>"),
      _popup(nullptr),
      _content(nullptr),
      _editable(true),
      _popHeight(DEFAULT_POP_HEIGHT)
{
    end();
    box(FL_DOWN_BOX);
    color(FL_BACKGROUND2_COLOR);
    align(FL_ALIGN_LEFT);
    input.box(FL_FLAT_BOX);
    input.callback(inputCb, this);
    input.when(FL_WHEN_CHANGED);
    _button.callback(buttonCb, this);
    _button.clear_visible_focus();
    layout();

    // The popup is a window of its own, never a child of a group being built.
    Fl_Group* building = Fl_Group::current();
    Fl_Group::current(nullptr);
    _popup = new Popup(this);
    Fl_Group::current(building);
}

Flu_Combo_Box::~Flu_Combo_Box()
{
    if (Fl::grab() == _popup) Fl::grab(nullptr);
    // The content is the subclass's member and already gone.
    _popup->clear();
    delete _popup;
}

void Flu_Combo_Box::layout()
{
    const int bx = x() + Fl::box_dx(box());
    const int by = y() + Fl::box_dy(box());
    const int bw = w() - Fl::box_dw(box());
    const int bh = h() - Fl::box_dh(box());
    input.resize(bx, by, bw - BUTTON_W, bh);
    _button.resize(bx + bw - BUTTON_W, by, BUTTON_W, bh);
}

void Flu_Combo_Box::resize(int x, int y, int w, int h)
{
    Fl_Widget::resize(x, y, w, h);
    layout();
}

void Flu_Combo_Box::set_combo_widget(Fl_Widget* w)
{
    _content = w;
    _popup->add(w);
    _popup->resizable(w);
}

void Flu_Combo_Box::editable(bool on)
{
    _editable = on;
    input.readonly(on ? 0 : 1);
}

void Flu_Combo_Box::value(const char* v)
{
    if (!v) v = "";
    const bool found = _value(v);
    input.value((found || _editable) ? v : "");
}

bool Flu_Combo_Box::popped() const { return _popup->shown() && _popup->visible(); }

void Flu_Combo_Box::open()
{
    if (popped() || !_content || !window()) return;
    _value(input.value());

    int xoff = 0, yoff = 0;
    Fl_Window* top = top_window_offset(xoff, yoff);
    const int px = top->x() + xoff;
    int py = top->y() + yoff + h();
    int ph = _wanted_height();
    if (ph > _popHeight) ph = _popHeight;
    if (ph < h()) ph = h();

    int sx, sy, sw, sh;
    Fl::screen_xywh(sx, sy, sw, sh, px, py);
    if (py + ph > sy + sh && top->y() + yoff - ph >= sy) py = top->y() + yoff - ph;

    // Focus first: without a window manager that knows the EWMH, FLTK
    // raises the window that takes the focus, which would cover the list.
    if (Fl::focus() != &input) input.take_focus();
    _popup->resize(px, py, w(), ph);
    _content->resize(0, 0, w(), ph);
    _popup->show();
    Fl::grab(_popup);
}

void Flu_Combo_Box::close(bool choose)
{
    if (Fl::grab() == _popup) Fl::grab(nullptr);
    if (!_popup->shown()) return;
    _popup->hide();
    if (!choose) return;
    const char* text = _selected();
    if (text) this->choose(text);
}

void Flu_Combo_Box::contentReleased() { close(true); }

void Flu_Combo_Box::choose(const char* text)
{
    input.value(text);
    input.position(input.size(), 0);
    set_changed();
    if (when() != FL_WHEN_NEVER) do_callback();
}

bool Flu_Combo_Box::handleKey()
{
    const int key = Fl::event_key();
    if (!popped()) {
        if (key != FL_Down) return false;
        open();
        return true;
    }
    switch (key) {
    case FL_Up:
        _move(-1);
        return true;
    case FL_Down:
        _move(+1);
        return true;
    case FL_Enter:
    case FL_KP_Enter:
        close(true);
        return true;
    case FL_Escape:
        close(false);
        return true;
    default:
        return false;
    }
}

int Flu_Combo_Box::handle(int event)
{
    // A box that disappears takes its list along.
    if (event == FL_HIDE) close(false);
    return Fl_Group::handle(event);
}

void Flu_Combo_Box::buttonCb(Fl_Widget*, void* data)
{
    Flu_Combo_Box* combo = static_cast<Flu_Combo_Box*>(data);
    if (combo->popped()) {
        combo->close(false);
    } else {
        combo->open();
    }
}

void Flu_Combo_Box::inputCb(Fl_Widget*, void* data)
{
    Flu_Combo_Box* combo = static_cast<Flu_Combo_Box*>(data);
    combo->set_changed();
    if (combo->when() & FL_WHEN_CHANGED) combo->do_callback();
}
