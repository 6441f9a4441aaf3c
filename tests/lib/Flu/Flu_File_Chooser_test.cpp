#include "lib/Flu/Flu_File_Chooser.h"

#include <gtest/gtest.h>

#include <FL/Fl_Window.H>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/FlEvents.h"

namespace fs = std::filesystem;

namespace {

// What the user presses once the chooser is up: Enter or Escape. A chooser
// still open seconds later is closed, so a fault cannot hang the run.
int g_key = FL_Enter;
bool g_gaveUp = false;

void giveUp(void*)
{
    g_gaveUp = true;
    if (Fl::modal()) Fl::modal()->hide();
}

void answer(void*)
{
    // The chooser may run the event loop while it is still being shown.
    if (!Fl::modal() || !Fl::focus() || Fl::focus()->top_window() != Fl::modal()) {
        Fl::repeat_timeout(0.05, answer);
        return;
    }
    // Without waiting for the display here: the closing chooser's own
    // display events end the wait of its loop.
    FlEvents::press(g_key);
}

std::string choose(Flu_File_Chooser::Kind kind, const char* start, int key = FL_Enter)
{
    g_key = key;
    g_gaveUp = false;
    Fl::add_timeout(0.1, answer);
    Fl::add_timeout(5.0, giveUp);
    const std::string chosen = Flu_File_Chooser::choose(kind, "Kies", "*.adn", start);
    Fl::remove_timeout(answer);
    Fl::remove_timeout(giveUp);
    return g_gaveUp ? "<no answer>" : chosen;
}

}  // namespace

TEST(FileChooser, StartNameTypingAndCancelGiveThePathsAUserExpects)
{
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the chooser needs a display";
    const fs::path previous = fs::current_path();
    char tmpl[] = "/tmp/flu-chooser-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const fs::path dir = fs::canonical(tmpl);
    fs::create_directory(dir / "sub");
    std::ofstream(dir / "sub" / "a.adn") << "x|\n";
    fs::current_path(dir);

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

    fs::current_path(previous);
    fs::remove_all(dir);
}
