#ifndef LIB_FLU_FLU_COMBO_BOX_H
#define LIB_FLU_FLU_COMBO_BOX_H

#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>

class Fl_Menu_Window;

// A combo box: an input with a drop-down button at its right edge. The
// drop-down is a borderless popup window below the box (above it when the
// screen ends) holding the widget a subclass supplies, such as a list.
//
// Mouse: a click on the button (or anywhere on a box that is not editable)
// opens the popup; a click in it chooses, a click outside closes it without
// choosing. Keyboard: Down or Alt-Down opens it, Up and Down move, Enter
// chooses, Escape closes without choosing.
//
// The popup is not modal: it holds the pointer and keyboard grab while open
// and the program's own loop keeps running.
//
// Choosing an item puts its text into the input and calls the widget's
// callback (unless when() is FL_WHEN_NEVER). With FL_WHEN_CHANGED in when(),
// typing into an editable box calls it too.
class Flu_Combo_Box : public Fl_Group {
public:
    // The input of the box; keys reach the box before the input sees them.
    class Input : public Fl_Input {
    public:
        Input(Flu_Combo_Box* combo, int x, int y, int w, int h);
        int handle(int event) override;

    private:
        Flu_Combo_Box* _combo;
    };

    Flu_Combo_Box(int x, int y, int w, int h, const char* label = nullptr);
    ~Flu_Combo_Box() override;

    // Shows v. An item equal to v becomes the selected item; a box that is
    // not editable shows only the text of an item (or nothing).
    void value(const char* v);
    const char* value() const { return input.value(); }

    // An editable box lets the user type; one that is not only shows the
    // chosen item.
    void editable(bool on);
    bool editable() const { return _editable; }

    // Largest height of the popup; it is smaller when the items need less.
    void pop_height(int h) { _popHeight = h; }
    int pop_height() const { return _popHeight; }

    bool popped() const;
    void open();
    // Closes the popup; with choose, the item selected in it is chosen.
    void close(bool choose);

    int handle(int event) override;
    void resize(int x, int y, int w, int h) override;

    Input input;

protected:
    // The popup's content, laid over the whole popup.
    void set_combo_widget(Fl_Widget* w);

    // Selects the item whose text is v; false when there is none.
    virtual bool _value(const char* v) = 0;
    // The text of the item selected in the popup; null when none is.
    virtual const char* _selected() const = 0;
    // Moves the selection by one item (dir -1 up, +1 down).
    virtual void _move(int dir) = 0;
    // Height the content needs for all its items.
    virtual int _wanted_height() const = 0;

    // Called by the popup when a click on the content ends.
    void contentReleased();

private:
    class Popup;
    friend class Popup;

    // Keys while the box has the focus or its popup is open; true when used.
    bool handleKey();
    void choose(const char* text);
    void layout();
    static void buttonCb(Fl_Widget*, void* data);
    static void inputCb(Fl_Widget*, void* data);

    Fl_Button _button;
    Popup* _popup;
    Fl_Widget* _content;
    bool _editable;
    int _popHeight;
};

#endif
