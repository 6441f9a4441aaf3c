#ifndef KORPROG_PROGCTRL_DATA_SBTABSHEET_H
#define KORPROG_PROGCTRL_DATA_SBTABSHEET_H

#include <FL/Fl_Scroll.H>
#include <string>

class SBTabs;

// One tab of the settings editor: the area below the tab row, with a text
// column on the left and a number column on the right that fill from the
// top independently. Owns its widgets. A sheet with more rows than fit
// scrolls vertically.
class SBTabSheet : public Fl_Scroll {
public:
    static const int TAB_ROW_H = 25;
    static const int MARGIN = 15;
    static const int ROW_H = 21;
    static const int TXT_W = 180;
    static const int NUM_W = 164;
    // Width of an editor widget in the column of list ('T': text).
    static int fieldWidth(char list) { return list == 'T' ? TXT_W : NUM_W; }

    // Joins `parent` (a group being built stays current) and shows the help.
    SBTabSheet(SBTabs* parent, const char* label, const char* help);

    // y of the next row of height h in the text (number) column; the row
    // counts as used.
    int nextTxtField(int h);
    int nextNumField(int h);
    int rightTxtMargin() const { return (w() - MARGIN) / 2; }
    int rightNumMargin() const { return w() - MARGIN; }
    int leftTxtMargin() const { return x() + MARGIN; }
    int leftNumMargin() const { return w() / 2 + MARGIN; }

    // Adds w as the next row of the column of its entry part: the text
    // column for list 'T', the number column otherwise.
    void place(Fl_Widget* w, char list);
    // Adds w to the text column at x, in the last of `rows` new rows, with
    // its own size.
    void placeRows(Fl_Widget* w, int x, int rows);

    const char* help() const { return _help.c_str(); }

    int handle(int event) override;

protected:
    void draw() override;

private:
    void fitLabels();

    int _txtFields;
    int _numFields;
    std::string _help;
};

#endif
