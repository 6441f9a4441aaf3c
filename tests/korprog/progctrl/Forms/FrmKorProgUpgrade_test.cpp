// The upgrade tab and the pack-creation window as an engineer uses them:
// the tab from the options window on packs FLTK itself wrote, upgrades from
// its button against the unit simulator (started by the tool, asked for by a
// unit in its boot loader, carrying settings), and a pack built from images.

#include "korprog/progctrl/Forms/WindowTestKit.h"

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Help_View.H>
#include <FL/fl_ask.H>
#include <cstdlib>

#include "korprog/progctrl/Data/RPbinList.h"
#include "korprog/progctrl/Data/RPrefPackList.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "support/FlPrefsPack.h"
#include "support/KvTestPack.h"
#include "lib/Flu/Flu_File_Chooser.h"

namespace fs = std::filesystem;

namespace {

std::string unitSettings(const std::string& location)
{
    std::string f;
    for (int k = 1; k <= 200; ++k)
        f += (k == 1 ? location : k == 10 ? "KV8888WM-ED" : k == 20 ? "     " : "") + "|" + (k == 4 ? "12" : "") + "\n";
    return f;
}

std::vector<std::string> lines(Flu_Combo_List* c)
{
    std::vector<std::string> out;
    for (int i = 1; i <= c->list.size(); ++i) out.push_back(c->list.text(i));
    return out;
}

// A person opens the drop-down list and clicks line `line` (1-based).
void choose(Flu_Combo_List* c, int line)
{
    FlEvents::click(c, 10);
    ASSERT_TRUE(c->popped());
    Fl_Window* popup = c->list.window();
    const int lineH = c->list.textsize() + 6;
    FlEvents::clickAt(popup, popup->x() + 20, popup->y() + Fl::box_dy(c->list.box()) + (line - 1) * lineH + lineH / 2);
}

// Presses "Upgrade" once the upgrade tab is there, while the controller waits
// for the choice; a choice it never takes ends the program, not the test run.
struct ChoiceByHand {
    std::function<Fl_Widget*()> button;
    std::function<bool()> taken;
    bool tabSeen = false;
    int polls = 0;
    static void poll(void* data)
    {
        auto* self = static_cast<ChoiceByHand*>(data);
        if (++self->polls > 500) Main::_shutdown = true;
        if (Fl_Widget* b = self->button()) {
            self->tabSeen = true;
            FlEvents::click(b);
        }
        if (!self->taken() && !Main::_shutdown) Fl::repeat_timeout(0.02, poll, data);
    }
};

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
        Main::_refPackFile = nullptr;
        WindowTest::TearDown();
    }

    // "Opties", the upgrade switch set or not, "OK".
    void options(bool upgrade)
    {
        press("Opties");
        Fl_Window* opts = windows("Opties").at(0);
        auto* tick = find<Fl_Check_Button>("Enable software upgrade: ", opts);
        ASSERT_NE(tick, nullptr);
        int labelW = 0, labelH = 0;
        tick->measure_label(labelW, labelH);
        EXPECT_LE(labelW, tick->x()) << "the switch's label runs off the window";
        if (tick->value() != (upgrade ? 1 : 0)) FlEvents::click(tick);
        press("OK", opts);
    }
    Fl_Group* tab()
    {
        SBTabs* e = editor();
        return e ? find<Fl_Group>("RevPack Software Upgrade", e) : nullptr;
    }
    template <class W>
    W* onTab(const std::string& label)
    {
        return tab() ? find<W>(label, tab()) : nullptr;
    }
    std::string shown()
    {
        std::string s;
        for (const char* l : {"Korvan Type: ", "Software Version: ", "Hardware Version: ", "Software Special: "})
            s += std::string(onTab<Fl_Input_>(l)->value()) + "|";
        return s + onTab<Fl_Input_>("Allowed Hardware versions: ")->value();
    }
    // The directory "images": an image of `type` (KV-4.40, for processor
    // 49) and a boot loader; the window opens on a port that is not there
    // with the options that offer pack creation.
    void openWithImages(const std::string& type)
    {
        FrmKorProgImpl::CREATE_REVPACK = true;
        std::string image(0x100 + 600, '\x20');
        image.replace(16, 15, "B.49" + type);
        image.replace(0x100 + 32, 22, "VERSION: KV-4.40      ");
        fs::create_directories("images");
        std::ofstream("images/" + type + "_4.40.bin") << image;
        std::ofstream("images/BOOT_LOAD_B49.bin") << std::string(1600, 'b');
        openWithoutUnit();
    }
    // The window on a port that is not there: the user is told so once.
    void openWithoutUnit()
    {
        open("/nonexistent/tty");
        ASSERT_EQ(dialogs.alerts.size(), 1u);
        EXPECT_EQ(dialogs.alerts[0].find("COM poort /nonexistent/tty bestaat niet."), 0u) << dialogs.alerts[0];
        dialogs.alerts.clear();
    }
    bool openOnSimWithImage()
    {
        std::ofstream(sim.path("unit.adn")) << unitSettings("Kantoor");
        return openOnSim({"--image", sim.path("image.bin")});
    }
    bool imageArrived(const std::string& data)
    {
        return until([&] { return ksimtest::readFile(sim.path("image.bin")) == KvTestPack::padded(data); });
    }
};

}  // namespace

TEST_F(UpgradeWindowTest, TabFromTheOptionsListsPacksAndImagesAndItsButtonWaitsForAUnit)
{
    auto img = [](const char* name, const char* type, const char* version, const char* hw, const char* special) {
        return FlPrefsImage{name, type, version, hw, special, std::string(300, 'x')};
    };
    const std::string a = writeFlPrefsPack(Main::_revpacksDir, "KV-4.20",
                                           {img("BOOT_LOAD_B49.bin", "", "", "49", ""),
                                            img("Alarm_4.20.bin", "KV8888GM-ED", "KV-4.20", "D.49", "     "),
                                            img("Other_4.20.bin", "KV4400WS-BX", "KV-4.20", "D.49", "     "),
                                            img("Alarm_4.12.bin", "KV8888GM-ED", "KV-4.12", "C.49", "XTR   ")});
    const std::string b = writeFlPrefsPack(Main::_revpacksDir, "KV-10.00",
                                           {img("Alarm_6.00.bin", "KV8888GM-ED", "KV-6.00", "H.49", "")});
    RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "     ", "D.49");
    const size_t at = productIni.find("korvantype=KV8888GM-ED;KV8888GM-ED");
    productIni.replace(at, 34, "korvantype=KV8888GM-ED;Alarm-8");
    openWithoutUnit();
    root->korSettingBin()->korTypeFromNew("KV8888GM-ED", "     ", true);
    ASSERT_GT(editor()->children(), 0);

    // Without the switch OK leaves the editor.
    options(false);
    EXPECT_EQ(tab(), nullptr);
    EXPECT_GT(editor()->children(), 0);

    options(true);
    ASSERT_NE(tab(), nullptr);
    EXPECT_FALSE(root->activeLifeCk()) << "no life-check time-out while the tab is open";
    auto* packs = onTab<RPrefPackList>("Select RevPack File: ");
    auto* images = onTab<RPbinList>("Select Bin File: ");
    ASSERT_TRUE(packs && images);
    EXPECT_EQ(lines(packs), (std::vector<std::string>{a, b}));
    // No boot loader, nothing of another type; the first is shown, its type by its custom name.
    EXPECT_EQ(lines(images), (std::vector<std::string>{"Alarm_4.20.bin", "Alarm_4.12.bin"}));
    EXPECT_EQ(shown(), "Alarm-8|KV-4.20|D.49|     | B.** D.** C.**");
    Fl_Help_View* help = nullptr;
    for (int i = 0; i < main()->children() && !help; ++i) help = dynamic_cast<Fl_Help_View*>(main()->child(i));
    ASSERT_NE(help, nullptr);
    EXPECT_NE(std::string(help->value()).find("<h2>Software upgrade</h2>"), std::string::npos);
    // A third of the sheet in, one below the other, a free row above each list.
    std::vector<Fl_Widget*> column;
    for (int i = 0; i < tab()->children(); ++i)
        if (tab()->child(i)->visible() && tab()->child(i)->label()) column.push_back(tab()->child(i));
    ASSERT_EQ(column.size(), 8u);
    for (size_t i = 0; i < column.size(); ++i) {
        EXPECT_EQ(column[i]->x(), tab()->x() + tab()->w() / 3) << column[i]->label();
        if (i > 0) {
            EXPECT_GE(column[i]->y(), column[i - 1]->y() + column[i - 1]->h()) << column[i]->label();
        }
    }
    EXPECT_EQ(images->y() - packs->y(), 2 * SBTabSheet::ROW_H);
    shot("upgrade-tab");

    choose(images, 2);
    EXPECT_EQ(shown(), "Alarm-8|KV-4.12|C.49|XTR   | B.** D.** C.**");
    EXPECT_EQ(root->revPack()->binSize(), 300);
    EXPECT_STREQ(root->lastBinFile(), "Alarm_4.12.bin");
    choose(packs, 2);
    EXPECT_EQ(lines(images), std::vector<std::string>{"Alarm_6.00.bin"});
    EXPECT_EQ(shown(), "Alarm-8|KV-6.00|H.49|| H.**");

    // Opened again: the last pack and image, unless the program was started with a pack.
    root->lastBinFile("Alarm_4.12.bin");
    options(true);
    EXPECT_STREQ(onTab<RPrefPackList>("Select RevPack File: ")->value(), b.c_str());
    Main::_refPackFile = a.c_str();
    root->lastRevpackFile(b.c_str());
    options(true);
    EXPECT_STREQ(onTab<RPrefPackList>("Select RevPack File: ")->value(), a.c_str());
    EXPECT_STREQ(onTab<RPbinList>("Select Bin File: ")->value(), "Alarm_4.12.bin");

    // Disconnected, the button does nothing at all.
    const std::string before = status();
    press("Upgrade", tab());
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_TRUE(onTab<RPbinList>("Select Bin File: ")->active());
    EXPECT_FALSE(root->binFileSet());
    EXPECT_EQ(status(), before);

    // The tab closed: the life check is back; a boot record is checked
    // against the image loaded last (hardware C.49 does not go onto D.49).
    options(false);
    EXPECT_EQ(tab(), nullptr);
    EXPECT_TRUE(root->activeLifeCk());
    EXPECT_STREQ(root->revPack()->binFile(), "Alarm_4.12.bin");
    EXPECT_FALSE(frame()->checkTypeHwVers());
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Error !!, incompatible hardware versions, binFile:C.49 korvan:D.49"});
}

TEST_F(UpgradeWindowTest, UpgradeFromTheTabArrivesWholeInTheSimulator)
{
    KvTestPack p;
    p.data = KvTestPack::image(3000, "KV-4.30");
    p.write(Main::_revpacksDir, "KV-4.30");
    ASSERT_TRUE(openOnSimWithImage()) << status();
    options(true);
    press("Upgrade", tab());
    EXPECT_FALSE(onTab<RPbinList>("Select Bin File: ")->active()) << "the tab rests while the image goes";
    EXPECT_TRUE(until([this] { return status().find("% ready") != std::string::npos; })) << status();
    ASSERT_TRUE(imageArrived(p.data)) << status();
    EXPECT_TRUE(until([this] { return status() == "Verbonden" && buttonsActive(); })) << status();
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_TRUE(onTab<RPbinList>("Select Bin File: ")->active()) << "the tab is usable again";
    // The unit reports what it runs now; where its settings were saved
    // before stays in view with it.
    advance(100);
    const std::string finished = "Verbonden - Upgrade gereed: de Korvan meldt software KV-4.30. "
                                 "Reservekopie van de instellingen: " + dir + "/Backups/KV8888GM-ED_351234567890123_";
    EXPECT_TRUE(until([&] { return status().rfind(finished, 0) == 0; })) << status();
    const std::string backup = status().substr(status().find(dir));
    EXPECT_EQ(ksimtest::readFile(backup), unitSettings("Kantoor")) << backup;
}

// A boot loader that fits no frame cannot be sent: the button refuses the
// pack before the unit is backed up or sent into its boot loader.
TEST_F(UpgradeWindowTest, PackWhoseBootLoaderFitsNoFrameIsRefusedBeforeAnythingGoesOut)
{
    KvTestPack p;
    p.data = KvTestPack::image(3000, "KV-4.30");
    p.loaderSize = 2045;
    p.write(Main::_revpacksDir, "KV-4.30");
    ASSERT_TRUE(openOnSimWithImage()) << status();
    options(true);
    press("Upgrade", tab());
    EXPECT_FALSE(until([this] { return simLogCount("<- download request") + simLogCount("<- upgrade request") > 0; }, 1500))
        << sim.log();
    EXPECT_NE(status().find("No 2nd boot for HW version: D.49"), std::string::npos) << status();
    EXPECT_TRUE(onTab<RPbinList>("Select Bin File: ")->active()) << "the tab is usable again";
}

TEST_F(UpgradeWindowTest, UpgradeWhoseUnitIsPulledOutIsToldAndTheTabIsUsableAgain)
{
    KvTestPack p;
    p.data = KvTestPack::image(60000, "KV-4.30");
    p.write(Main::_revpacksDir, "KV-4.30");
    ASSERT_TRUE(openOnSimWithImage()) << status();
    options(true);
    press("Upgrade", tab());
    ASSERT_TRUE(until([this] { return status().rfind("Upgrading 1", 0) == 0; })) << status();
    sim.stop();  // the cable pulled out, for good
    advance(3000);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    const std::string& told = dialogs.alerts[0];
    EXPECT_EQ(told.find("Upgrade afgebroken na "), 0u) << told;
    EXPECT_NE(told.find(" van 60000 bytes: de COM poort is weggevallen."), std::string::npos) << told;
    EXPECT_NE(told.find("weggevallen. Reservekopie van de instellingen: " + dir + "/Backups/KV8888GM-ED_"), std::string::npos)
        << told;
    until([] { return true; });
    EXPECT_EQ(status(), "COM poort niet beschikbaar - " + told);
    EXPECT_TRUE(buttonsActive());
    shot("upgrade-failed");
    // The tab is usable again: still there, or opened again from "Opties".
    if (!tab()) options(true);
    ASSERT_NE(tab(), nullptr);
    EXPECT_TRUE(onTab<RPbinList>("Select Bin File: ")->active());
}

// The pack holds only the loader for processor 49, as one made from a
// single BOOT_LOAD_...49.bin does, and the unit has told no hardware yet.
TEST_F(UpgradeWindowTest, UnitInItsBootLoaderGetsTheAlertThenTheTabThenTheImage)
{
    KvTestPack p;
    p.loaders = {"49"};
    p.data = KvTestPack::image(1500, "KV-4.31");
    p.write(Main::_revpacksDir, "KV-4.31");
    ChoiceByHand hand{[this] { return root && root->frame() && tab() ? find("Upgrade", tab()) : nullptr; },
                      [this] { return root->binFileSet(); }};
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

// The same in English, through the delivered translation table: the alert
// joined from messages 208 to 213, the window and the tab with their help.
TEST_F(UpgradeWindowTest, InEnglishTheBootLoaderAlertTheWindowAndTheTabReadEnglish)
{
    for (const char* f : {"language.csv", "Startup_UK.html", "TabRevPacks_UK.html"})
        fs::copy_file(fs::path(std::getenv("KORPROG_TEST_DATA")) / f, f);
    std::ofstream("language.ini") << "taal=UK\n";
    KvTestPack p;
    p.data = KvTestPack::image(1500, "KV-4.31");
    p.write(Main::_revpacksDir, "KV-4.31");
    ChoiceByHand hand{[this] { return root && root->frame() && tab() ? find("Upgrade", tab()) : nullptr; },
                      [this] { return root->binFileSet(); }};
    Fl::add_timeout(0.02, ChoiceByHand::poll, &hand);
    std::ofstream(sim.path("unit.adn")) << unitSettings("Kantoor");
    ASSERT_TRUE(sim.start({"--boot", "--image", sim.path("image.bin"), "--adn", sim.path("unit.adn")}));
    open(sim.device);
    ASSERT_TRUE(imageArrived(p.data)) << value("Status:");
    Fl::remove_timeout(ChoiceByHand::poll, &hand);
    EXPECT_TRUE(hand.tabSeen);
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{
                                  "The Korvan is in its boot loader.\n\nIt holds no valid software.\n"
                                  "Choose a RevPack and a bin file on the tab \"RevPack Software Upgrade\"!\n\n"
                                  "Then press Upgrade,\nif that does not work,\nplease contact Ombrix ( www.ombrix.nl )."});
    EXPECT_TRUE(until([this] { return value("Status:") == "Connected"; })) << value("Status:");
    for (const char* label : {"New", "Open", "Save", "Program", "Read", "Options", "Settings file", "Close"})
        EXPECT_NE(find(label), nullptr) << label;
    EXPECT_STREQ(fl_close, "Close");  // FLTK's own alert and chooser too
    EXPECT_STREQ(Flu_File_Chooser::filename_label, "Name:");
    ASSERT_NE(onTab<RPbinList>("Select Bin File: "), nullptr);
    Fl_Help_View* help = nullptr;
    for (int i = 0; i < main()->children() && !help; ++i) help = dynamic_cast<Fl_Help_View*>(main()->child(i));
    ASSERT_NE(help, nullptr);
    EXPECT_NE(std::string(help->value()).find("<h2>Choosing the pack and the software</h2>"), std::string::npos);
}

TEST_F(UpgradeWindowTest, PackImageCarryingSettingsProgramsThemBeforeTheImage)
{
    KvTestPack p;
    p.type = "KV8888WM-ED";  // another network than the unit's: its settings go first
    p.rows = {"KV----G----;KV----W----"};
    p.data = KvTestPack::image(700, "KV-4.32", p.type);
    p.adn = unitSettings("Uit de pack");
    p.write(Main::_revpacksDir, "KV-4.32");
    ASSERT_TRUE(openOnSimWithImage()) << status();
    options(true);

    // Settings that cannot be written out stop the upgrade before it starts.
    fs::create_directory("adn_pre_update.adn");
    press("Upgrade", tab());
    EXPECT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(onTab<RPbinList>("Select Bin File: ")->active()) << "the tab is usable again";
    EXPECT_FALSE(root->binFileSet());
    fs::remove("adn_pre_update.adn");

    press("Upgrade", tab());
    ASSERT_TRUE(imageArrived(p.data)) << status();
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), p.adn);
    const std::string log = sim.log();
    EXPECT_LT(log.find("upload ended after 200 entries"), log.find("<- upgrade request")) << "settings first";
    EXPECT_EQ(log.find("<- upgrade request"), log.rfind("<- upgrade request")) << "one upgrade";
    EXPECT_EQ(value("Naam:"), "adn_pre_update.adn");
}

TEST_F(UpgradeWindowTest, PackSettingsStoppedBeforeTheirEndAreNotFollowedByTheUpgrade)
{
    KvTestPack p;
    p.type = "KV8888WM-ED";
    p.rows = {"KV----G----;KV----W----"};
    p.data = KvTestPack::image(700, "KV-4.32", p.type);
    p.adn = unitSettings("Uit de pack");
    size_t entry3 = 0;
    for (int line = 1; line < 3; ++line) entry3 = p.adn.find('\n', entry3) + 1;
    p.adn.insert(entry3, "thirteen char");  // entry 3 holds 12
    p.write(Main::_revpacksDir, "KV-4.32");
    ASSERT_TRUE(openOnSimWithImage()) << status();
    options(true);
    dialogs.answers = {1};  // "Programmeren stoppen"
    press("Upgrade", tab());
    ASSERT_TRUE(until([this] { return !dialogs.questions.empty() && buttonsActive(); })) << status();
    EXPECT_NE(dialogs.questions[0].find("thirteen char"), std::string::npos) << dialogs.questions[0];
    advance(300);
    until([] { return false; }, 300);
    EXPECT_EQ(sim.log().find("<- upgrade request"), std::string::npos) << "the unit is not left in its boot loader";
    EXPECT_EQ(value("Naam:"), "adn_pre_update.adn") << "the pack's settings stay in the editor";
    EXPECT_STREQ(RevPackDb::activeAdnFile(), "") << "a later \"Programmeren\" starts no upgrade";
}

TEST_F(UpgradeWindowTest, CreationWindowBuildsThePackFromTheChosenDirectory)
{
    openWithImages("KV8888GM-ED");

    press("Opties");
    press("Create Rev. Pack", windows("Opties").at(0));
    EXPECT_TRUE(windows("Opties").empty());
    Fl_Window* creation = windows("Create RevPack Db").at(0);
    dialogs.dirs = {dir + "/images"};
    press("Select Bin", creation);
    EXPECT_EQ(dialogs.dirPatterns, std::vector<std::string>{"*.bin"}) << "the images show in the chooser";
    EXPECT_STREQ(find<Fl_Output>("Bin dir.", creation)->value(), (dir + "/images").c_str());
    shot("create-revpack");

    // Return is "Gen. RevPack Db".
    FlEvents::click(find<Fl_Output>("Bin dir.", creation));
    FlEvents::key(FL_Enter);
    FlEvents::settle();
    EXPECT_TRUE(windows("Create RevPack Db").empty());
    std::vector<std::string> packs;
    for (const auto& e : fs::directory_iterator(Main::_revpacksDir))
        if (e.path().extension() == ".rpa") packs.push_back(e.path().filename().string());
    ASSERT_EQ(packs.size(), 1u);
    EXPECT_EQ(packs[0].find("KV-4.40["), 0u) << packs[0];
    EXPECT_TRUE(root->revPack()->checkCheckSum(packs[0].c_str(), false));
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"RevPack " + std::string(Main::_revpacksDir) + "/" + packs[0] +
                                                       " is geschreven.\n"})
        << "what was written is told";
}

// Images whose type config.ini does not name are skipped: without one left
// no pack is made, and the window says which were skipped and why.
TEST_F(UpgradeWindowTest, CreationWindowWithoutAUsableImageMakesNoPackAndSaysWhy)
{
    openWithImages("KV1234WS-BX");

    press("Opties");
    press("Create Rev. Pack", windows("Opties").at(0));
    Fl_Window* creation = windows("Create RevPack Db").at(0);
    dialogs.dirs = {dir + "/images"};
    press("Select Bin", creation);
    press("Gen. RevPack Db", creation);
    FlEvents::settle();
    EXPECT_EQ(dialogs.alerts, (std::vector<std::string>{
                                  "Error!! Replace Ombrix by Custom type.\n"
                                  "        Type: KV1234WS-BX_4.40.bin not in config.ini file\n",
                                  "No usable image in " + dir +
                                      "/images/: KV1234WS-BX_4.40.bin skipped, type not in config.ini"}));
    for (const auto& e : fs::directory_iterator(Main::_revpacksDir))
        EXPECT_NE(e.path().extension(), ".rpa") << e.path();
}

// A unit whose settings cannot be fetched: the question before going on
// without a backup says why there is none; No (the default) starts nothing.
TEST_F(UpgradeWindowTest, BackupThatFailsSaysWhyBeforeAskingToGoOnWithout)
{
    KvTestPack p;
    p.data = KvTestPack::image(700, "KV-4.30");
    p.write(Main::_revpacksDir, "KV-4.30");
    std::ofstream(sim.path("unit.adn")) << unitSettings("Kantoor");
    ASSERT_TRUE(openOnSim({"--image", sim.path("image.bin"), "--no-settings"})) << status();
    options(true);
    press("Upgrade", tab());
    for (int i = 0; i < 100 && dialogs.questions.empty(); ++i) {
        advance(500);
        until([] { return false; }, 20);
    }
    ASSERT_EQ(dialogs.questions, std::vector<std::string>{"De reservekopie is mislukt: de Korvan stuurde de instellingen "
                                                          "niet volledig.\nDoorgaan zonder reservekopie?"});
    EXPECT_TRUE(until([this] { return buttonsActive(); })) << status();
    EXPECT_EQ(sim.log().find("<- upgrade request"), std::string::npos);
}
