// The window's dialogs as an engineer meets them: saving that never
// replaces a file unasked, a port typed in the options, the editor left as
// it was, Return and Escape, the main window's layout, and the restrictions
// opened in an editor that works.

#include "korprog/progctrl/Forms/WindowTestKit.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Help_View.H>
#include <cstdlib>
#include <optional>

#include "korprog/FlDialogHandler.h"
#include "korprog/progctrl/Data/Fl_Input_Choice.h"
#include "korprog/progctrl/Data/NewKorTypes.h"
#include "support/KvSettingsFile.h"

namespace fs = std::filesystem;

namespace {

std::string firstLine(const std::string& path)
{
    const std::string s = ksimtest::readFile(path);
    return s.substr(0, s.find('\n'));
}

class DialogsTest : public WindowTest {
protected:
    // A customer's settings file, opened.
    void openCustomer()
    {
        open("");
        dialogs.alerts.clear();
        customer = dir + "/klant.adn";
        std::ofstream(customer) << settingsFile("Klant");
        dialogs.files = {customer};
        press("Open");
        ASSERT_EQ(value("Naam:"), "klant.adn");
    }
    Fl_Window* dialog(const std::string& title)
    {
        std::vector<Fl_Window*> w = windows(title);
        return w.empty() ? nullptr : w[0];
    }
    // The options' port field, for typing.
    kp::Fl_Input_Choice* portField()
    {
        press("Opties");
        Fl_Window* opts = dialog("Opties");
        return opts ? find<kp::Fl_Input_Choice>("Com Poort:", opts) : nullptr;
    }
    void typePort(kp::Fl_Input_Choice* port, const std::string& text)
    {
        FlEvents::click(port->input());
        FlEvents::key('a', "\x01", FL_CTRL);
        FlEvents::type(text);
    }

    std::string customer;
};

}  // namespace

// "Nieuw" lets go of the open file; "Opslaan" onto a file that is there asks
// first (No, the default, keeps the file); saving the open file again asks
// nothing.
TEST_F(DialogsTest, NewSettingsNeverReplaceTheOpenFileUnasked)
{
    openCustomer();
    retype(input(1, 'T'), "Gewijzigd");
    dialogs.files = {customer};
    press("Opslaan");
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(firstLine(customer), "Gewijzigd|5550001");

    press("Nieuw");
    Fl_Window* newWindow = dialog("Selecteer Korvan Type");
    ASSERT_NE(newWindow, nullptr);
    FlEvents::click(&find<NewKorTypes>("Korvan Type:", newWindow)->input);
    FlEvents::key(FL_Enter);
    EXPECT_EQ(dialog("Selecteer Korvan Type"), nullptr) << "Return is OK";
    EXPECT_EQ(value("Naam:"), "");
    EXPECT_STREQ(root->korSettingBin()->file(), "");

    const std::string kept = ksimtest::readFile(customer);
    dialogs.files = {customer};
    press("Opslaan");
    ASSERT_EQ(dialogs.questions, std::vector<std::string>{"Bestand " + customer + " bestaat al. Vervangen?\n"});
    EXPECT_EQ(ksimtest::readFile(customer), kept);
    EXPECT_EQ(value("Naam:"), "");

    dialogs.files = {customer};
    dialogs.answers = {1};
    press("Opslaan");
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(firstLine(customer), "|");
    EXPECT_EQ(value("Naam:"), "klant.adn");
}

// What a unit that went away may leave: not one entry. Saving that over the
// open file asks, and says why.
TEST_F(DialogsTest, SettingsWithoutAnyEntryAreNotSavedOverAFileUnasked)
{
    openCustomer();
    const std::string kept = ksimtest::readFile(customer);
    root->korSettingBin()->cleanUpEntries(true);
    dialogs.files = {customer};
    press("Opslaan");
    ASSERT_EQ(dialogs.questions, std::vector<std::string>{"Er zijn geen instellingen om op te slaan.\nBestand " +
                                                          customer + " bestaat al. Vervangen?\n"});
    EXPECT_EQ(ksimtest::readFile(customer), kept);
}

// Any device path can be typed; without a port nothing is offered as
// chosen, and OK keeps none; Escape changes nothing.
TEST_F(DialogsTest, APortIsTypedInTheOptionsAndNoPortStaysNoPort)
{
    open("");
    kp::Fl_Input_Choice* port = portField();
    ASSERT_NE(port, nullptr);
    EXPECT_STREQ(port->value(), "");
    press("OK", dialog("Opties"));
    EXPECT_STREQ(root->cfgComPort(), "");

    typePort(portField(), "/tmp/korvan-getypt0");
    FlEvents::key(FL_Enter);
    EXPECT_EQ(dialog("Opties"), nullptr) << "Return is OK";
    EXPECT_STREQ(root->cfgComPort(), "/tmp/korvan-getypt0");

    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    port = portField();
    EXPECT_STREQ(port->value(), "/tmp/korvan-getypt0") << "the port in use is offered";
    typePort(port, byId);
    FlEvents::key(FL_Escape);
    EXPECT_EQ(dialog("Opties"), nullptr);
    EXPECT_STREQ(root->cfgComPort(), "/tmp/korvan-getypt0");

    typePort(portField(), byId);
    press("OK", dialog("Opties"));
    EXPECT_STREQ(root->cfgComPort(), byId.c_str());
}

// Looking at the options (the version, say) leaves the settings being
// edited where they were, unsaved edits included.
TEST_F(DialogsTest, ClosingTheOptionsLeavesTheEditorAndItsEdits)
{
    open("");
    root->korSettingBin()->korTypeFromNew("KV8888GM-ED", "     ", true);
    retype(input(1, 'T'), "Onbewaard");
    FlEvents::click(portField()->input());
    FlEvents::key(FL_Escape);
    ASSERT_NE(input(1, 'T'), nullptr);
    EXPECT_STREQ(input(1, 'T')->value(), "Onbewaard");

    portField();
    press("OK", dialog("Opties"));
    ASSERT_NE(input(1, 'T'), nullptr);
    EXPECT_STREQ(input(1, 'T')->value(), "Onbewaard");
}

// The new-settings dialog: a cancel button, Escape, labels inside the
// window in every language, types without a dangling comma.
TEST_F(DialogsTest, NewSettingsDialogCancelsAndKeepsItsLabelsInside)
{
    for (const char* f : {"language.csv", "Startup_UK.html"}) fs::copy_file(fs::path(std::getenv("KORPROG_TEST_DATA")) / f, f);
    for (const char* lang : {"NL", "UK", "GER", "FR", "SPA"}) {
        std::ofstream("language.ini") << "taal=" << lang << "\n";
        Language::destroy();
        open("");
        dialogs.alerts.clear();
        const std::string type = root->korSettingBin()->korType();
        press(gettext("Nieuw", 0));
        Fl_Window* w = Fl::first_window();
        ASSERT_TRUE(w && w != main()) << lang;
        for (int i = 0; i < w->children(); ++i) {
            Fl_Widget* c = w->child(i);
            int lw = 0, lh = 0;
            c->measure_label(lw, lh);
            if (c->align() & FL_ALIGN_LEFT && !(c->align() & FL_ALIGN_INSIDE)) {
                EXPECT_GE(c->x() - lw, 0) << lang << ": " << c->label();
            }
            EXPECT_LE(c->x() + c->w(), w->w()) << lang << ": " << (c->label() ? c->label() : "");
        }
        NewKorTypes* types = nullptr;
        for (int i = 0; i < w->children() && !types; ++i) types = dynamic_cast<NewKorTypes*>(w->child(i));
        ASSERT_NE(types, nullptr);
        for (int i = 1; i <= types->list.size(); ++i) {
            const std::string t = types->list.text(i);
            EXPECT_NE(t.back(), ' ') << t;
            EXPECT_NE(t.back(), ',') << t;
        }
        // Both close the dialog, which goes once its callbacks are done.
        const std::string title = w->label();
        if (std::string(lang) == "NL") {
            FlEvents::click(&types->input);
            FlEvents::key(FL_Escape);
        } else {
            Fl_Widget* cancel = find(gettext("Afbreken", 0), w);
            ASSERT_NE(cancel, nullptr) << lang;
            FlEvents::click(cancel);
        }
        EXPECT_TRUE(windows(title).empty()) << lang;
        EXPECT_EQ(root->korSettingBin()->korType(), type) << "nothing chosen";
        endProgram();
        FlEvents::settle();
    }
}

// The main window's rectangles, and its place in the middle of the screen.
TEST_F(DialogsTest, MainWindowLayoutStaysAsDrawn)
{
    open("");
    int sx, sy, sw, sh;
    Fl::screen_xywh(sx, sy, sw, sh, 0);
    EXPECT_EQ(main()->x(), sx + sw / 2 - 528);
    EXPECT_EQ(main()->y(), sy + sh / 2 - 304);
    EXPECT_EQ(main()->w(), 1057);
    EXPECT_EQ(main()->h(), 609);
    auto rect = [](Fl_Widget* w) {
        return w ? std::to_string(w->x()) + "," + std::to_string(w->y()) + " " + std::to_string(w->w()) + "x" +
                       std::to_string(w->h())
                 : std::string("missing");
    };
    const std::vector<std::pair<std::string, std::string>> labelled = {
        {"Nieuw", "15,12 65x50"},         {"Open", "85,12 65x50"},         {"Opslaan", "155,12 65x50"},
        {"Programmeren", "280,12 100x50"}, {"Ophalen", "395,12 100x50"},    {"Opties", "580,12 65x50"},
        {"Instellingen Bestand", "10,85 230x130"}, {"Naam:", "85,95 150x20"}, {"Kor. Type:", "85,125 150x20"},
        {"Korvan", "245,85 235x130"},     {"Type:", "320,92 150x20"},      {"SW Versie:", "320,115 150x20"},
        {"Special:", "320,138 150x20"},   {"HW Versie:", "320,161 150x20"}, {"IMEI:", "321,184 150x20"},
        {"Status Info:", "80,569 870x34"}, {"Afsluiten", "960,575 90x25"},
    };
    for (const auto& [label, expected] : labelled) EXPECT_EQ(rect(find(label)), expected) << label;
    EXPECT_EQ(rect(find("Nieuw")->parent()), "10,10 640x55");
    Fl_Widget *help = nullptr, *logo = nullptr;
    for (int i = 0; i < main()->children(); ++i) {
        if (dynamic_cast<Fl_Help_View*>(main()->child(i))) help = main()->child(i);
        if (dynamic_cast<Fl_Box*>(main()->child(i)) && !main()->child(i)->label()) logo = main()->child(i);
    }
    EXPECT_EQ(rect(help), "714,10 335x555");
    EXPECT_EQ(rect(logo), "505,90 122x125");
    EXPECT_EQ(rect(editor()), "10,225 700x340");
}

namespace {

// "Edit restrictions" with the programs a test puts on the PATH: each
// writes its name and arguments to a file.
class RestrictionsTest : public DialogsTest {
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        if (IsSkipped()) return;
        for (const char* v : {"PATH", "VISUAL", "EDITOR", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION"}) {
            const char* was = std::getenv(v);
            saved.push_back({v, was ? std::optional<std::string>(was) : std::nullopt});
            if (std::string(v) != "PATH") unsetenv(v);
        }
        bin = dir + "/bin";
        fs::create_directory(bin);
        setenv("PATH", bin.c_str(), 1);
        FrmKorProgImpl::CREATE_REVPACK = true;
    }
    void TearDown() override
    {
        FrmKorProgImpl::CREATE_REVPACK = false;
        for (const auto& [name, value] : saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        DialogsTest::TearDown();
    }
    void program(const std::string& name, int exitCode = 0)
    {
        const std::string path = bin + "/" + name;
        std::ofstream(path) << "#!/bin/sh\necho \"" << name << " $*\" >> " << dir << "/ran\nexit " << exitCode << "\n";
        fs::permissions(path, fs::perms::owner_all);
    }
    std::string ran() { return ksimtest::readFile(dir + "/ran"); }
    void editRestrictions()
    {
        fs::remove(dir + "/ran");
        press("Edit restrictions", dialog("Create RevPack Db"));
    }

    std::string bin;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

}  // namespace

TEST_F(RestrictionsTest, TheDesktopsEditorElseATerminalEditorInATerminalElseTheUserIsTold)
{
    open("");
    dialogs.alerts.clear();
    press("Opties");
    press("Create Rev. Pack", dialog("Opties"));
    ASSERT_NE(dialog("Create RevPack Db"), nullptr);
    const std::string file = dir + "/RevPacks/SwHwRestrictions.txt";

    editRestrictions();
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Fout!! Bestand \"" + file + "\" niet aanwezig.\n"});
    std::ofstream(file) << "; FLTK preferences file format 1.0\n";

    // In a desktop session its editor comes first.
    for (const char* p : {"xdg-open", "vi", "x-terminal-emulator"}) program(p);
    setenv("EDITOR", "vi", 1);
    setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    editRestrictions();
    EXPECT_TRUE(until([this] { return !ran().empty(); }, 5000));
    EXPECT_EQ(ran(), "xdg-open " + file + "\n");

    // Elsewhere the terminal editor gets a terminal.
    unsetenv("XDG_CURRENT_DESKTOP");
    editRestrictions();
    EXPECT_TRUE(until([this] { return !ran().empty(); }, 5000));
    EXPECT_EQ(ran(), "x-terminal-emulator -e " + bin + "/vi " + file + "\n");

    // A desktop editor that fails gives way to the next; when none is left
    // the user is told where the file is.
    setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    program("xdg-open", 3);
    fs::remove(bin + "/x-terminal-emulator");
    dialogs.alerts.clear();
    editRestrictions();
    EXPECT_TRUE(until([this] { return !dialogs.alerts.empty(); }, 5000));
    EXPECT_EQ(ran(), "xdg-open " + file + "\n") << "vi without a terminal is not tried";
    // With why each way failed.
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Er kon geen editor geopend worden voor:\n" + file + "\n" +
                                                       "vi heeft een terminal nodig en x-terminal-emulator staat niet op het PATH.\n" +
                                                       bin + "/xdg-open stopte met code 3.\n"});

    // An editor with a window of its own runs as it is.
    program("kate");
    setenv("VISUAL", "kate -n", 1);
    dialogs.alerts.clear();
    editRestrictions();
    EXPECT_TRUE(until([this] { return ran().find("kate") != std::string::npos; }, 5000));
    EXPECT_EQ(ran(), "xdg-open " + file + "\nkate -n " + file + "\n");
    EXPECT_TRUE(dialogs.alerts.empty());

    // Escape closes the window.
    FlEvents::click(find("Bin dir.", dialog("Create RevPack Db")));
    FlEvents::key(FL_Escape);
    EXPECT_EQ(dialog("Create RevPack Db"), nullptr);
}

namespace {

// A modal dialog, photographed once it is up and then closed with `key`.
struct ShotOfModal {
    std::string name;
    int key;
    static void take(void* v)
    {
        auto* self = static_cast<ShotOfModal*>(v);
        if (!Fl::modal() || !Fl::modal()->visible()) {
            Fl::repeat_timeout(0.05, take, v);
            return;
        }
        shot(self->name);
        FlEvents::press(self->key);
    }
};

template <class Show>
void shotOfModal(const std::string& name, int key, Show show)
{
    ShotOfModal s{name, key};
    Fl::add_timeout(0.05, ShotOfModal::take, &s);
    show();
    Fl::remove_timeout(ShotOfModal::take, &s);
}

}  // namespace

// For the eye: every dialog, in Dutch and in English, when KORPROG_SHOTS
// names a directory for the screenshots.
TEST_F(DialogsTest, EveryDialogForTheEye)
{
    if (!std::getenv("KORPROG_SHOTS")) GTEST_SKIP() << "KORPROG_SHOTS names the directory for the screenshots";
    for (const char* f : {"language.csv", "Startup_UK.html"}) fs::copy_file(fs::path(std::getenv("KORPROG_TEST_DATA")) / f, f);
    fs::create_directories("images/KV-4.40");
    for (const char* f : {"images/KV-4.40/BOOT_LOAD_B49.bin", "images/KV-4.40/KV8888GM-ED_4.40.bin", "images/notes.txt"})
        std::ofstream(f) << "x";
    std::ofstream("klant.adn") << settingsFile("Klant");
    FrmKorProgImpl::CREATE_REVPACK = true;
    for (const std::string lang : {"NL", "UK"}) {
        std::ofstream("language.ini") << "taal=" << lang << "\n";
        Language::destroy();
        open("");
        root->korSettingBin()->korTypeFromNew("KV8888GM-ED", "     ", true);
        shot(lang + "-main");

        press(gettext("Nieuw", 0));
        shot(lang + "-new");
        frame()->closeNewWindow();
        press(gettext("Opties", 0));
        shot(lang + "-options");
        press(gettext("Create Rev. Pack", 0), Fl::first_window());
        shot(lang + "-create");
        frame()->closeRevPackWndw();

        FlDialogHandler real;
        std::string path = dir;
        while (path.size() < 300) path += "/Klanten/Ombrix_Korvan_Tools";
        shotOfModal(lang + "-alert", FL_Enter, [&] {
            real.alert(std::string(gettext("Fout!! Bestand", 0)) + " \"" + path + "/klant.adn\" " +
                       gettext("niet aanwezig", 0) + ".\n");
        });
        shotOfModal(lang + "-question", FL_Enter, [&] {
            std::string question = gettext("Bestand %s bestaat al. Vervangen?", 0);
            question.replace(question.find("%s"), 2, dir + "/klant.adn");
            real.choice(std::string(gettext("Er zijn geen instellingen om op te slaan.", 0)) + "\n" + question + "\n",
                        gettext("Nee", 0), gettext("Ja", 0), nullptr, 0);
        });
        shotOfModal(lang + "-save", FL_Escape,
                    [&] { real.chooseFile(gettext("Opslaan van Setting Bestand", 0), "*.adn", "klant.adn", true); });
        shotOfModal(lang + "-dir", FL_Escape, [&] {
            real.chooseDir(gettext("Select a dir where *.bin files are stored", 0), "*.bin", dir + "/images/KV-4.40");
        });
        endProgram();
        FlEvents::settle();
    }
}
