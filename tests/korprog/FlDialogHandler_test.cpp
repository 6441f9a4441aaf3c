// The program's own alert and question on the display: their keys, their
// answers, and their size whatever the text.

#include "korprog/FlDialogHandler.h"

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>

#include "korprog/FlMessageBox.h"
#include "support/FlEvents.h"

namespace {

// What the person at the screen does once the dialog is up; a dialog still
// open seconds later is closed, so a fault cannot hang the run.
std::function<void(Fl_Window*)> g_user;
bool g_gaveUp = false;

void giveUp(void*)
{
    g_gaveUp = true;
    if (Fl::modal()) Fl::modal()->hide();
}

void act(void*)
{
    if (!Fl::modal() || !Fl::modal()->visible()) {
        Fl::repeat_timeout(0.05, act);
        return;
    }
    g_user(Fl::modal());
}

template <class Run>
auto answered(std::function<void(Fl_Window*)> user, Run run)
{
    g_user = std::move(user);
    g_gaveUp = false;
    Fl::add_timeout(0.05, act);
    Fl::add_timeout(10.0, giveUp);
    auto result = run();
    Fl::remove_timeout(act);
    Fl::remove_timeout(giveUp);
    EXPECT_FALSE(g_gaveUp) << "nobody could answer the dialog";
    return result;
}

Fl_Button* button(Fl_Window* w, const std::string& label)
{
    for (int i = 0; i < w->children(); ++i)
        if (w->child(i)->label() && label == w->child(i)->label()) return dynamic_cast<Fl_Button*>(w->child(i));
    return nullptr;
}

class DialogOnScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the dialogs need a display";
    }
    int ask(int safe, std::function<void(Fl_Window*)> user)
    {
        return answered(std::move(user), [&] { return handler.choice("Bestand x bestaat al. Vervangen?\n", "Nee", "Ja", nullptr, safe); });
    }
    FlDialogHandler handler;
};

}  // namespace

// Return gives the answer that changes nothing, and so does Escape; a click
// gives the button clicked.
TEST_F(DialogOnScreen, ReturnAndEscapeGiveTheSafeAnswerAClickTheButton)
{
    EXPECT_EQ(ask(0, [](Fl_Window*) { FlEvents::press(FL_Enter); }), 0);
    EXPECT_EQ(ask(1, [](Fl_Window*) { FlEvents::press(FL_Enter); }), 1);
    EXPECT_EQ(ask(0, [](Fl_Window*) { FlEvents::press(FL_Escape); }), 0);
    EXPECT_EQ(ask(0, [](Fl_Window* w) { FlEvents::click(button(w, "Ja")); }), 1);
    // The close box is no answer either.
    EXPECT_EQ(ask(0, [](Fl_Window* w) { Fl::handle(FL_CLOSE, w); }), 0);

    for (int key : {FL_Enter, FL_Escape})
        answered([key](Fl_Window*) { FlEvents::press(key); },
                 [&] {
                     handler.alert("Attentie!! maximum 12 karakters.");
                     return 0;
                 });
}

// A message of any length fits the screen: a path of thousands of
// characters is broken over lines, none wider than the screen allows, and
// the button stays on the screen.
TEST_F(DialogOnScreen, AnAlertNeverGrowsWiderThanTheScreen)
{
    int sx, sy, sw, sh;
    Fl::screen_work_area(sx, sy, sw, sh);
    for (size_t length : {500, 4000}) {
        std::string path;
        while (path.size() < length) path += "/home/monteur/Klanten/Ombrix_Korvan_Tools/Programmer";
        const std::string text = "Fout!! Bestand \"" + path + "\" kan niet geopend worden.\n";
        answered(
            [&](Fl_Window* w) {
                EXPECT_LE(w->w(), sw) << length;
                EXPECT_GE(w->x(), sx);
                EXPECT_LE(w->x() + w->w(), sx + sw);
                Fl_Button* close = button(w, fl_close);
                ASSERT_NE(close, nullptr);
                EXPECT_LE(close->x() + close->w(), w->w());
                EXPECT_LE(close->y() + close->h(), w->h());
                FlEvents::click(close);
            },
            [&] {
                handler.alert(text);
                return 0;
            });

        // Every line fits, and nothing of the text is lost but the breaks.
        fl_font(FlMessageBox::FONT, FlMessageBox::FONT_SIZE);
        const int maxW = FlMessageBox::maxTextWidth(sw);
        const std::string wrapped = FlMessageBox::wrap(text, maxW);
        std::istringstream in(wrapped);
        for (std::string line; std::getline(in, line);) EXPECT_LE(fl_width(line.c_str()), maxW) << line;
        auto printing = [](std::string s) {
            s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\n'; }), s.end());
            return s;
        };
        EXPECT_EQ(printing(wrapped), printing(text));
        // A path breaks after a '/' where it can.
        EXPECT_NE(wrapped.find("/\n"), std::string::npos);
    }
}
