#ifndef LIB_FLU_FLU_DIALOG_PLACE_H
#define LIB_FLU_FLU_DIALOG_PLACE_H

class Fl_Window;

// Where a dialog appears: across the middle of the window the user works in
// and a third of the way down it (else of the screen), and always wholly on
// the screen's work area.
class Flu_Dialog_Place {
public:
    static void over(Fl_Window* dialog);
};

#endif
