// The unattended command-line runs, end to end: the built program without a
// display against the built unit simulator.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "korvansim/SimProcess.h"
#include "support/KorprogDirTest.h"
#include "support/KorprogProcess.h"
#include "support/KvPty.h"
#include "support/KvSettingsFile.h"
#include "support/KvTestPack.h"

namespace fs = std::filesystem;

namespace {

class Unattended : public KorprogDirTest {
protected:
    Unattended() : KorprogDirTest("korprog-unattended") {}
    void SetUp() override
    {
        KorprogDirTest::SetUp();
        fs::create_directories(packs);
    }
    void TearDown() override { sim.stop(); }

    // The user's preferences, in the directory the program runs in.
    void config(const std::string& port) { std::ofstream(user / "config.ini") << "comport=" << port << "\n"; }

    // The simulator with `args`, and config.ini naming its terminal.
    void startSim(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--adn", sim.path("unit.adn"), "--image", sim.path("image.bin")});
        std::ofstream(sim.path("unit.adn")) << settingsFile("oud ");
        ASSERT_TRUE(sim.start(args));
        config(sim.device);
    }

    // As a user starts it, not as ctest does.
    KorprogRun korprog(const std::vector<std::string>& args, int timeoutS = 20)
    {
        return runKorprog(KorprogStart(dir.string(), {"KORPROG_HEADLESS"}), args, timeoutS);
    }

    // The directory "images": an image of type KV8888GM-ED for processor 49
    // (hardware and type near its head, the version behind the start
    // address) and a boot loader.
    void images()
    {
        std::string image(0x100 + 600, '\x20');
        image.replace(16, 15, "B.49KV8888GM-ED");
        image.replace(0x100 + 32, 22, "VERSION: KV-4.20 XTR  ");
        fs::create_directories(dir / "images");
        write("images/KV8888GM-ED_4.20.bin", image);
        write("images/BOOT_LOAD_B49.bin", std::string(1600, '\x49'));
    }

    SimProcess sim;
};

TEST_F(Unattended, ProgramWritesTheWholeFileIntoTheUnitAndEndsZero)
{
    startSim({});
    const std::string file = settingsFile("Nieuw ");
    write("new.adn", file);
    const KorprogRun r = korprog({"-program", "new.adn"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(read(sim.path("unit.adn")), file);
    // What went in is read back before the run ends.
    EXPECT_NE(r.out.find("Programmeren #200 gereed.\nOphalen\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Verbonden - Gecontroleerd"), std::string::npos) << r.out;
    EXPECT_EQ(sim.log().find("<- upload request"), sim.log().rfind("<- upload request")) << "programmed once";
}

// Refused before the first entry: stopped there, the unit would hold a mix
// of new and old settings.
TEST_F(Unattended, ProgramOfATextTooLongForTheUnitIsRefusedWithCode3AndNothingProgrammed)
{
    startSim({});
    std::string file = settingsFile("x");
    file.replace(file.find("x3|"), 2, "thirteen char");  // entry 3 of a GSM unit holds 12
    write("new.adn", file);
    const KorprogRun r = korprog({"-program", "new.adn"});
    EXPECT_EQ(r.rc, 3);
    EXPECT_EQ(r.err, "korprog: texts too long for the unit: entry 3 (Algemeen, PIN-code SIM) has 13 characters, at "
                     "most 12; nothing was programmed\n");
    EXPECT_EQ(sim.log().find("<- upload request"), std::string::npos);
}

TEST_F(Unattended, ProgramAnswersItsQuestionsOnStandardOutputAndSaysWhatItLeftOut)
{
    // Another type of the same network with room for 150 entries, on
    // hardware whose entry 80 takes no number once set.
    startSim({"--type", "KV4400GM-ED", "--entries", "150", "--hardware", "D.49"});
    std::string file = settingsFile("Nieuw ");
    file.replace(file.find("Nieuw 80|\n"), 10, "Nieuw 80|1\n");
    write("new.adn", file);
    const KorprogRun r = korprog({"-program", "new.adn"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const char* line :
         {"Attentie!! Korvan Type \"KV8888GM-ED\" in Bestand verschilt met Verbonden Korvan Type \"KV4400GM-ED\": "
          "de instellingen worden toch geprogrammeerd\n",
          "De Korvan heeft 150 instellingen: instellingen 151-200 uit het bestand zijn niet geprogrammeerd\n",
          "Attentie!! Veldnaam, \"Algemeen, Opstartmelding\" wordt niet ondersteund voor deze hardware versie. -> "
          "Programmeren continueren\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    EXPECT_EQ(r.out.find("unknown"), std::string::npos) << r.out;
    EXPECT_NE(sim.log().find("upload ended after 150 entries"), std::string::npos);
}

TEST_F(Unattended, ProgramRefusesWhatIsNoSettingsFileBeforeTheUnitHearsAnything)
{
    startSim({});
    write("notes.txt", "just some text\nwithout any bar\n");
    write("nul.adn", std::string("a|1\n\0|2\n", 8));
    // The unit's frame has no room for a double quote in either part.
    write("quote.adn", "a|1\nab\",\"cd|55\n");
    write("quotenr.adn", "a|1\nb|2\nc|0\"6\n");
    fs::create_directories(dir / "folder.adn");
    struct Case {
        const char* file;
        const char* reason;
    } cases[] = {{"missing.adn", "no such settings file"},
                 {"folder.adn", "not a settings file"},
                 {"notes.txt", "not a settings file (line 1 has no '|')"},
                 {"nul.adn", "NUL byte"},
                 {"quote.adn", "not a settings file (line 2 holds a '\"', which no setting can carry)"},
                 {"quotenr.adn", "line 3 holds a '\"'"}};
    for (const Case& c : cases) {
        const KorprogRun r = korprog({"-program", c.file});
        EXPECT_EQ(r.rc, 3) << c.file;
        EXPECT_EQ(ksimtest::count(r.err, "\n"), 1) << r.err;
        EXPECT_EQ(r.err.rfind("korprog: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
    EXPECT_EQ(sim.log().find("<- "), std::string::npos) << "nothing reached the unit";
}

TEST_F(Unattended, ProgramOfAUnitInItsBootLoaderEndsAtOnceWithRefusedCode7)
{
    startSim({"--boot"});
    write("new.adn", settingsFile("x"));
    const KorprogRun r = korprog({"-program", "new.adn"}, 5);
    EXPECT_EQ(r.rc, 7);
    EXPECT_EQ(r.err, "korprog: the unit waits in its boot loader; it takes no settings\n");
}

TEST_F(Unattended, ProgramWithoutAUnitEndsWithNoUnitCode5WithinFifteenSeconds)
{
    KvPty silent;
    config(silent.name);
    write("new.adn", settingsFile("x"));
    const auto t0 = std::chrono::steady_clock::now();
    const KorprogRun r = korprog({"-program", "new.adn"});
    EXPECT_EQ(r.rc, 5);
    EXPECT_EQ(r.err, "korprog: Korvan niet aangesloten\n");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(15));
}

TEST_F(Unattended, UpgradeSendsThePacksImageAndEndsZeroWithProgressLines)
{
    startSim({});
    KvTestPack p;
    p.data = KvTestPack::image(3000, "KV-4.61");
    const std::string name = p.write(packs.string(), "KV-e2e");
    const KorprogRun r = korprog({"-upgrade", "-revpack", name + ".rpa", "-binfile", "app.bin"});
    EXPECT_EQ(r.rc, 0) << r.err << r.out;
    EXPECT_EQ(read(sim.path("image.bin")), KvTestPack::padded(p.data));
    EXPECT_EQ(ksimtest::count(r.out, "bytes sent"), 10) << "one line per tenth of the image\n" << r.out;
    EXPECT_NE(r.out.find("Upgrading 12% ready: 384 of 3000 bytes sent"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Upgrading 100% ready: 3000 of 3000 bytes sent\n"), std::string::npos);
    EXPECT_NE(r.out.find("Upgrading Ready"), std::string::npos);
    EXPECT_NE(sim.log().find("new software version KV-4.61"), std::string::npos);
}

TEST_F(Unattended, PackImageCarryingSettingsProgramsThemBeforeTheImage)
{
    startSim({});
    KvTestPack p;
    p.type = "KV8888WM-ED";  // another network: the image's settings go first
    p.rows = {"KV----G----;KV----W----"};
    p.data = KvTestPack::image(700, "KV-4.30", p.type);
    p.adn = settingsFile("Pack ");
    const KorprogRun r = korprog({"-upgrade", "-revpack", p.write(packs.string(), "KV-adn"), "-binfile", "app.bin"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(read(sim.path("unit.adn")), p.adn);
    EXPECT_EQ(read(sim.path("image.bin")), KvTestPack::padded(p.data));
    const std::string log = sim.log();
    EXPECT_LT(log.find("upload ended after 200 entries"), log.find("<- upgrade request")) << "settings first";
}

TEST_F(Unattended, UpgradeRefusesPackAndImageItCannotUseBeforeTheUnitIsAsked)
{
    startSim({});
    KvTestPack good;
    good.data = KvTestPack::image(500);
    const std::string name = good.write(packs.string(), "KV-ok");
    fs::copy_file(packs / (name + ".rpa"), packs / "KV-bad[0bad].rpa");
    KvTestPack other = good;
    other.type = "KV1111PM-ED";
    const std::string otherName = other.write(packs.string(), "KV-other");
    struct Case {
        std::string pack, bin, reason;
        int rc;
    } cases[] = {{"KV-none", "app.bin", "no revision pack KV-none in ", 3},
                 {"KV-bad[0bad]", "app.bin", "revision pack KV-bad[0bad] fails its checksum", 3},
                 {name, "none.bin", "no image none.bin in revision pack " + name, 3},
                 {name, "BOOT_LOAD_49.bin", "no image BOOT_LOAD_49.bin", 3},
                 {otherName, "app.bin", "image app.bin is not allowed for this unit (type KV8888GM-ED", 8}};
    for (const Case& c : cases) {
        const KorprogRun r = korprog({"-upgrade", "-revpack", c.pack, "-binfile", c.bin});
        EXPECT_EQ(r.rc, c.rc) << c.pack << " " << c.bin;
        EXPECT_NE(r.err.find("korprog: " + c.reason), std::string::npos) << r.err;
    }
    EXPECT_EQ(sim.log().find("<- upgrade request"), std::string::npos);
    EXPECT_EQ(sim.log().find("<- upload request"), std::string::npos);
}

// A pack whose sizes and data disagree (its checksum right all the same),
// or that cannot be read, is refused with what is wrong before anything is
// sent to the unit.
TEST_F(Unattended, UpgradeRefusesADamagedOrUnreadablePackBeforeSendingAnything)
{
    startSim({});
    auto damaged = [this](const std::string& name, const std::function<void(RevPackDb&)>& change) {
        KvTestPack p;
        p.data = KvTestPack::image(3000);
        const std::string written = p.write(packs.string(), name);
        std::unique_ptr<RevPackDb> db(new RevPackDb(nullptr, packs.c_str()));
        db->selectDb((written + ".rpa").c_str());
        change(*db);
        db->clearDb();
        char sum[8];
        std::snprintf(sum, sizeof sum, "%04x", db->readCheckSum((packs / (written + ".rpa")).c_str()));
        fs::rename(packs / (written + ".rpa"), packs / (name + "[" + sum + "].rpa"));
        return name + "[" + sum + "]";
    };
    const struct {
        std::string pack, reason;
    } cases[] = {
        {damaged("KV-empty", [](RevPackDb& db) { db.setEntry("app.bin", "data", "", 0); }),
         "Invalid Revpack: image app.bin is damaged"},
        {damaged("KV-hex", [](RevPackDb& db) { db.setEntry("app.bin", "data", std::string(6000, 'z').c_str()); }),
         "Invalid Revpack: image app.bin is damaged"},
        {damaged("KV-short", [](RevPackDb& db) { db.setEntry("app.bin", "size", 102400); }),
         "Invalid Revpack: image app.bin is damaged"},
        {damaged("KV-boot", [](RevPackDb& db) { db.setEntry("BOOT_LOAD_49.bin", "size", 301); }),
         "Invalid Revpack: image BOOT_LOAD_49.bin is damaged"},
    };
    fs::create_symlink("/proc/self/mem", packs / "KV-mem[0000].rpa");  // reading it fails, also for root
    for (const auto& c : cases) {
        const KorprogRun r = korprog({"-upgrade", "-revpack", c.pack, "-binfile", "app.bin"});
        EXPECT_EQ(r.rc, 3) << c.pack;
        EXPECT_NE(r.err.find("korprog: " + c.reason + "\n"), std::string::npos) << r.err;
    }
    const KorprogRun mem = korprog({"-upgrade", "-revpack", "KV-mem[0000]", "-binfile", "app.bin"});
    EXPECT_EQ(mem.rc, 3);
    EXPECT_NE(mem.err.find("korprog: Cannot read " + (packs / "KV-mem[0000].rpa").string() + ": Input/output error\n"),
              std::string::npos)
        << mem.err;
    EXPECT_EQ(sim.log().find("<- "), std::string::npos) << "nothing reached the unit\n" << sim.log();
    EXPECT_FALSE(fs::exists(sim.path("image.bin")));
}

TEST_F(Unattended, CreateRevPackOfImagesThatAreAllSkippedMakesNoPackAndSaysWhy)
{
    images();
    std::ofstream(user / "config.ini") << "korvantype=KV4400WS-BX;Other\n";

    const KorprogRun r = korprog({"-cmdl_crtrpa", "-bindir", "images"});
    EXPECT_EQ(r.rc, 3);
    EXPECT_NE(r.err.find("korprog: No usable image in " + (dir / "images").string() +
                         "/: KV8888GM-ED_4.20.bin skipped, type not in config.ini\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("Created revision pack"), std::string::npos) << r.out;
    for (const auto& e : fs::directory_iterator(packs))
        if (e.path().filename() != "SwHwRestrictions.txt") ADD_FAILURE() << "left in the pack directory: " << e.path();
}

TEST_F(Unattended, CreateRevPackBuildsAPackWithoutADisplayOrRefusesAMissingDirectory)
{
    images();
    // The images are named by the type names of the user's config.ini.
    std::ofstream(user / "config.ini") << "korvantype=KV8888GM-ED;Alarmbox\n";

    const KorprogRun made = korprog({"-cmdl_crtrpa", "-bindir", "images"});
    EXPECT_EQ(made.rc, 0) << made.err;
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(packs))
        if (e.path().extension() == ".rpa") files.push_back(e.path().filename().string());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].find("KV-4.20_XTR["), 0u) << files[0];
    EXPECT_NE(made.out.find("Created revision pack " + files[0] + "\n"), std::string::npos) << made.out;
    const std::string pack = read(packs / files[0]);
    EXPECT_NE(pack.find("[./Alarmbox_4.20.bin]"), std::string::npos);
    EXPECT_NE(pack.find("[./BOOT_LOAD_B49.bin]"), std::string::npos);

    const std::vector<std::string> withPack = names(packs);
    const KorprogRun missing = korprog({"-cmdl_crtrpa", "-bindir", "no-such-dir"});
    EXPECT_EQ(missing.rc, 3);
    EXPECT_NE(missing.err.find("korprog: _binDirPath=" + (dir / "no-such-dir").string() + "/ does NOT Exist!\n"),
              std::string::npos)
        << missing.err;
    const KorprogRun noDir = korprog({"-cmdl_crtrpa"});
    EXPECT_EQ(noDir.rc, 3);
    EXPECT_NE(noDir.err.find("korprog: -cmdl_crtrpa needs -bindir DIR\n"), std::string::npos) << noDir.err;
    EXPECT_EQ(names(packs), withPack) << "nothing new, no work file left";
}

}  // namespace

#endif
