#ifndef KORPROG_FLMESSAGEBOX_H
#define KORPROG_FLMESSAGEBOX_H

#include <string>
#include <vector>

#include <FL/Enumerations.H>

class Fl_Window;

// A modal message with up to three buttons, in the look of FLTK's own alert:
// an icon square at the left, the text beside it, the buttons at the bottom
// right, the first one rightmost. Unlike FLTK's alert it never grows wider
// than the screen (long lines wrap, a word too long for a line, such as a
// path, is broken), the caller names the button that Return presses, and
// Escape or the close box give the cancel answer.
class FlMessageBox {
public:
    // Shows the message and waits for an answer: the index of the button
    // pressed, or `cancel` for Escape, the close box, or a program that ends
    // meanwhile. `buttons` holds one to three labels.
    static int ask(char icon, const std::string& text, const std::vector<std::string>& buttons, int returnButton,
                   int cancel);

    // `text` laid out in lines no wider than maxW pixels in the current
    // font: lines wrap at blanks, and a word wider than maxW is broken,
    // after a '/' where one is near the end of the piece.
    static std::string wrap(const std::string& text, int maxW);

    // The widest text, in pixels, on a screen of this width.
    static int maxTextWidth(int screenW);

    static const Fl_Font FONT = FL_HELVETICA;
    static const int FONT_SIZE = 14;

private:
    static Fl_Window* build(char icon, const std::string& text, const std::vector<std::string>& buttons,
                            int returnButton, int* answer);
};

#endif
