#ifndef TESTS_SUPPORT_FLEVENTS_H
#define TESTS_SUPPORT_FLEVENTS_H

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Window.H>
#include <cstring>
#include <string>
#include <vector>

// Mouse and keyboard input for window tests, dispatched through FLTK's own
// event handling (Fl::handle) as the display's events would be: pushes go
// to the widget under the pointer or to the window holding the grab, keys
// to the focus.
namespace FlEvents {

// Lets FLTK handle what is pending (drawing, mapping); never waits.
inline void settle()
{
    for (int i = 0; i < 5; ++i) Fl::wait(0);
}

// The keys a user presses in the next pull-down menu (a choice or menu
// button runs its menu in a loop of its own): they are sent to the menu
// once it is up. A menu still open after them is escaped.
struct MenuKeys {
    static std::vector<int>& pending()
    {
        static std::vector<int> keys;
        return keys;
    }
    static void press(int k)
    {
        Fl::e_keysym = Fl::e_original_keysym = k;
        Fl::e_state = 0;
        Fl::e_text = const_cast<char*>("");
        Fl::e_length = 0;
        Fl::handle(FL_KEYBOARD, Fl::grab());
    }
    static void send(void*)
    {
        if (!Fl::grab()) return;
        for (int k : pending()) press(k);
        // The menu closes once its loop sees the choice; the click that
        // opened it drops this safety net when it returns.
        Fl::add_timeout(1.0, escapeLeftOpen);
    }
    static void escapeLeftOpen(void*)
    {
        if (Fl::grab()) press(FL_Escape);
    }
};

// A click at a screen position, delivered to window `over` (the window the
// pointer is in).
inline int clickAt(Fl_Window* over, int xRoot, int yRoot, int button = 1)
{
    Fl::e_x_root = xRoot;
    Fl::e_y_root = yRoot;
    Fl::e_x = xRoot - over->x();
    Fl::e_y = yRoot - over->y();
    Fl::e_keysym = FL_Button + button;
    Fl::e_state = FL_BUTTON(button);
    Fl::e_clicks = 0;
    Fl::e_is_click = 1;
    const int pushed = Fl::handle(FL_PUSH, over);
    Fl::e_state = 0;
    Fl::handle(FL_RELEASE, over);
    Fl::remove_timeout(MenuKeys::escapeLeftOpen);
    settle();
    return pushed;
}

// A click at (dx, dy) inside widget w (its middle by default).
inline int click(Fl_Widget* w, int dx = -1, int dy = -1)
{
    int xoff = 0, yoff = 0;
    Fl_Window* top = w->top_window_offset(xoff, yoff);
    if (dx < 0) dx = w->w() / 2;
    if (dy < 0) dy = w->h() / 2;
    return clickAt(top, top->x() + xoff + dx, top->y() + yoff + dy);
}

// One key press sent to the window of the focus.
inline int key(int keysym, const char* text = "", int state = 0)
{
    Fl_Window* win = Fl::focus() ? Fl::focus()->top_window() : Fl::first_window();
    Fl::e_keysym = Fl::e_original_keysym = keysym;
    Fl::e_state = state;
    Fl::e_text = const_cast<char*>(text);
    Fl::e_length = static_cast<int>(std::strlen(text));
    const int used = Fl::handle(FL_KEYBOARD, win);
    Fl::e_state = 0;
    settle();
    return used;
}

// Types text key by key.
inline void type(const std::string& text)
{
    for (char c : text) {
        const char s[2] = {c, '\0'};
        key(static_cast<unsigned char>(c), s);
    }
}

// Puts text on the clipboard and presses Ctrl-V.
inline void paste(const std::string& text)
{
    Fl::copy(text.c_str(), static_cast<int>(text.size()), 1);
    key('v', "\x16", FL_CTRL);
}

inline void menuKeys(std::vector<int> keys)
{
    MenuKeys::pending() = std::move(keys);
    Fl::add_timeout(0.0, MenuKeys::send);
}

// Clicks the tab row of `tabs` where it shows `sheet`'s tab.
inline bool clickTab(Fl_Tabs* tabs, Fl_Widget* sheet)
{
    const int y = tabs->y() + 10;
    for (int x = tabs->x() + 2; x < tabs->x() + tabs->w(); x += 4) {
        if (tabs->which(x, y) == sheet) {
            click(tabs, x - tabs->x(), 10);
            return tabs->value() == sheet;
        }
    }
    return false;
}

}  // namespace FlEvents

#endif
