#ifndef TESTS_SUPPORT_FLEVENTS_H
#define TESTS_SUPPORT_FLEVENTS_H

#include <FL/Fl.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Window.H>
#include <cstring>
#include <string>
#include <vector>

// FLTK's connection to the display, without X11's headers and their macros.
typedef struct _XDisplay Display;
extern Display* fl_display;
extern "C" int XSync(Display* display, int discard);

// Mouse and keyboard input for window tests, dispatched through FLTK's own
// event handling (Fl::handle) as the display's events are: pushes go to the
// widget under the pointer or to the window holding the grab, keys to the
// focus.
namespace FlEvents {

// Lets FLTK handle what is pending (drawing, mapping, focus); waits only
// for the display to have said all it has to say so far, so that a window's
// focus events, say, cannot arrive after the keys that follow.
inline void settle()
{
    // Handling one event may ask the display for more (a window mapped
    // takes the focus): a few rounds.
    for (int i = 0; i < 3; ++i) {
        Fl::flush();
        if (fl_display) XSync(fl_display, 0);
        Fl::wait(0);
        Fl::wait(0);
    }
}

// The window the display delivers keys to: that of the focus, else the
// latest shown that is not a popup (popups never hold the keyboard focus;
// FLTK passes keys on to a popup holding the grab).
inline Fl_Window* keyWindow()
{
    if (Fl::focus()) return Fl::focus()->top_window();
    for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
        if (!w->override()) return w;
    }
    return nullptr;
}

inline int press(int keysym, const char* text = "", int state = 0)
{
    Fl::e_keysym = Fl::e_original_keysym = keysym;
    Fl::e_state = state;
    Fl::e_text = const_cast<char*>(text);
    Fl::e_length = static_cast<int>(std::strlen(text));
    const int used = Fl::handle(FL_KEYBOARD, keyWindow());
    Fl::e_state = 0;
    return used;
}

// A choice or menu button runs its pull-down menu in a loop of its own:
// menuKeys() gives the keys a user presses once the next menu is up. A menu
// still open a second later is escaped, so a fault cannot hang the test.
inline std::vector<int>& menuKeysPending()
{
    static std::vector<int> keys;
    return keys;
}
inline void escapeMenu(void*)
{
    if (Fl::grab()) press(FL_Escape);
}
inline void sendMenuKeys(void*)
{
    if (!Fl::grab()) return;
    for (int k : menuKeysPending()) press(k);
    Fl::add_timeout(1.0, escapeMenu);
}
inline void menuKeys(std::vector<int> keys)
{
    menuKeysPending() = std::move(keys);
    Fl::add_timeout(0.0, sendMenuKeys);
}

// A click at a screen position, delivered to window `over`.
inline int clickAt(Fl_Window* over, int xRoot, int yRoot)
{
    Fl::e_x_root = xRoot;
    Fl::e_y_root = yRoot;
    Fl::e_x = xRoot - over->x();
    Fl::e_y = yRoot - over->y();
    Fl::e_keysym = FL_Button + 1;
    Fl::e_state = FL_BUTTON1;
    Fl::e_is_click = 1;
    const int pushed = Fl::handle(FL_PUSH, over);
    Fl::e_state = 0;
    Fl::handle(FL_RELEASE, over);
    Fl::remove_timeout(escapeMenu);
    settle();
    return pushed;
}

// A click at (dx, dy) inside widget w (its middle by default).
inline int click(Fl_Widget* w, int dx = -1, int dy = -1)
{
    int xoff = 0, yoff = 0;
    Fl_Window* top = w->top_window_offset(xoff, yoff);
    return clickAt(top, top->x() + xoff + (dx < 0 ? w->w() / 2 : dx), top->y() + yoff + (dy < 0 ? w->h() / 2 : dy));
}

inline int key(int keysym, const char* text = "", int state = 0)
{
    const int used = press(keysym, text, state);
    settle();
    return used;
}

inline void type(const std::string& text)
{
    for (char c : text) key(static_cast<unsigned char>(c), std::string(1, c).c_str());
}

// Puts text on the clipboard and presses Ctrl-V.
inline void paste(const std::string& text)
{
    Fl::copy(text.c_str(), static_cast<int>(text.size()), 1);
    key('v', "\x16", FL_CTRL);
}

// Clicks the tab of `sheet` in the tab row of `tabs`.
inline bool clickTab(Fl_Tabs* tabs, Fl_Widget* sheet)
{
    for (int x = 2; x < tabs->w(); x += 4) {
        if (tabs->which(tabs->x() + x, tabs->y() + 10) == sheet) {
            click(tabs, x, 10);
            break;
        }
    }
    return tabs->value() == sheet;
}

}  // namespace FlEvents

#endif
