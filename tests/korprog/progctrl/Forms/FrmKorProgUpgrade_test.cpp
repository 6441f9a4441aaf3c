// The upgrade tab and the pack-creation window as an engineer uses them:
// the tab opened from the options window, upgrades from its button against
// the unit simulator (one the tool starts, one the unit asks for, one that
// carries settings), and a pack built from a directory of images.

#include "korprog/progctrl/Forms/WindowTestKit.h"

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Help_View.H>
#include <cstdlib>

#include "korprog/progctrl/Data/RPbinList.h"
#include "korprog/progctrl/Data/RPrefPackList.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "support/FlPrefsPack.h"
#include "support/KvTestPack.h"

namespace fs = std::filesystem;

namespace {

const char* const TAB = "RevPack Software Upgrade";

std::string unitSettings(const std::string& location)
{
    std::string f;
    for (int k = 1; k <= 200; ++k) {
        const std::string t = k == 1 ? location : k == 10 ? "KV8888WM-ED" : k == 20 ? "     " : "";
        f += t + "|" + (k == 4 ? "12" : "") + "\n";
    }
    return f;
}

class UpgradeWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (IsSkipped()) return;
        fs::copy_file(fs::path(std::getenv("KORPROG_TEST_DATA")) / "TabRevPacks.html", "TabRevPacks.html");
    }
    void TearDown() override
    {
        FrmKorProgImpl::CREATE_REVPACK = false;
        WindowTest::TearDown();
    }

    // "Opties", the upgrade switch set or not, "OK".
    void options(bool upgrade)
    {
        press("Opties");
        ASSERT_EQ(windows("Opties").size(), 1u);
        Fl_Window* opts = windows("Opties")[0];
        auto* tick = find<Fl_Check_Button>("Enable software upgrade: ", opts);
        ASSERT_NE(tick, nullptr);
        if (tick->value() != (upgrade ? 1 : 0)) FlEvents::click(tick);
        press("OK", opts);
        FlEvents::settle();
    }
    // The tab's sheet; null when the editor shows no upgrade tab.
    Fl_Group* tab()
    {
        SBTabs* e = editor();
        for (int i = 0; e && i < e->children(); ++i)
            if (e->child(i)->label() && std::string(TAB) == e->child(i)->label()) return e->child(i)->as_group();
        return nullptr;
    }
    template <class W>
    W* onTab()
    {
        Fl_Group* t = tab();
        for (int i = 0; t && i < t->children(); ++i)
            if (W* w = dynamic_cast<W*>(t->child(i))) return w;
        return nullptr;
    }
    std::string tabValue(const std::string& label)
    {
        Fl_Input_* in = tab() ? find<Fl_Input_>(label, tab()) : nullptr;
        return in ? in->value() : "<no " + label + ">";
    }
    // A screenshot of the display, when KORPROG_SHOTS names a directory.
    static void shot(const std::string& name)
    {
        const char* to = std::getenv("KORPROG_SHOTS");
        if (!to) return;
        // Let the display map and paint what changed; only looking waits.
        for (int i = 0; i < 20; ++i) Fl::wait(0.02);
        const std::string cmd = "xwd -root -silent | convert xwd:- '" + std::string(to) + "/" + name + ".png'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    // config.ini names the type code `code` `name`.
    void customName(const std::string& code, const std::string& name)
    {
        const std::string pair = "korvantype=" + code + ";" + code;
        const size_t at = productIni.find(pair);
        ASSERT_NE(at, std::string::npos);
        productIni.replace(at, pair.size(), "korvantype=" + code + ";" + name);
    }
    // The simulator as the unit, its settings and images in files of its own.
    bool openOnSimWithImage(std::vector<std::string> args = {})
    {
        std::ofstream(sim.path("unit.adn")) << unitSettings("Kantoor");
        args.insert(args.end(), {"--image", sim.path("image.bin")});
        return openOnSim(args);
    }
    static Fl_Help_View* helpView(Fl_Group* g)
    {
        for (int i = 0; i < g->children(); ++i)
            if (auto* h = dynamic_cast<Fl_Help_View*>(g->child(i))) return h;
        return nullptr;
    }
    bool imageArrived(const std::string& data)
    {
        return until([&] { return ksimtest::readFile(sim.path("image.bin")) == KvTestPack::padded(data); });
    }
};

}  // namespace

TEST_F(UpgradeWindowTest, TickOpensTheTabWithTheListsAndItsButtonWaitsForAUnit)
{
    writeFlPrefsPack(Main::_revpacksDir, "KV-4.20",
                     {{"BOOT_LOAD_B49.bin", "", "", "49", "", std::string(300, 'b'), "", ""},
                      {"Alarm_4.20.bin", "KV8888GM-ED", "KV-4.20", "D.49", "     ", std::string(900, 'a'), "", ""}});
    RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "     ", "D.49");
    customName("KV8888GM-ED", "Alarm-8");
    open("/nonexistent/tty");
    root->korSettingBin()->korTypeFromNew("KV8888GM-ED", "     ", true);  // settings on the editor
    ASSERT_GT(editor()->children(), 0);

    // Without the switch OK only closes the editor.
    options(false);
    EXPECT_EQ(editor()->children(), 0);
    EXPECT_EQ(tab(), nullptr);

    options(true);
    ASSERT_NE(tab(), nullptr);
    EXPECT_EQ(editor()->children(), 1);
    EXPECT_FALSE(root->activeLifeCk()) << "no life-check time-out while the tab is open";
    auto* packs = onTab<RPrefPackList>();
    auto* images = onTab<RPbinList>();
    ASSERT_TRUE(packs && images);
    EXPECT_EQ(packs->list.size(), 1);
    EXPECT_EQ(images->list.size(), 1) << "the boot loader is no choice";
    EXPECT_STREQ(images->value(), "Alarm_4.20.bin");
    EXPECT_EQ(tabValue("Korvan Type: "), "Alarm-8");  // config.ini's name for KV8888GM-ED
    EXPECT_EQ(tabValue("Software Version: "), "KV-4.20");
    EXPECT_EQ(tabValue("Hardware Version: "), "D.49");
    EXPECT_EQ(tabValue("Allowed Hardware versions: "), " B.** D.** C.**");
    shot("upgrade-tab");
    Fl_Help_View* help = helpView(main());
    ASSERT_NE(help, nullptr);
    EXPECT_NE(std::string(help->value()).find("<h2>Software upgrade</h2>"), std::string::npos);

    // Disconnected, the button does nothing at all.
    const std::string before = status();
    press("Upgrade", tab());
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_TRUE(images->active() && packs->active());
    EXPECT_FALSE(root->binFileSet());
    EXPECT_EQ(status(), before);
}

TEST_F(UpgradeWindowTest, UpgradeFromTheTabArrivesWholeInTheSimulator)
{
    KvTestPack p;
    p.data = KvTestPack::image(3000, "KV-4.30");
    p.write(Main::_revpacksDir, "KV-4.30");
    ASSERT_TRUE(openOnSimWithImage()) << status();
    options(true);
    ASSERT_NE(tab(), nullptr);
    EXPECT_STREQ(onTab<RPbinList>()->value(), "app.bin");

    press("Upgrade", tab());
    EXPECT_FALSE(onTab<RPbinList>()->active()) << "the tab rests while the image goes";
    EXPECT_TRUE(until([this] { return status().find("Upgrading") == 0 && status().find("% ready") != std::string::npos; }))
        << status();
    ASSERT_TRUE(imageArrived(p.data)) << status();
    EXPECT_TRUE(until([this] { return status() == "Verbonden" && buttonsActive(); })) << status();
    EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alerts[0];
    EXPECT_TRUE(root->activeLifeCk());

    // The editor closed, the tab's widgets are gone: the image check says no.
    options(false);
    EXPECT_EQ(tab(), nullptr);
    EXPECT_FALSE(frame()->checkTypeHwVers());
}

// The test's hand on the upgrade tab while the controller waits for the
// choice: presses "Upgrade" once the tab is there.
struct ChoiceByHand {
    std::function<Fl_Group*()> tab;
    std::function<bool()> taken;
    bool tabSeen = false;
    int polls = 0;
    static void poll(void* data)
    {
        auto* self = static_cast<ChoiceByHand*>(data);
        // A choice the controller never takes ends the program, not the test run.
        if (++self->polls > 500) {
            Main::_shutdown = true;
            return;
        }
        Fl_Group* t = self->tab();
        if (!t) {
            Fl::repeat_timeout(0.02, poll, data);
            return;
        }
        self->tabSeen = true;
        for (int i = 0; i < t->children(); ++i)
            if (t->child(i)->label() && std::string("Upgrade") == t->child(i)->label()) FlEvents::click(t->child(i));
        if (!self->taken()) Fl::repeat_timeout(0.02, poll, data);
    }
};

TEST_F(UpgradeWindowTest, UnitInItsBootLoaderGetsTheAlertThenTheTabThenTheImage)
{
    KvTestPack p;
    p.data = KvTestPack::image(1500, "KV-4.31");
    p.write(Main::_revpacksDir, "KV-4.31");
    ChoiceByHand hand{[this] { return root && root->frame() ? tab() : nullptr; }, [this] { return root->binFileSet(); }};
    Fl::add_timeout(0.02, ChoiceByHand::poll, &hand);
    std::ofstream(sim.path("unit.adn")) << unitSettings("Kantoor");
    ASSERT_TRUE(sim.start({"--boot", "--image", sim.path("image.bin"), "--adn", sim.path("unit.adn")}));
    open(sim.device);
    ASSERT_TRUE(imageArrived(p.data)) << status();
    Fl::remove_timeout(ChoiceByHand::poll, &hand);
    EXPECT_TRUE(hand.tabSeen);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].find("Korvan staat in de bootloader.\n\n"), 0u) << dialogs.alerts[0];
    EXPECT_TRUE(until([this] { return status() == "Verbonden"; })) << status();
}

TEST_F(UpgradeWindowTest, PackImageCarryingSettingsProgramsThemBeforeTheImage)
{
    KvTestPack p;
    p.type = "KV8888WM-ED";  // another network than the unit's: its settings go first
    p.rows = {"KV----G----;KV----W----"};
    p.data = KvTestPack::image(700, "KV-4.32");
    p.adn = unitSettings("Uit de pack");
    p.write(Main::_revpacksDir, "KV-4.32");
    ASSERT_TRUE(openOnSimWithImage()) << status();
    options(true);

    // Settings that cannot be written out stop the upgrade before it starts.
    fs::create_directory("adn_pre_update.adn");
    press("Upgrade", tab());
    EXPECT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(onTab<RPbinList>()->active()) << "the tab is usable again";
    EXPECT_FALSE(root->binFileSet());
    fs::remove("adn_pre_update.adn");

    press("Upgrade", tab());
    ASSERT_TRUE(imageArrived(p.data)) << status();
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), p.adn);
    EXPECT_EQ(sim.log().find("<- upgrade request"), sim.log().rfind("<- upgrade request")) << "one upgrade";
    const std::string log = sim.log();
    EXPECT_LT(log.find("upload ended after 200 entries"), log.find("<- upgrade request")) << "settings first";
    EXPECT_EQ(value("Naam:"), "adn_pre_update.adn");
}

TEST_F(UpgradeWindowTest, CreationWindowBuildsThePackFromTheChosenDirectoryAndOpensTheRestrictions)
{
    FrmKorProgImpl::CREATE_REVPACK = true;
    std::string image(0x100 + 600, '\x20');
    image.replace(16, 15, "B.49KV8888GM-ED");
    image.replace(0x100 + 32, 22, "VERSION: KV-4.40      ");
    fs::create_directories("images");
    std::ofstream("images/KV8888GM-ED_4.40.bin") << image;
    std::ofstream("images/BOOT_LOAD_B49.bin") << std::string(1600, 'b');
    open("/nonexistent/tty");

    press("Opties");
    press("Create Rev. Pack", windows("Opties").at(0));
    EXPECT_TRUE(windows("Opties").empty());
    ASSERT_EQ(windows("Create RevPack Db").size(), 1u);
    Fl_Window* creation = windows("Create RevPack Db")[0];
    dialogs.dirs = {dir + "/images"};
    press("Select Bin", creation);
    EXPECT_STREQ(find<Fl_Output>("Bin dir.", creation)->value(), (dir + "/images").c_str());
    shot("create-revpack");

    // The restrictions open in the user's editor, when there are any.
    const std::string editor = dir + "/editor.sh";
    std::ofstream(editor) << "#!/bin/sh\necho \"$1\" >> " << dir << "/edited\n";
    fs::permissions(editor, fs::perms::owner_all);
    setenv("VISUAL", editor.c_str(), 1);
    press("Edit restrictions", creation);
    std::ofstream("RevPacks/SwHwRestrictions.txt") << "; FLTK preferences file format 1.0\n";
    press("Edit restrictions", creation);
    unsetenv("VISUAL");
    EXPECT_TRUE(until([this] { return fs::exists(dir + "/edited"); }, 5000));
    EXPECT_EQ(ksimtest::readFile(dir + "/edited"), "RevPacks/SwHwRestrictions.txt\n");

    press("Gen. RevPack Db", creation);
    FlEvents::settle();
    EXPECT_TRUE(windows("Create RevPack Db").empty());
    std::vector<std::string> packs;
    for (const auto& e : fs::directory_iterator(Main::_revpacksDir))
        if (e.path().extension() == ".rpa") packs.push_back(e.path().filename().string());
    ASSERT_EQ(packs.size(), 1u);
    EXPECT_EQ(packs[0].find("KV-4.40["), 0u) << packs[0];
    EXPECT_TRUE(root->revPack()->checkCheckSum(packs[0].c_str(), false));
    EXPECT_TRUE(dialogs.alerts.empty());
}
