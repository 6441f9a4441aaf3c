// The window against the unit simulator as an engineer meets it at the end
// of a job: edits not saved are asked about before a fetch or the end
// takes them, a note on a transfer that broke off is read whole, and what
// the window says names things as the editor shows them.

#include "korprog/progctrl/Forms/WindowTestKit.h"

#include <FL/Fl_Check_Button.H>
#include <FL/fl_draw.H>

#include <deque>

#include "support/KvSettingsFile.h"
#include "support/KvTestPack.h"

namespace fs = std::filesystem;

namespace {

std::string firstLine(const std::string& path)
{
    const std::string s = ksimtest::readFile(path);
    return s.substr(0, s.find('\n'));
}

class AsksTest : public WindowTest {
protected:
    bool connect(std::vector<std::string> args = {})
    {
        std::ofstream(sim.path("unit.adn")) << settingsFile("Unit");
        return openOnSim(std::move(args));
    }
    // The customer's file opened and its first name typed over.
    void openAndEdit()
    {
        customer = dir + "/klant.adn";
        std::ofstream(customer) << settingsFile("Klant");
        dialogs.files = {customer};
        press("Open");
        retype(input(1, 'T'), "Onbewaard");
        ASSERT_TRUE(root->korSettingBin()->unsavedChanges());
    }
    bool idle()
    {
        return until([this] { return status().rfind("Verbonden", 0) == 0 && buttonsActive(); });
    }
    // The status line shows its text whole: wrapped at its width, every
    // line fits its height.
    bool statusWhole()
    {
        Fl_Input_* f = find<Fl_Input_>(gettext("Status Info:", 0));
        fl_font(f->textfont(), f->textsize());
        int w = f->w() - Fl::box_dw(f->box()) - 8, h = 0;
        fl_measure(f->value(), w, h, 0);
        return h <= f->h() - Fl::box_dh(f->box());
    }

    std::string customer;
};

}  // namespace

// Behouden (the default) keeps the edits and does nothing; Opslaan saves
// them first and goes on only when they were saved; Verwerpen goes on.
TEST_F(AsksTest, OphalenAndAfsluitenAskBeforeUnsavedEditsGo)
{
    ASSERT_TRUE(connect()) << status();
    const std::string ophalen = "De instellingen in het venster zijn nog niet opgeslagen.\n"
                                "Ophalen vervangt ze door de instellingen van de Korvan.\n"
                                "Wilt u ze behouden, opslaan of verwerpen?\n";
    const std::string afsluiten = "De instellingen in het venster zijn nog niet opgeslagen.\n"
                                  "Bij afsluiten gaan ze verloren.\n"
                                  "Wilt u ze behouden, opslaan of verwerpen?\n";
    enum Control { OPHALEN, AFSLUITEN, CLOSE_BOX };
    const struct {
        const char* what;
        Control control;
        bool edited;
        std::deque<int> answers;
        std::deque<std::string> files;  // the save chooser's answer
        bool goesOn;                    // fetched, or the program ends
    } cases[] = {
        {"nothing to lose: no question", OPHALEN, false, {}, {}, true},
        {"kept", OPHALEN, true, {}, {}, false},
        {"save cancelled", OPHALEN, true, {1}, {""}, false},
        {"saved", OPHALEN, true, {1}, {"bewaard.adn"}, true},
        {"discarded", OPHALEN, true, {2}, {}, true},
        {"kept", AFSLUITEN, true, {}, {}, false},
        {"saved", AFSLUITEN, true, {1}, {"bewaard.adn"}, true},
        {"discarded", AFSLUITEN, true, {2}, {}, true},
        {"kept", CLOSE_BOX, true, {0}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.control == OPHALEN ? "Ophalen" : c.control == AFSLUITEN ? "Afsluiten" : "close box") +
                     ", " + c.what);
        fs::remove("bewaard.adn");
        if (c.edited) openAndEdit();  // the first case: nothing opened, nothing edited
        dialogs.questions.clear();
        dialogs.answers = c.answers;
        dialogs.files = c.files;
        const int fetches = simLogCount("<- download request");
        if (c.control == OPHALEN) press("Ophalen");
        if (c.control == AFSLUITEN) press("Afsluiten");
        if (c.control == CLOSE_BOX) Fl::handle(FL_CLOSE, main());
        helmtest::drain();

        EXPECT_EQ(dialogs.questions,
                  c.edited ? std::vector<std::string>{c.control == OPHALEN ? ophalen : afsluiten} : std::vector<std::string>{});
        if (!c.files.empty() && !c.files[0].empty()) {
            EXPECT_EQ(firstLine("bewaard.adn"), "Onbewaard|5550001");
        }
        if (c.control == OPHALEN) {
            ASSERT_TRUE(idle()) << status();
            EXPECT_EQ(simLogCount("<- download request"), fetches + (c.goesOn ? 1 : 0));
            ASSERT_NE(input(1, 'T'), nullptr);
            EXPECT_STREQ(input(1, 'T')->value(), c.goesOn ? "Unit1" : "Onbewaard");
        } else {
            EXPECT_EQ(Main::_shutdown, c.goesOn);
            if (!c.goesOn) {
                EXPECT_STREQ(input(1, 'T')->value(), "Onbewaard");
            }
            Main::_shutdown = false;
        }
    }
}

// "Afsluiten" in the middle of "Programmeren": the question stays open
// while the unit's answer comes in; kept, the upload goes on and completes.
TEST_F(AsksTest, QuestionOpenWhileTheUnitAnswersLosesNothingOfTheUpload)
{
    ASSERT_TRUE(connect()) << status();
    openAndEdit();
    press("Programmeren");
    ASSERT_TRUE(until([this] { return simLogCount("stored entry 40 ") == 1; })) << status();
    dialogs.whileOpen = [this] {
        // The unit's answer to the entry on its way arrives; nothing more goes.
        const int stored = simLogCount("stored entry ");
        struct pollfd p = {fd(), POLLIN, 0};
        ::poll(&p, 1, 300);
        EXPECT_LE(simLogCount("stored entry "), stored + 1);
    };
    press("Afsluiten");
    dialogs.whileOpen = nullptr;
    EXPECT_EQ(dialogs.questions.size(), 1u);
    EXPECT_FALSE(Main::_shutdown);
    ASSERT_TRUE(idle()) << status();
    EXPECT_EQ(simLogCount("upload ended after 200 entries"), 1);
    EXPECT_EQ(firstLine(sim.path("unit.adn")), "Onbewaard|5550001");
}

// The note on a "Programmeren" that broke off, with its counts and what it
// means, fits the status line whole, in Dutch and in English.
TEST_F(AsksTest, NoteOnAnUploadThatBrokeOffIsReadWhole)
{
    fs::copy_file(fs::path(std::getenv("KORPROG_TEST_DATA")) / "language.csv", "language.csv");
    for (const std::string lang : {"NL", "UK"}) {
        SCOPED_TRACE(lang);
        std::ofstream("language.ini") << "taal=" << lang << "\n";
        Language::destroy();
        sim.stop();
        std::ofstream(sim.path("unit.adn")) << settingsFile("Unit");
        ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn"), "--link", simLink()}));
        open(simLink());
        auto shown = [this] { return value(gettext("Status Info:", 0)); };
        ASSERT_TRUE(until([&] { return shown() == gettext("Verbonden", 0); })) << shown();
        dialogs.files = {dir + "/klant.adn"};
        std::ofstream(dir + "/klant.adn") << settingsFile("Klant");
        press(gettext("Open", 0));
        press(gettext("Programmeren", 0));
        ASSERT_TRUE(until([this] { return simLogCount("stored entry 79 ") >= 1; })) << status();
        sim.stop();  // the cable pulled out
        advance(3000);
        const std::string end = lang == "NL" ? " van 200: de Korvan is niet volledig geprogrammeerd"
                                             : " of 200: the Korvan is not fully programmed";
        ASSERT_TRUE(until([&] { return shown().find(end) != std::string::npos; })) << shown();
        EXPECT_TRUE(statusWhole()) << shown();
        shot(lang + "-upload-broke-off");
        endProgram();
        FlEvents::settle();
    }
}

// The smaller things the window tells: a field that did not verify by the
// editor's name for it; the file group emptied with the settings when a
// unit of another type takes their place; the upgrade switch ticked while
// its tab is open.
TEST_F(AsksTest, WindowNamesWhatTheEditorShows)
{
    const std::string link = sim.path("korvan0");
    std::ofstream(sim.path("unit.adn")) << settingsFile("Unit");
    ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn"), "--link", link, "--store-differs", "12"}));
    open(link);
    ASSERT_TRUE(idle()) << status();
    dialogs.files = {dir + "/klant.adn"};
    std::ofstream(dir + "/klant.adn") << settingsFile("Klant");
    press("Open");
    press("Programmeren");
    ASSERT_TRUE(until([this] { return !dialogs.alerts.empty() && buttonsActive(); })) << status();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_NE(dialogs.alerts[0].find("\nNummers, Naam 1 leest 'Klant1X' in plaats van 'Klant12'\n"), std::string::npos)
        << dialogs.alerts[0];

    // A unit of another type on the same port; the edits are discarded.
    retype(input(1, 'T'), "Onbewaard");
    ASSERT_EQ(value("Naam:"), "klant.adn");
    sim.stop();
    advance(3000);
    ASSERT_TRUE(until([this] { return status().rfind("COM poort niet beschikbaar", 0) == 0; })) << status();
    ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn"), "--link", link, "--type", "KV4200GM-ED"}));
    dialogs.answers = {2};
    for (int i = 0; i < 100 && value("Type:") != "KV4200GM-ED"; ++i) {
        advance(500);
        until([] { return false; }, 20);
    }
    ASSERT_EQ(value("Type:"), "KV4200GM-ED") << status();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].find("Attentie!! Er is een Korvan van een ander type aangesloten"), 0u);
    EXPECT_EQ(value("Naam:"), "");
    EXPECT_EQ(value("Kor. Type:"), "");
    EXPECT_STREQ(root->korSettingBin()->file(), "");

    // The upgrade tab open, the options show the switch that keeps it.
    KvTestPack pack;
    pack.data = KvTestPack::image(300);
    pack.write(Main::_revpacksDir, "KV8888GM-ED_KV-4.20");
    press("Opties");
    Fl_Window* opts = windows("Opties").at(0);
    auto* tick = find<Fl_Check_Button>("Enable software upgrade: ", opts);
    ASSERT_NE(tick, nullptr);
    EXPECT_EQ(tick->value(), 0);
    FlEvents::click(tick);
    press("OK", opts);
    ASSERT_NE(find("RevPack Software Upgrade", editor()), nullptr);
    press("Opties");
    opts = windows("Opties").at(0);
    EXPECT_EQ(find<Fl_Check_Button>("Enable software upgrade: ", opts)->value(), 1);
    press("OK", opts);
    EXPECT_NE(find("RevPack Software Upgrade", editor()), nullptr) << "OK keeps the tab";
}
