#ifndef KORPROG_PROGCTRL_DATA_FL_INPUT_CHOICE_H
#define KORPROG_PROGCTRL_DATA_FL_INPUT_CHOICE_H

#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Button.H>
#include <string>
#include <vector>

namespace kp {

// A drop-down choice that shows the chosen text in an input field: the
// program's own input choice. By default the input takes no typing and a
// click on it or on the arrow button at the right edge drops the list down
// below the whole widget. Made editable, the input takes typing as any input
// does and only the arrow drops the list; value() is then what is typed or
// chosen. Item texts are shown exactly as given, device paths included.
class Fl_Input_Choice : public Fl_Group {
public:
    Fl_Input_Choice(int x, int y, int w, int h, const char* label = nullptr);
    ~Fl_Input_Choice() override = default;

    // Appends an item. Without callback and data the item gets this widget's
    // own: the item's text goes into the input and the widget's callback runs.
    int add(const char* label, int shortcut = 0, Fl_Callback* cb = nullptr, void* data = nullptr, int flags = 0);
    void clear();
    int size() const { return static_cast<int>(_texts.size()); }
    // The text of item i ("" outside the list).
    const char* text(int i) const;

    // Selects item i and shows its text.
    void value(int i);
    // The shown text.
    const char* value() const { return _input->value(); }
    // Index of the selected item; -1 when none is.
    int menuValue() const;
    // Shows the selected item's text.
    void setValue();
    // Selects item i without changing the shown text.
    void menuvalue(int i);
    void inputvalue(const char* text) { _input->value(text); }
    const char* inputvalue() const { return _input->value(); }

    // Whether the input takes typing.
    void editable(bool on);
    bool editable() const { return _editable; }

    Fl_Fontsize textsize() const { return _input->textsize(); }
    void textsize(Fl_Fontsize size);
    Fl_Boxtype down_box() const { return _menu->down_box(); }
    void down_box(Fl_Boxtype b) { _menu->down_box(b); }

    Fl_Input* input() { return _input; }
    Fl_Menu_Button* menubutton() { return _menu; }

    // Drops the list down and handles the item chosen.
    void popupMenu();

    int handle(int event) override;
    void resize(int x, int y, int w, int h) override;

protected:
    // A menu button that draws its own arrow and drops the widget's list.
    class InputMenuButton : public Fl_Menu_Button {
    public:
        InputMenuButton(int x, int y, int w, int h) : Fl_Menu_Button(x, y, w, h) {}
        int handle(int event) override;

    protected:
        void draw() override;
    };

private:
    void layout();
    static void menuCb(Fl_Widget*, void* data);

    Fl_Input* _input;
    InputMenuButton* _menu;
    bool _editable;
    std::vector<std::string> _texts;
};

}  // namespace kp

#endif
