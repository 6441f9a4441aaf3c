#include "lib/Flu/Flu_File_Chooser.h"

#include <gtest/gtest.h>

#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/fl_draw.H>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "lib/Flu/Flu_File_List.h"
#include "support/FlEvents.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// What the person at the screen does once the chooser is up. A chooser still
// open seconds later is closed, so a fault cannot hang the run.
std::function<void()> g_user;
bool g_gaveUp = false;

void giveUp(void*)
{
    g_gaveUp = true;
    if (Fl::modal()) Fl::modal()->hide();
}

void act(void*)
{
    // The chooser may run the event loop while it is still being shown.
    if (!Fl::modal() || !Fl::focus() || Fl::focus()->top_window() != Fl::modal()) {
        Fl::repeat_timeout(0.05, act);
        return;
    }
    g_user();
}

template <class Run>
std::string answered(std::function<void()> user, Run run)
{
    g_user = std::move(user);
    g_gaveUp = false;
    Fl::add_timeout(0.05, act);
    Fl::add_timeout(10.0, giveUp);
    const std::string chosen = run();
    Fl::remove_timeout(act);
    Fl::remove_timeout(giveUp);
    return g_gaveUp ? "<no answer>" : chosen;
}

// The chooser as the program calls it.
std::string choose(Flu_File_Chooser::Kind kind, const char* start, std::function<void()> user)
{
    return answered(std::move(user), [&] { return Flu_File_Chooser::choose(kind, "Kies", "*.adn", start); });
}

std::string choose(Flu_File_Chooser::Kind kind, const char* start, int key = FL_Enter)
{
    // Without waiting for the display here: the closing chooser's own
    // display events end the wait of its loop.
    return choose(kind, start, [key] { FlEvents::press(key); });
}

std::string nameField() { return static_cast<Fl_Input_*>(Fl::focus())->value(); }

// A click on list line `line` (1-based); clicks 1 makes it the second
// click of a double click.
void clickLine(Flu_File_List* list, int line, int clicks = 0)
{
    fl_font(list->textfont(), list->textsize());
    const int lineH = fl_height();
    Fl::e_clicks = clicks;
    FlEvents::click(list, 20, Fl::box_dy(list->box()) + (line - 1) * lineH + lineH / 2);
    Fl::e_clicks = 0;
}

std::vector<std::string> lines(Flu_File_List* list)
{
    std::vector<std::string> out;
    for (int i = 1; i <= list->size(); ++i) out.push_back(list->name(i) + (list->isDir(i) ? "/" : ""));
    return out;
}

class FileChooser : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the chooser needs a display";
        ASSERT_TRUE(scratch.ok());
        dir = fs::canonical(scratch.path());
        fs::create_directory(dir / "sub");
        std::ofstream(dir / "sub" / "a.adn") << "x|\n";
    }
    TempDir scratch{"flu-chooser", TempDir::ENTER};
    fs::path dir;
};

}  // namespace

TEST_F(FileChooser, StartNameTypingAndCancelGiveThePathsAUserExpects)
{
    // The start file is filled in; Enter takes it.
    EXPECT_EQ(choose(Flu_File_Chooser::EXISTING_FILE, "sub/a.adn"), (dir / "sub" / "a.adn").string());
    // A new name for saving keeps its directory.
    EXPECT_EQ(choose(Flu_File_Chooser::SAVE_FILE, "sub/new.adn"), (dir / "sub" / "new.adn").string());
    // A start name in a directory that is gone opens the working directory.
    EXPECT_EQ(choose(Flu_File_Chooser::SAVE_FILE, "gone/b.adn"), (dir / "b.adn").string());
    // Without a start name the directory chooser offers the working directory.
    EXPECT_EQ(choose(Flu_File_Chooser::DIRECTORY, ""), dir.string());
    // Escape cancels.
    EXPECT_EQ(choose(Flu_File_Chooser::SAVE_FILE, "sub/a.adn", FL_Escape), "");
}

// Typed names stay as typed, character by character, whether they begin
// with "/" or not, and Return takes them.
TEST_F(FileChooser, TypedNamesStayAsTypedAndReturnTakesThem)
{
    const std::string absolute = (dir / "sub" / "klant 12.adn").string();
    std::vector<std::string> seen;
    const std::string chosen = choose(Flu_File_Chooser::SAVE_FILE, "", [&] {
        for (char c : absolute) {
            FlEvents::type(std::string(1, c));
            seen.push_back(nameField());
        }
        FlEvents::press(FL_Enter);
    });
    EXPECT_EQ(chosen, absolute);
    ASSERT_EQ(seen.size(), absolute.size());
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], absolute.substr(0, i + 1)) << "after character " << i;

    // A name relative to the directory shown; the offered name is replaced.
    EXPECT_EQ(choose(Flu_File_Chooser::SAVE_FILE, "sub/a.adn",
                     [] {
                         FlEvents::type("../b.adn");
                         FlEvents::press(FL_Enter);
                     }),
              (dir / "b.adn").string());
    // Opening asks for a file that is there: a name that is not stays for a correction.
    EXPECT_EQ(choose(Flu_File_Chooser::EXISTING_FILE, "",
                     [] {
                         FlEvents::type("sub/none.adn");
                         FlEvents::key(FL_Enter);
                         EXPECT_TRUE(Fl::modal()) << "still open";
                         for (int i = 0; i < 8; ++i) FlEvents::key(FL_BackSpace);
                         FlEvents::type("a.adn");
                         FlEvents::press(FL_Enter);
                     }),
              (dir / "sub" / "a.adn").string());
}

// "/" and other directories typed and Return open them in the dialog; a
// double click or Return in the list does the same, the arrow goes up.
TEST_F(FileChooser, DirectoriesOpenInPlace)
{
    Flu_File_Chooser c(Flu_File_Chooser::SAVE_FILE, "Kies", "*.adn", "");
    const std::string chosen = answered(
        [&] {
            FlEvents::type("/");
            EXPECT_EQ(c.directory(), dir.string()) << "typing alone opens nothing";
            FlEvents::key(FL_Enter);
            EXPECT_EQ(c.directory(), "/");
            EXPECT_STREQ(c.nameInput()->value(), "");
            EXPECT_GT(c.fileList()->find("tmp"), 0) << "the root's own entries";
            EXPECT_EQ(c.fileList()->find(".."), 0) << "nothing above the root";

            FlEvents::type(dir.string() + "/");
            FlEvents::key(FL_Enter);
            EXPECT_EQ(c.directory(), dir.string());
            EXPECT_EQ(lines(c.fileList()), (std::vector<std::string>{"../", "sub/"}));

            FlEvents::type("nieuw.adn");
            clickLine(c.fileList(), 2);
            EXPECT_EQ(c.fileList()->value(), 2);
            clickLine(c.fileList(), 2, 1);
            EXPECT_EQ(c.directory(), (dir / "sub").string());
            EXPECT_STREQ(c.nameInput()->value(), "nieuw.adn") << "the name goes along";

            FlEvents::click(c.window()->child(0));  // the arrow up
            EXPECT_EQ(c.directory(), dir.string());
            FlEvents::click(c.nameInput());
            FlEvents::press(FL_Enter);
        },
        [&] { return c.run(); });
    EXPECT_EQ(chosen, (dir / "nieuw.adn").string());
}

// The directory chooser shows the matching files greyed, to recognise the
// directory by; they cannot be chosen, the directory can.
TEST_F(FileChooser, DirectoryChooserShowsTheMatchingFilesGreyed)
{
    for (const char* f : {"b10.bin", "b2.bin", "notes.txt", ".hidden.bin"}) std::ofstream(dir / f) << "x";
    Flu_File_Chooser c(Flu_File_Chooser::DIRECTORY, "Kies", "*.bin", dir.string().c_str());
    const std::string chosen = answered(
        [&] {
            Flu_File_List* list = c.fileList();
            EXPECT_EQ(lines(list), (std::vector<std::string>{"../", "sub/", "b2.bin", "b10.bin"}));
            EXPECT_FALSE(list->choosable(3));
            EXPECT_NE(std::string(list->text(3)).find("C" + std::to_string(FL_INACTIVE_COLOR)), std::string::npos)
                << "drawn in the inactive colour";
            clickLine(list, 3);
            EXPECT_EQ(list->value(), 0) << "a file is no choice here";
            EXPECT_STREQ(c.nameInput()->value(), "");

            // All files on request.
            c.showChoice()->value(1);
            c.showChoice()->do_callback();
            EXPECT_GT(list->find("notes.txt"), 0);

            FlEvents::click(c.nameInput());
            FlEvents::press(FL_Enter);
        },
        [&] { return c.run(); });
    EXPECT_EQ(chosen, dir.string());
}
