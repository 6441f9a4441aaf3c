#include "lib/Flu/Flu_Combo_List.h"

#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>
#include <memory>

#include "support/FlEvents.h"

using namespace FlEvents;

namespace {

// A shown window with one combo box and a second input to click away to.
class ComboTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win.reset(new Fl_Double_Window(100, 100, 400, 300, "combo"));
        combo = new Flu_Combo_List(80, 20, 200, 25, "Pack:");
        other = new Fl_Input(80, 200, 200, 25, "Other:");
        win->end();
        for (const char* t : {"alpha", "@beta/with/slashes", "gamma"}) combo->list.add(t);
        combo->callback(
            [](Fl_Widget*, void* d) {
                ComboTest* t = static_cast<ComboTest*>(d);
                t->chosen.push_back(t->combo->value());
            },
            this);
        win->show();
        settle();
    }
    void TearDown() override
    {
        win.reset();
        settle();
        EXPECT_EQ(Fl::grab(), nullptr);
    }
    int buttonX() const { return combo->w() - 8; }

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
    EXPECT_STREQ(combo->value(), "@beta/with/slashes");  // shown as written, no format codes or submenus
    EXPECT_EQ(chosen, std::vector<std::string>{"@beta/with/slashes"});

    // Alt-Down opens as well, on the current item; Escape leaves it.
    key(FL_Down, "", FL_ALT);
    ASSERT_TRUE(combo->popped());
    EXPECT_EQ(combo->list.value(), 2);
    key(FL_Down);
    key(FL_Escape);
    EXPECT_FALSE(combo->popped());
    EXPECT_STREQ(combo->value(), "@beta/with/slashes");
    EXPECT_EQ(chosen.size(), 1u);
    EXPECT_TRUE(win->shown());  // Escape closed the list, not the window
}

TEST_F(ComboTest, MouseOpensChoosesAndClickOutsideCloses)
{
    combo->editable(false);

    // The release of the opening click chooses nothing.
    click(combo, buttonX());
    ASSERT_TRUE(combo->popped());
    EXPECT_TRUE(chosen.empty());

    // A click outside the list closes it and reaches nothing else.
    click(other);
    EXPECT_FALSE(combo->popped());
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(Fl::grab(), nullptr);

    // On a box that is not editable a click on the text opens it too; a
    // click on the third line chooses it.
    click(combo, 10);
    ASSERT_TRUE(combo->popped());
    Fl_Window* popup = combo->list.window();
    const int lineH = combo->list.h() / 3;
    clickAt(popup, popup->x() + 20, popup->y() + 2 * lineH + lineH / 2);
    EXPECT_FALSE(combo->popped());
    EXPECT_STREQ(combo->value(), "gamma");
    EXPECT_EQ(chosen, std::vector<std::string>{"gamma"});

    // A box deleted with its list open lets go of the grab.
    click(combo, buttonX());
    ASSERT_TRUE(combo->popped());
    delete combo;
    combo = nullptr;
    EXPECT_EQ(Fl::grab(), nullptr);
}

TEST_F(ComboTest, EditableBoxTakesTypingAndForeignValues)
{
    combo->input.take_focus();
    type("delta");
    EXPECT_STREQ(combo->value(), "delta");
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
    combo->list.clear();
    combo->value("");
    key(FL_Down);  // an empty list still opens and closes cleanly
    key(FL_Enter);
    EXPECT_FALSE(combo->popped());
    EXPECT_STREQ(combo->value(), "");
}
