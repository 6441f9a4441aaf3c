#include "korprog/progctrl/Data/SBTabs.h"

// GoogleTest before the FLTK headers that bring in X11's macros (None).
#include "DataTest.h"

#include <filesystem>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>
#include <FL/fl_draw.H>
#include <filesystem>
#include <memory>

#include "korprog/progctrl/Data/SBChoice.h"
#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SBInput.h"
#include "korprog/progctrl/Data/SBInputChoice.h"
#include "korprog/progctrl/Data/SBMenuButton.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "support/FlEvents.h"

using namespace FlEvents;

namespace {

// Columns: entry; part; label; tab; kind; help; tab help; then the variant
// selectors (KV, inputs, voltage, current, relays, network, function, power,
// mount, special).
const char* const TABLE =
    "Nr;Deel;Naam;Tab;Soort;Help;Tab help;KV;Din;Uin;Iin;Rel;Net;Fnc;Pwr;Mnt;Spc\n"
    "4;T;APN;GPRS;ascii;Toegangspunt;gprs.html;;;;;;GW;;;;\n"
    "5;T;APN vervolg;GPRS;ascii;;gprs.html;;;;;;GW;;;;\n"
    "30;N;Poll tijd;GPRS;num:1..99|default:15;Seconden;gprs.html\n"
    "31;N;Poort;GPRS;num:0..65535;;\n"
    "6;T;Gebruiker;GPRS;ascii;;\n"
    "32;N;Pogingen;GPRS;num:0..9|default:3;;\n"
    "2;T;Naam;Algemeen;ascii;Naam van de installatie;Algemene instellingen\r\n"
    "70;T;Alleen PSTN;Algemeen;ascii;;;;;;;;P;;;;\n"
    "40;N;Ingang 1;Algemeen;sel:Uit:0|Aan:1|Alarm:2;Werking;\n"
    "44;T;Extra;GPRS;tel;;\n"
    "44;N;Telefoon;GPRS;tel;;\n";

const char* const GPRS_TYPE = "KV4400WS-BX";

// Made whole before the tests change directory: with a compiler cache
// __FILE__ may be relative to the build directory.
const std::string FIXTURES =
    std::filesystem::absolute(std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/'))).string() + "/fixtures";

std::vector<std::string> tabLabels(Fl_Tabs* tabs)
{
    std::vector<std::string> out;
    for (int i = 0; i < tabs->children(); ++i) out.push_back(tabs->child(i)->label());
    return out;
}

// The first widget of type W on a sheet whose definition edits `part` of
// entry `nr`.
template <class W>
W* widget(Fl_Tabs* tabs, int nr, char part)
{
    for (int t = 0; t < tabs->children(); ++t) {
        Fl_Group* sheet = tabs->child(t)->as_group();
        for (int i = 0; i < sheet->children(); ++i) {
            W* w = dynamic_cast<W*>(sheet->child(i));
            if (w && w->sbEntry()->entry() == nr && w->sbEntry()->list() == part) return w;
        }
    }
    return nullptr;
}

// The editor in a shown window beside its help view, on a GPRS bin.
class EditorTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        TempDir::write("config.csv", TABLE);
        TempDir::write("gprs.html", "<p>GPRS pagina</p>");
        bin.setEntry(SettingBin::KORTYPE_POS, GPRS_TYPE, nullptr, false, SBEntry::INVALID_TYPE);
        win.reset(new Fl_Double_Window(50, 50, 1060, 400, "editor"));
        help = new Fl_Help_View(714, 10, 335, 380);
        tabs = new SBTabs(10, 10, 700, 340);
        win->end();
        tabs->configFile("config.csv");
        tabs->helpView(help);
        win->show();
        settle();
    }
    void TearDown() override
    {
        win.reset();
        settle();
        DataTest::TearDown();
    }
    const char* text(int nr) { return bin.getEntry(static_cast<uint8_t>(nr))->text; }
    const char* number(int nr) { return bin.getEntry(static_cast<uint8_t>(nr))->tfnr; }
    SBInput* input(int nr, char part = 'T') { return widget<SBInput>(tabs, nr, part); }

    SettingBin bin{nullptr};
    std::unique_ptr<Fl_Double_Window> win;
    Fl_Help_View* help = nullptr;
    SBTabs* tabs = nullptr;
};

}  // namespace

TEST_F(EditorTest, TabsColumnsAndHelpFollowTheTable)
{
    tabs->editSettingBin(&bin);
    settle();

    // A new tab at each change of name, also for a name that comes back;
    // the heading, a row for another network and a CR LF line end do not
    // disturb the rest.
    ASSERT_EQ(tabLabels(tabs), (std::vector<std::string>{"GPRS", "Algemeen", "GPRS"}));
    EXPECT_EQ(input(70), nullptr);
    ASSERT_NE(input(2), nullptr);
    EXPECT_STREQ(help->value(), "<p>GPRS pagina</p>");

    // Text column on the left, number column on the right, filled apart.
    const int top = tabs->y() + 25 + 15;
    EXPECT_EQ((std::vector<int>{input(4)->x(), input(4)->y(), input(4)->w()}), (std::vector<int>{162, top, 180}));
    EXPECT_EQ((std::vector<int>{input(30, 'N')->x(), input(30, 'N')->w()}), (std::vector<int>{521, 164}));
    EXPECT_EQ(input(6)->y(), top + 2 * 21);
    EXPECT_EQ(input(32, 'N')->y(), input(6)->y());

    // Switching tabs shows the tab's help; a field shows its own on focus.
    ASSERT_TRUE(clickTab(tabs, tabs->child(1)));
    EXPECT_STREQ(help->value(), "Algemene instellingen");
    click(input(2));
    EXPECT_EQ(Fl::focus(), input(2));
    EXPECT_STREQ(help->value(), "Naam van de installatie");

    // Closing leaves the bin without links to the deleted definitions.
    EXPECT_EQ(bin.getEntry(2)->sbEntryT, input(2)->sbEntry());
    tabs->editClose();
    EXPECT_EQ(tabs->children(), 0);
    int links = 0;
    for (int nr = 0; nr < SettingBin::MAX_ENTRIES; ++nr) {
        links += bin.getEntry(static_cast<uint8_t>(nr))->sbEntryT != nullptr;
        links += bin.getEntry(static_cast<uint8_t>(nr))->sbEntryN != nullptr;
    }
    EXPECT_EQ(links, 0);
    EXPECT_TRUE(dialogs.alerts.empty());

    tabs->configFile("ontbreekt.csv");
    tabs->editSettingBin(&bin);
    EXPECT_EQ(tabs->children(), 0);
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Fout!! Bestand \"ontbreekt.csv\" niet aanwezig.\n"
                                                       "Gegevens kunnen NIET ingevuld worden.\n"});
}

TEST_F(EditorTest, OnlyWhatTheUserTypesIsStoredAndSurvivesARebuild)
{
    bin.setEntry(2, "Kantoor", nullptr, false, SBEntry::INVALID_TYPE);
    tabs->editSettingBin(&bin);
    settle();
    ASSERT_TRUE(clickTab(tabs, tabs->child(1)));
    ASSERT_TRUE(clickTab(tabs, tabs->child(0)));

    // Building and browsing store nothing; a default is only shown.
    EXPECT_STREQ(input(2)->value(), "Kantoor");
    EXPECT_STREQ(input(30, 'N')->value(), "15");
    for (int nr : {4, 5, 6, 30, 31, 32, 40}) {
        EXPECT_STREQ(text(nr), "") << nr;
        EXPECT_STREQ(number(nr), "") << nr;
    }

    // Entry 4 and 5 edit as one text of at most 24 characters.
    EXPECT_FALSE(input(5)->visible());
    click(input(4));
    paste("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234");
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Attentie!! Veldnaam, \"GPRS, APN\": maximum 24 karakters."});
    EXPECT_STREQ(input(4)->value(), "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_STREQ(text(4), "ABCDEFGHIJKL");
    EXPECT_STREQ(text(5), "MNOPQRSTUVWX");

    // A number field takes digits only; its neighbour with a default stays empty.
    click(input(31, 'N'));
    type("8a0");
    EXPECT_STREQ(number(31), "80");
    EXPECT_STREQ(number(30), "");
    // Characters the bin refuses disappear from the field at once. Entry 6
    // has no partner input after it, so it keeps its whole text.
    click(input(6));
    type("a;b/c");
    EXPECT_STREQ(input(6)->value(), "abc");
    EXPECT_STREQ(text(6), "abc");
    EXPECT_STREQ(text(32), "");
    // A double quote would end the part on the wire: refused in both parts.
    type("\"d");
    EXPECT_STREQ(input(6)->value(), "abcd");
    EXPECT_STREQ(text(6), "abcd");
    ASSERT_TRUE(clickTab(tabs, tabs->child(2)));
    click(input(44, 'N'));
    type("06\"12");
    EXPECT_STREQ(input(44, 'N')->value(), "0612");
    EXPECT_STREQ(number(44), "0612");
    ASSERT_TRUE(clickTab(tabs, tabs->child(0)));

    // A rebuild shows what was typed, in full.
    tabs->editSettingBin(&bin);
    settle();
    EXPECT_STREQ(input(4)->value(), "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_STREQ(input(31, 'N')->value(), "80");
    EXPECT_STREQ(input(6)->value(), "abcd");
}

TEST_F(EditorTest, ItemWidgetsShowAndStoreTheChosenValue)
{
    bin.setEntry(40, nullptr, "7", false, SBEntry::INVALID_TYPE);
    bin.setEntry(50, nullptr, "H", false, SBEntry::INVALID_TYPE);
    bin.setEntry(51, "zz", nullptr, false, SBEntry::INVALID_TYPE);
    tabs->editSettingBin(&bin);
    SBTabSheet* sheet = static_cast<SBTabSheet*>(tabs->child(1));
    ASSERT_TRUE(clickTab(tabs, sheet));

    // The layout table's "sel:" row: a value outside the items shows none.
    SBInputChoice* in1 = widget<SBInputChoice>(tabs, 40, 'N');
    ASSERT_NE(in1, nullptr);
    EXPECT_STREQ(in1->value(), "");
    EXPECT_EQ(in1->menuValue(), -1);
    menuKeys({FL_Down, FL_Down, FL_Enter});
    click(in1);
    EXPECT_STREQ(in1->value(), "Aan");
    EXPECT_STREQ(number(40), "1");

    // Menu button and choice, for definitions of those kinds.
    auto* mode = new SBMenuButton(new SBEntry("50;N;Modus;Algemeen;sel:Laag:L|Hoog:H;;", &bin), &bin);
    mode->placeOnTabSheet(sheet);
    auto* level = new SBChoice(new SBEntry("51;T;Niveau;Algemeen;sel:A/B|C&D;;", &bin), &bin);
    level->placeOnTabSheet(sheet);
    EXPECT_EQ(mode->y(), in1->y() + 21);
    EXPECT_STREQ(mode->tooltip(), "Hoog");
    EXPECT_EQ(level->value(), -1);
    EXPECT_EQ(level->size(), 3);  // two items and the end mark: "A/B" is no submenu

    menuKeys({FL_Up, FL_Enter});
    click(mode);
    EXPECT_STREQ(number(50), "L");
    EXPECT_STREQ(mode->tooltip(), "Laag");

    menuKeys({FL_Down, FL_Down, FL_Enter});
    click(level);
    EXPECT_EQ(level->value(), 1);
    EXPECT_STREQ(text(51), "C&D");
}

// A full layout table (fixtures/config.csv) for two unit variants: the
// variant's tabs appear, and on every sheet no two shown widgets overlap,
// every widget lies within the sheet's width and every label fits its
// column once drawn.
TEST_F(EditorTest, FullTableLaysOutCleanly)
{
    const std::string table = FIXTURES + "/config.csv";
    tabs->configFile(table.c_str());
    const std::vector<std::string> common{"Algemeen", "Telefoonnummers", "Ingangen", "Analoog"};
    for (const char* special : {"     ", "X05"}) {
        const bool gprs = special[0] == 'X';
        bin.setEntry(SettingBin::KORTYPE_POS, gprs ? GPRS_TYPE : "KV8888GM-ED", nullptr, false, SBEntry::INVALID_TYPE);
        bin.setEntry(SettingBin::KORSPECIAL_POS, special, nullptr, false, SBEntry::INVALID_TYPE);
        tabs->editSettingBin(&bin);
        std::vector<std::string> expected = common;
        expected.push_back(gprs ? "GPRS" : "Uitgangen");
        EXPECT_EQ(tabLabels(tabs), expected);
        for (int t = 0; t < tabs->children(); ++t) {
            auto* sheet = static_cast<SBTabSheet*>(tabs->child(t));
            tabs->value(sheet);
            win->redraw();
            settle();
            std::vector<Fl_Widget*> shown;
            for (int i = 0; i < sheet->children(); ++i) {
                Fl_Widget* w = sheet->child(i);
                if (!w->visible() || w == &sheet->scrollbar || w == &sheet->hscrollbar) continue;
                EXPECT_GE(w->x(), sheet->x());
                EXPECT_LE(w->x() + w->w(), sheet->x() + sheet->w() - Fl::scrollbar_size());
                const int column = w->x() >= sheet->leftNumMargin() ? sheet->leftNumMargin() : sheet->leftTxtMargin();
                fl_font(w->labelfont(), w->labelsize());
                EXPECT_LE(fl_width(w->label()), w->x() - 3 - column) << w->label();
                for (Fl_Widget* o : shown) {
                    const bool apart = o->x() + o->w() <= w->x() || w->x() + w->w() <= o->x() ||
                                       o->y() + o->h() <= w->y() || w->y() + w->h() <= o->y();
                    EXPECT_TRUE(apart) << o->label() << " / " << w->label();
                }
                shown.push_back(w);
            }
        }
    }
    EXPECT_TRUE(dialogs.alerts.empty());
}
