// The main window as an engineer uses it: against the unit simulator for the
// everyday workflow, without a unit for the dialogs.

#include "korprog/progctrl/Forms/WindowTestKit.h"

#include <FL/Fl_Check_Button.H>
#include <fstream>
#include <regex>

#include "korprog/progctrl/Data/Fl_Input_Choice.h"
#include "korprog/progctrl/Data/NewKorTypes.h"
#include "support/KvTestPack.h"

namespace {

std::string settings(const std::string& location)
{
    std::string f;
    for (int k = 1; k <= 200; ++k) {
        const std::string t = k == 1 ? location : k == 10 ? "KV8888GM-ED" : k == 20 ? "     " : "";
        f += t + "|" + (k == 4 ? "12" : "") + "\n";
    }
    return f;
}

std::string firstLine(const std::string& path)
{
    const std::string s = ksimtest::readFile(path);
    return s.substr(0, s.find('\n'));
}

// Chooses list line `line` of a combo box with the keyboard.
void chooseLine(Flu_Combo_List* combo, int line)
{
    FlEvents::click(&combo->input);
    if (!combo->popped()) FlEvents::key(FL_Down);
    for (int i = combo->list.value(); i < line; ++i) FlEvents::key(FL_Down);
    FlEvents::key(FL_Enter);
}

int lineOf(Flu_Combo_List* combo, const std::string& text)
{
    for (int i = 1; i <= combo->list.size(); ++i)
        if (text == combo->list.text(i)) return i;
    return 0;
}

}  // namespace

TEST_F(WindowTest, EverydayWorkflowAgainstTheSimulator)
{
    std::ofstream(sim.path("unit.adn")) << settings("Kantoor");
    ASSERT_TRUE(openOnSim({})) << status();
    EXPECT_EQ(value("Type:"), "KV8888GM-ED");
    EXPECT_EQ(value("IMEI:"), "351234567890123");
    EXPECT_TRUE(find("IMEI:")->visible());
    EXPECT_NE(value("SW Versie:"), "");

    // "Ophalen" fills the editor; the buttons rest while the unit talks.
    press("Ophalen");
    EXPECT_FALSE(buttonsActive());
    ASSERT_TRUE(until([this] { return status() == "Verbonden" && buttonsActive() && input(1, 'T'); })) << status();
    EXPECT_STREQ(input(1, 'T')->value(), "Kantoor");

    retype(input(1, 'T'), "Magazijn");
    EXPECT_STREQ(root->sbGetEntry(1)->text, "Magazijn");

    // "Opslaan" as "test": the missing extension is questioned, "Ja" keeps the name.
    dialogs.files = {"test"};
    dialogs.answers = {1};
    press("Opslaan");
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0],
              "Attentie!! Bestands naam: test\nbevat geen extensie '.adn'\nDeze bestands naam is correct?\n");
    EXPECT_EQ(dialogs.beeps, 1);
    EXPECT_EQ(firstLine("test"), "Magazijn|");
    EXPECT_FALSE(std::filesystem::exists("test.adn"));
    EXPECT_EQ(value("Naam:"), "test");

    // "Open" brings the saved settings back over a later edit.
    retype(input(1, 'T'), "Anders");
    dialogs.files = {"test"};
    press("Open");
    ASSERT_NE(input(1, 'T'), nullptr);
    EXPECT_STREQ(input(1, 'T')->value(), "Magazijn");

    // "Programmeren" puts them into the unit and reads them back; the
    // editor keeps what was sent.
    press("Programmeren");
    EXPECT_FALSE(buttonsActive());
    const std::string verified = "Verbonden - Gecontroleerd: de Korvan houdt de geprogrammeerde instellingen";
    ASSERT_TRUE(until([&] { return status() == verified && buttonsActive(); })) << status();
    EXPECT_TRUE(until([this] { return firstLine(sim.path("unit.adn")) == "Magazijn|"; }));
    EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alerts.front();
    EXPECT_STREQ(input(1, 'T')->value(), "Magazijn");

    // The read-back is an option, on until unticked, kept in the preferences.
    press("Opties");
    ASSERT_EQ(windows("Opties").size(), 1u);
    auto* readBack = find<Fl_Check_Button>("Na programmeren teruglezen: ", windows("Opties")[0]);
    ASSERT_NE(readBack, nullptr);
    EXPECT_EQ(readBack->value(), 1);
    int labelW = 0, labelH = 0;
    readBack->measure_label(labelW, labelH);
    EXPECT_LE(labelW, readBack->x()) << "the label runs off the window";
    FlEvents::click(readBack);
    press("OK", windows("Opties")[0]);
    press("Programmeren");
    ASSERT_TRUE(until([this] { return status() == "Verbonden" && buttonsActive(); })) << status();

    // "Afsluiten" ends the program, which keeps its preferences.
    press("Afsluiten");
    EXPECT_TRUE(Main::_shutdown);
    endProgram();
    const std::string ini = ksimtest::readFile("config.ini");
    EXPECT_NE(ini.find("settingfile=test\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("comport=" + simLink() + "\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("verify=0\n"), std::string::npos) << ini;
}

// The unit pulled out in the middle of "Ophalen": the editor shows what it
// showed before, the file opened and the engineer's edit of it, not a part
// of the unit's settings beside the rest; the alert says so.
TEST_F(WindowTest, OphalenCutOffLeavesTheEditorAsItWasAndSaysSo)
{
    std::ofstream(sim.path("unit.adn")) << settings("Kantoor");
    std::ofstream("klant.adn") << settings("Magazijn");
    ASSERT_TRUE(openOnSim({"--baud", "9600"})) << status();
    dialogs.files = {"klant.adn"};
    press("Open");
    ASSERT_NE(input(1, 'T'), nullptr);
    retype(input(1, 'T'), "Werkplaats");

    // Asked about the edit, the engineer lets the fetch replace it.
    dialogs.answers = {2};
    press("Ophalen");
    ASSERT_EQ(dialogs.questions.size(), 1u);
    const std::regex progress("Ophalen #([0-9]+) gereed\\.");
    std::smatch m;
    ASSERT_TRUE(until([&] {
        const std::string s = status();
        return std::regex_match(s, m, progress) && std::stoi(m[1]) >= 88;
    })) << status();
    sim.stop();  // pulled out
    advance(1000);  // the unit is given up
    ASSERT_TRUE(until([this] { return buttonsActive() && !dialogs.alerts.empty() && input(1, 'T'); })) << status();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_NE(dialogs.alerts[0].find("Ophalen afgebroken na instelling "), std::string::npos) << dialogs.alerts[0];
    EXPECT_NE(dialogs.alerts[0].find(": de instellingen zijn niet veranderd."), std::string::npos) << dialogs.alerts[0];
    EXPECT_STREQ(input(1, 'T')->value(), "Werkplaats");
    EXPECT_STREQ(root->sbGetEntry(1)->text, "Werkplaats");
    EXPECT_EQ(value("Naam:"), "klant.adn");
}

TEST_F(WindowTest, NewSettingsListTheTypesByProductLineAndStartTheChosenOne)
{
    open("");
    EXPECT_EQ(status(), "COM poort niet beschikbaar");
    EXPECT_EQ(find("Status Info:")->color(), FL_RED);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0], "Voor communicatie met Korvan eerst COM poort,\nvia Opties knop instellen.");
    dialogs.alerts.clear();

    press("Nieuw");
    ASSERT_EQ(windows("Selecteer Korvan Type").size(), 1u);
    Fl_Window* dialog = windows("Selecteer Korvan Type")[0];
    NewKorTypes* types = find<NewKorTypes>("Korvan Type:", dialog);
    Flu_Combo_List* specials = find<Flu_Combo_List>("Special:", dialog);
    ASSERT_TRUE(types && specials);
    std::vector<std::string> listed;
    for (int i = 1; i <= types->list.size(); ++i) listed.push_back(types->list.text(i));
    const std::vector<std::string> expected = {
        "KV8800GL-AD, Line-A-Log", "KV2000GM-AD, Line-A",     "KV4200GM-ED, Line-A",     "KV8888GM-ED, Line-A",
        "KV1000GS-BD",             "KV4200IM-ED, Line-B",     "KV8888IM-ED, Line-B",     "KV4200NM-ED, Line-A",
        "KV4200PL-ED, Line-D-Log", "KV2000PM-EB, Line-D",     "KV4000PM-ED, Line-D",     "KV2000WG-BD, Line-C-Pos",
        "KV4400WL-AD, Line-C-Log", "KV8888WL-ED, Line-C-Log",
    };
    EXPECT_EQ(listed, expected);
    EXPECT_STREQ(types->value(), expected[0].c_str());
    EXPECT_STREQ(specials->value(), "---");
    EXPECT_EQ(specials->list.size(), 100);

    chooseLine(types, lineOf(types, "KV8888GM-ED, Line-A"));
    chooseLine(specials, lineOf(specials, "X05"));
    EXPECT_STREQ(types->value(), "KV8888GM-ED, Line-A");
    EXPECT_STREQ(specials->value(), "X05");
    press("OK", dialog);
    EXPECT_TRUE(windows("Selecteer Korvan Type").empty());
    EXPECT_EQ(value("Kor. Type:"), "KV8888GM-ED-X05");
    EXPECT_STREQ(root->sbGetEntry(10)->text, "KV8888GM-ED");
    EXPECT_STREQ(root->sbGetEntry(20)->text, "X05");
    EXPECT_GT(editor()->children(), 0);

    // Without a special the type stands alone; a type nobody knows is refused.
    press("Nieuw");
    dialog = windows("Selecteer Korvan Type").at(0);
    types = find<NewKorTypes>("Korvan Type:", dialog);
    retype(&types->input, "KV9999ZZ-ZZ");
    press("OK", dialog);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0], "Onbekend Korvan Type: \"KV9999ZZ-ZZ\"\n");
    ASSERT_EQ(windows("Selecteer Korvan Type").size(), 1u) << "the dialog stays for a correction";
    chooseLine(types, lineOf(types, "KV4200GM-ED, Line-A"));
    press("OK", dialog);
    EXPECT_EQ(value("Kor. Type:"), "KV4200GM-ED");
    EXPECT_STREQ(root->sbGetEntry(20)->text, "     ");

    // A file that cannot be read leaves the settings as they are, and says so.
    dialogs.files = {"missing.adn"};
    press("Open");
    EXPECT_EQ(dialogs.alerts.back(), "Fout!! Bestand \"missing.adn\" kan niet geopend worden.\n");
    EXPECT_STREQ(root->sbGetEntry(10)->text, "KV4200GM-ED");
    // Nor is a file that is no text: nothing of it is taken.
    std::ofstream("binary.adn", std::ios::binary) << std::string("a|1\n\0|2\n", 8);
    dialogs.files = {"binary.adn"};
    press("Open");
    EXPECT_EQ(dialogs.alerts.back(),
              "Fout!! Bestand \"binary.adn\" kan niet gelezen worden: not a settings file (it holds a NUL byte).\n");
    EXPECT_STREQ(root->sbGetEntry(1)->text, "");

    // Escape in the main window does not end the program; its close box does.
    FlEvents::click(find("Kor. Type:"));
    FlEvents::key(FL_Escape);
    EXPECT_FALSE(Main::_shutdown);
    Fl::handle(FL_CLOSE, main());
    EXPECT_TRUE(Main::_shutdown);
}

TEST_F(WindowTest, OptionsWindowOpensOnceAndOffersTheUpgradeOnlyWithAPack)
{
    open(pty.name);
    press("Opties");
    press("Opties");
    ASSERT_EQ(windows("Opties").size(), 1u);
    Fl_Window* options = windows("Opties")[0];
    EXPECT_FALSE(find("Enable software upgrade: ", options)->visible());
    EXPECT_FALSE(find("Create Rev. Pack", options)->visible());
    EXPECT_STREQ(find<Fl_Input_>("SW Versie:", options)->value(), "KP-2.22");
    EXPECT_TRUE(std::regex_match(find<Fl_Input_>("SW Datum / Tijd", options)->value(),
                                 std::regex("[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}, [0-9]{2}:[0-9]{2}:[0-9]{2}")));
    EXPECT_STREQ(find<kp::Fl_Input_Choice>("Com Poort:", options)->value(), pty.name.c_str());

    // OK keeps the port (the driver opens it again) and the editor.
    root->korSettingBin()->korTypeFromNew("KV8888GM-ED", "     ", true);
    ASSERT_GT(editor()->children(), 0);
    press("OK", options);
    EXPECT_TRUE(windows("Opties").empty());
    EXPECT_GT(editor()->children(), 0);
    EXPECT_STREQ(root->cfgComPort(), pty.name.c_str());

    KvTestPack pack;
    pack.data = KvTestPack::image(300);
    pack.write(Main::_revpacksDir, "KV8888GM-ED_KV-4.20");
    press("Opties");
    options = windows("Opties").at(0);
    EXPECT_TRUE(find("Enable software upgrade: ", options)->visible());
}

// Settings of a GPRS type hold 24 characters in entry 4, this GSM unit 12:
// the question comes once, before anything is sent; its default leaves the
// unit as it was, and going on leaves unit, editor and a saved file alike.
TEST_F(WindowTest, TextTooLongForTheUnitIsAskedBeforeAnythingIsSentAndTheEditorShowsItCut)
{
    std::ofstream(sim.path("unit.adn")) << settings("Kantoor");
    ASSERT_TRUE(openOnSim({})) << status();
    std::string gprs = settings("Kantoor");
    gprs.replace(gprs.find("KV8888GM-ED"), 11, "KV8888WM-ED");
    size_t entry4 = 0;
    for (int line = 1; line < 4; ++line) entry4 = gprs.find('\n', entry4) + 1;
    gprs.insert(entry4, "Naam12LangLang");
    std::ofstream("gprs.adn") << gprs;
    dialogs.files = {"gprs.adn"};
    press("Open");
    ASSERT_NE(input(4, 'T'), nullptr);
    const std::string unitBefore = ksimtest::readFile(sim.path("unit.adn"));

    dialogs.answers = {1};  // "JA" to the other type; the text's question gets its default
    press("Programmeren");
    ASSERT_TRUE(until([this] { return dialogs.questions.size() == 2 && buttonsActive(); })) << status();
    EXPECT_NE(dialogs.questions[1].find("\"GPRS, APN gebruiker\", Waarde, \"Naam12LangLang\": max. 12 karakters"),
              std::string::npos)
        << dialogs.questions[1];
    until([] { return false; }, 500);
    EXPECT_EQ(sim.log().find("<- upload request"), std::string::npos);
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), unitBefore);
    EXPECT_STREQ(input(4, 'T')->value(), "Naam12LangLang");

    dialogs.answers = {1, 0};  // "JA", "Programmeren continueren"
    press("Programmeren");
    ASSERT_TRUE(until([this] { return status().find("Gecontroleerd") != std::string::npos && buttonsActive(); }))
        << status();
    EXPECT_NE(ksimtest::readFile(sim.path("unit.adn")).find("\nNaam12LangLa|12\n"), std::string::npos);
    ASSERT_NE(input(4, 'T'), nullptr);
    EXPECT_STREQ(input(4, 'T')->value(), "Naam12LangLa");
    dialogs.files = {"saved.adn"};
    press("Opslaan");
    EXPECT_NE(ksimtest::readFile("saved.adn").find("\nNaam12LangLa|12\n"), std::string::npos);
}
