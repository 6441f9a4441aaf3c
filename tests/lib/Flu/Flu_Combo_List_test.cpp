#include "lib/Flu/Flu_Combo_List.h"

#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>
#include <memory>

#include "support/FlEvents.h"

using namespace FlEvents;

namespace {

// A shown window with a combo box (its choices recorded) and an input to
// click away to.
class ComboTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win.reset(new Fl_Double_Window(100, 100, 400, 300, "combo"));
        combo = new Flu_Combo_List(80, 20, 200, 25, "Pack:");
        other = new Fl_Input(80, 200, 200, 25, "Other:");
        win->end();
        for (const char* t : {"alpha", "@beta/with/slashes", "gamma"}) combo->list.add(t);
        combo->callback([](Fl_Widget* w, void* d) { static_cast<std::vector<std::string>*>(d)->push_back(static_cast<Flu_Combo_List*>(w)->value()); },
                        &chosen);
        win->show();
        settle();
    }
    void TearDown() override
    {
        win.reset();
        EXPECT_EQ(Fl::grab(), nullptr);
    }

    std::unique_ptr<Fl_Double_Window> win;
    Flu_Combo_List* combo = nullptr;
    Fl_Input* other = nullptr;
    std::vector<std::string> chosen;
};

}  // namespace

TEST_F(ComboTest, KeyboardOpensMovesChoosesAndEscapes)
{
    combo->editable(false);
    combo->input.take_focus();
    key(FL_Down);
    ASSERT_TRUE(combo->popped());
    for (int k : {FL_Down, FL_Down, FL_Down, FL_Down, FL_Up}) key(k);  // past the end stays on the last
    key(FL_Enter);
    EXPECT_FALSE(combo->popped());
    EXPECT_EQ(chosen, std::vector<std::string>{"@beta/with/slashes"});  // as written, no format codes
    EXPECT_EQ(Fl::focus(), &combo->input);

    // Alt-Down opens on the current item; Escape closes the list only.
    key(FL_Down, "", FL_ALT);
    EXPECT_EQ(combo->list.value(), 2);
    key(FL_Down);
    key(FL_Escape);
    EXPECT_FALSE(combo->popped());
    EXPECT_STREQ(combo->value(), "@beta/with/slashes");
    EXPECT_EQ(chosen.size(), 1u);
    EXPECT_TRUE(win->shown());
}

TEST_F(ComboTest, MouseOpensChoosesAndClickOutsideCloses)
{
    combo->editable(false);
    // The release of the opening click chooses nothing; a click outside
    // closes the list and reaches nothing else.
    click(combo, combo->w() - 8);
    ASSERT_TRUE(combo->popped());
    click(other);
    EXPECT_FALSE(combo->popped());
    EXPECT_NE(Fl::focus(), other);
    EXPECT_TRUE(chosen.empty());

    // On a box that is not editable the text opens the list too.
    click(combo, 10);
    ASSERT_TRUE(combo->popped());
    Fl_Window* popup = combo->list.window();
    const int lineH = combo->list.h() / 3;
    clickAt(popup, popup->x() + 20, popup->y() + 2 * lineH + lineH / 2);
    EXPECT_FALSE(combo->popped());
    EXPECT_EQ(chosen, std::vector<std::string>{"gamma"});

    // A box deleted with its list open lets go of the grab.
    click(combo, 10);
    ASSERT_TRUE(combo->popped());
    delete combo;
    EXPECT_EQ(Fl::grab(), nullptr);
}

TEST_F(ComboTest, EditableBoxTakesTypingAndOtherTexts)
{
    combo->input.take_focus();
    type("delta");
    EXPECT_TRUE(chosen.empty());  // typing is no choice unless asked for
    combo->when(FL_WHEN_CHANGED | FL_WHEN_RELEASE);
    type("!");
    EXPECT_EQ(chosen, std::vector<std::string>{"delta!"});

    combo->value("gamma");
    EXPECT_EQ(combo->list.value(), 3);
    combo->value("epsilon");
    EXPECT_STREQ(combo->value(), "epsilon");
    EXPECT_EQ(combo->list.value(), 0);

    // A box that is not editable shows only texts of its list.
    combo->editable(false);
    combo->value("epsilon");
    EXPECT_STREQ(combo->value(), "");
    combo->select(1);
    EXPECT_STREQ(combo->value(), "alpha");
}
