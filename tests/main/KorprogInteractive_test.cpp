// The program started by a person: with a display it opens the window and a
// signal ends it as "Afsluiten" does; without a display it refuses at once.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "korvansim/SimProcess.h"
#include "support/KorprogDirTest.h"
#include "support/KorprogProcess.h"

namespace fs = std::filesystem;

namespace {

class Interactive : public KorprogDirTest {
protected:
    Interactive() : KorprogDirTest("korprog-interactive") {}
    void TearDown() override
    {
        program.kill();
        sim.stop();
    }

    enum Screen {
        WINDOW,      // the display the tests run under
        NO_DISPLAY,  // none at all
        HEADLESS     // none, and told to run without a window
    };
    // Starts korprog, without arguments unless given.
    void start(Screen screen, const std::vector<std::string>& args = {})
    {
        // In sanitizer builds: fontconfig, which draws the window's texts,
        // keeps its font cache for the life of the process. Read at the
        // end, after the program moved into the user's directory.
        std::ofstream(dir / "lsan.supp") << "leak:libfontconfig.so\n";
        KorprogStart how(dir.string(), {"KORPROG_HEADLESS", "LSAN_OPTIONS=suppressions=" + (dir / "lsan.supp").string()});
        how.display = screen == WINDOW;
        if (screen == HEADLESS) how.env.push_back("KORPROG_HEADLESS=1");
        program.start(how, args);
    }
    // Exit code, or -2 when the program still runs after `ms`.
    int waitExit(int ms) { return program.wait(ms / 1000.0); }
    int simCount(const std::string& text) const { return ksimtest::count(sim.log(), text); }

    // The visible windows on the display, one a line: "id width height x
    // y title" (xdotool).
    static std::vector<std::string> windows()
    {
        std::vector<std::string> found;
        FILE* p = popen("for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do "
                        "eval $(xdotool getwindowgeometry --shell $w); echo $w $WIDTH $HEIGHT $X $Y "
                        "$(xdotool getwindowname $w); done",
                        "r");
        if (!p) return found;
        char line[128];
        while (fgets(line, sizeof line, p)) found.push_back(line);
        pclose(p);
        return found;
    }

    KorprogProcess program;
    SimProcess sim;
};

TEST_F(Interactive, WithoutADisplayAnInteractiveStartEndsAtOnceAndSaysWhy)
{
    start(NO_DISPLAY);
    EXPECT_EQ(waitExit(5000), 1);
    EXPECT_EQ(read("err.txt"),
              "korprog: no display to open the window on (DISPLAY is not set); without one only -program, "
              "-upgrade and -cmdl_crtrpa run\n");
    EXPECT_FALSE(fs::exists(user / "config.ini")) << "nothing started";
}

TEST_F(Interactive, SigtermWhileConnectedEndsZeroWithThePreferencesWritten)
{
    const bool window = std::getenv("DISPLAY") != nullptr;
    std::ofstream(sim.path("unit.adn")) << "";
    ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn")}));
    fs::create_directories(user);
    std::ofstream(user / "config.ini") << "comport=" << sim.device << "\nkorvantype=KV8888GM-ED\n";
    start(window ? WINDOW : HEADLESS);
    // Connected, and the life check has run a while.
    for (int i = 0; i < 1000 && simCount("<- status request") < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(simCount("<- status request"), 3) << read("err.txt");
    program.signal(SIGTERM);
    EXPECT_EQ(waitExit(5000), 0) << (window ? "with the window: " : "without a window: ") << read("err.txt");
    const std::string ini = read(user / "config.ini");
    EXPECT_NE(ini.find("comport=" + sim.device + "\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("korvantype=KV8888GM-ED;KV8888GM-ED\n"), std::string::npos) << "written back: " << ini;
}

// A unit in its boot loader: the program shows an alert, then waits for the
// user to choose a firmware image. A signal ends both at once.
TEST_F(Interactive, SigtermWhileAUnitInItsBootLoaderWaitsForAnImageEndsWithinTwoSeconds)
{
    std::vector<Screen> screens{HEADLESS};
    if (std::getenv("DISPLAY")) screens.push_back(WINDOW);
    for (const Screen screen : screens) {
        SCOPED_TRACE(screen == WINDOW ? "with the window" : "without a window");
        sim.stop();
        std::ofstream(sim.path("unit.adn")) << "";
        ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn"), "--boot"}));
        fs::create_directories(user);
        std::ofstream(user / "config.ini") << "comport=" << sim.device << "\nkorvantype=KV8888GM-ED\n";
        start(screen);
        for (int i = 0; i < 1000 && simCount("-> boot-loader request (0B)") < 1; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GE(simCount("-> boot-loader request (0B)"), 1) << read("err.txt");
        // The alert is up (with the window) or answered and the wait begun.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        program.signal(SIGTERM);
        EXPECT_EQ(waitExit(2000), 0) << read("err.txt");
    }
}

// A real FLTK question left open past every time-out in the middle of
// "Programmeren" (the unit's hardware takes no number in entry 80), then
// answered: the upload goes on where it was and completes. The run is
// -program with the window, so no click on the window's layout is needed
// to get there; the question is FLTK's own modal loop with the real clock.
TEST_F(Interactive, QuestionHeldOpenDuringProgrammerenLosesNothing)
{
    if (!std::getenv("DISPLAY") || std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "no display or xdotool";
    std::ofstream(sim.path("unit.adn")) << "";
    ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn"), "--hardware", "D.49"}));
    fs::create_directories(user);
    std::ofstream(user / "config.ini") << "comport=" << sim.device << "\n";
    std::string file;
    for (int k = 1; k <= 200; ++k)
        file += (k == 10 ? std::string("KV8888GM-ED") : "nieuw " + std::to_string(k)) + "|" +
                (k == 115 || k == 116 ? "" : std::to_string(k)) + "\n";
    std::ofstream(dir / "new.adn") << file;
    start(WINDOW, {"-program", (dir / "new.adn").string()});
    for (int i = 0; i < 1000 && simCount("stored entry 79 ") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(simCount("stored entry 79 "), 1) << read("err.txt");

    // Find the question: the one window besides the main one and the
    // screen's root.
    std::string question;
    for (int i = 0; i < 100 && question.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const std::string& w : windows())
            if (w.find("Korvan Programmeer Omgeving") == std::string::npos && w.find(" 0 0") == std::string::npos)
                question = w;
    }
    ASSERT_FALSE(question.empty()) << "no question came up";
    std::this_thread::sleep_for(std::chrono::seconds(13));
    EXPECT_EQ(simCount("stored entry 80 "), 0) << "nothing goes while the question is open";
    EXPECT_EQ(waitExit(10), -2) << "still running";

    // Answered with the keyboard, the pointer over the question.
    std::istringstream geometry(question);
    std::string id;
    int w = 0, h = 0, x = 0, y = 0;
    geometry >> id >> w >> h >> x >> y;
    const std::string answer = "xdotool mousemove " + std::to_string(x + w / 2) + " " + std::to_string(y + 10) +
                               " key Escape";
    ASSERT_EQ(std::system(answer.c_str()), 0);
    EXPECT_EQ(waitExit(10000), 0) << read("err.txt");
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), file) << "every entry, after the answer";
    EXPECT_EQ(simCount("upload ended after 200 entries"), 1);
}

}  // namespace

#endif
