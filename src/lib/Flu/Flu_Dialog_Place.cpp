#include "lib/Flu/Flu_Dialog_Place.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <algorithm>

void Flu_Dialog_Place::over(Fl_Window* dialog)
{
    Fl_Window* under = nullptr;
    for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
        if (w != dialog && w->visible() && !w->override()) {
            under = w;
            break;
        }
    }
    int sx, sy, sw, sh;
    if (under) {
        Fl::screen_work_area(sx, sy, sw, sh, under->x() + under->w() / 2, under->y() + under->h() / 2);
    } else {
        Fl::screen_work_area(sx, sy, sw, sh);
    }
    const int ux = under ? under->x() : sx, uy = under ? under->y() : sy;
    const int uw = under ? under->w() : sw, uh = under ? under->h() : sh;
    const int x = std::max(sx, std::min(ux + (uw - dialog->w()) / 2, sx + sw - dialog->w()));
    const int y = std::max(sy, std::min(uy + (uh - dialog->h()) / 3, sy + sh - dialog->h()));
    dialog->position(x, y);
}
