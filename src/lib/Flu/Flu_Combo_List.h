#ifndef LIB_FLU_FLU_COMBO_LIST_H
#define LIB_FLU_FLU_COMBO_LIST_H

#include <FL/Fl_Hold_Browser.H>

#include "lib/Flu/Flu_Combo_Box.h"

// A combo box whose drop-down is a list of texts. Fill it through `list`
// (add, clear, size, value as on any browser); the box shows the chosen
// text.
class Flu_Combo_List : public Flu_Combo_Box {
public:
    Flu_Combo_List(int x, int y, int w, int h, const char* label = nullptr);
    ~Flu_Combo_List() override;

    using Flu_Combo_Box::value;
    // Selects list line `line` (1-based) and shows its text, as a choice by
    // the user would but without the callback; 0 clears the box.
    void select(int line);

    Fl_Hold_Browser list;

protected:
    bool _value(const char* v) override;
    const char* _selected() const override;
    void _move(int dir) override;
    int _wanted_height() const override;
};

#endif
