// Saving on a full disk: whatever the program writes (a settings file, its
// preferences, a new revision pack) either arrives whole or leaves the
// previous file as it was, and the failure is told. Each save runs in a
// child whose files may not grow past a few bytes.

#include <filesystem>
#include <memory>

#include "RevPackDbTestKit.h"
#include "DataTest.h"
#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "support/FullDisk.h"

namespace {

namespace fs = std::filesystem;

using FullDiskTest = DataTest;

TEST_F(FullDiskTest, SettingsFileAndPreferencesKeepTheirPreviousContent)
{
    std::string adn;
    for (int k = 1; k <= 200; ++k) adn += "oud " + std::to_string(k) + "|" + std::to_string(1000 + k) + "\n";
    TempDir::write("unit.adn", adn);
    const std::string ini = "settingfile=unit.adn\ncomport=/dev/ttyUSB0\nkorvantype=KV8888GM-ED;Alarmbox\n"
                            "lastrevpack=KV-4.12[1a2b]\nlastbin=app.bin\n";
    TempDir::write("config.ini", ini);
    fs::create_directory("dev");
    ConfigInit::devicesDir((dir.path() + "/dev").c_str());

    const int alerts = fulldisk::inChild(64, [this] {
        SettingBin bin(nullptr);
        std::string why;
        AdnFile::load(bin, "unit.adn", AdnFile::TOLERANT, &why);
        bin.setEntry(1, "nieuw", "2", false, SBEntry::INVALID_TYPE);
        AdnFile::save(bin);
        {
            ConfigInit config(&bin, nullptr, nullptr);
            config.comActive("/dev/ttyUSB1");
        }
        // Each failed save is told once, the preferences with their reason.
        return dialogs.alerts.size() == 2 && dialogs.alerts[1] == "Fout!! Bestand \"config.ini\" kan niet opgeslagen "
                                                                    "worden: File too large. Het vorige bestand blijft."
                   ? 0
                   : 1 + static_cast<int>(dialogs.alerts.size());
    });
    ConfigInit::devicesDir(nullptr);
    EXPECT_EQ(alerts, 0) << "the failed saves of the settings file and of the preferences are told, once each";
    EXPECT_EQ(TempDir::read("unit.adn"), adn);
    EXPECT_EQ(TempDir::read("config.ini"), ini);
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_TRUE(e.path().filename() == "unit.adn" || e.path().filename() == "config.ini" ||
                    e.path().filename() == "dev")
            << "left behind: " << e.path();
}

// The settings an image carries are written out whole or not at all, also
// where the user linked the file to one of their own.
TEST_F(FullDiskTest, SettingsOfAnImageReplaceTheirFileWholeOrNotAtAll)
{
    const std::string packs = dir.path() + "/packs";
    fs::create_directory(packs);
    TestImage im = testImage("a.bin", 100);
    im.adnFile = "a.adn";
    im.adnData = std::string(3000, 'n');
    RecordingOwner owner;
    {
        RevPackDb db(&owner, packs.c_str());
        writePack(db, "p", {im});
    }
    fs::create_directory("mine");
    TempDir::write("mine/pre.adn", "previous");
    fs::create_symlink("mine/pre.adn", "adn_pre_update.adn");
    // Opened before the disk fills up: the image is loaded from memory.
    RevPackDb db(&owner, packs.c_str());
    db.selectRpFile("p");
    db.autoProgAdnFile(true);
    auto loadImage = [&] {
        db.setBinData("a.bin");
        return db.binFileSelected() ? 1 : 0;
    };
    EXPECT_EQ(fulldisk::inChild(1000, loadImage), 0) << "no upgrade without its settings";
    EXPECT_EQ(TempDir::read("mine/pre.adn"), "previous");
    EXPECT_EQ(loadImage(), 1);
    EXPECT_TRUE(fs::is_symlink("adn_pre_update.adn"));
    EXPECT_EQ(TempDir::read("mine/pre.adn"), im.adnData);
    EXPECT_EQ(std::distance(fs::directory_iterator("mine"), {}), 1) << "no work file left";
}

TEST_F(FullDiskTest, PackNotWrittenWholeIsNotPublished)
{
    const std::string bins = dir.path() + "/bins", packs = dir.path() + "/packs";
    fs::create_directories(bins);
    std::string image(0x100 + 3000, 'x');
    image.replace(16, 15, "B.49KV8888GM-ED");
    image.replace(0x100 + 32, 17, std::string("VERSION: KV-4.12") + '\0');
    TempDir::write(bins + "/KV8888GM-ED_4.12.bin", image);
    TempDir::write(bins + "/BOOT_LOAD_B49.bin", std::string(1600, 'b'));

    RecordingOwner owner;
    owner.typeNames = {{"KV8888GM-ED", "KV8888GM-ED"}};
    std::unique_ptr<RevPackDb> db(new RevPackDb(&owner, packs.c_str()));
    db->sleepFunc(nullptr);
    ASSERT_TRUE(db->createDb(bins.c_str()));
    const std::string before = db->createdPack(), content = TempDir::read(packs + "/" + before);

    image[0x100 + 100] = 'y';  // another checksum: another pack name
    TempDir::write(bins + "/KV8888GM-ED_4.12.bin", image);
    // The restriction table kept with the last pack made stays as it was.
    const std::string kept = "RevPacks/SwHwRestrictions.rst", table = TempDir::read(kept);
    ASSERT_NE(std::string::npos, table.find("1:4.**;B.**"));
    TempDir::write(kept, "the table of the last pack made\n");
    const int made = fulldisk::inChild(4096, [&] {
        RevPackDb child(&owner, packs.c_str());
        child.sleepFunc(nullptr);
        return child.createDb(bins.c_str()) ? 1 : 0;
    });
    EXPECT_EQ(made, 0) << "a pack was made on a full disk";
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(packs)) files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{before});
    EXPECT_EQ(TempDir::read(packs + "/" + before), content);
    EXPECT_EQ("the table of the last pack made\n", TempDir::read(kept));

    // With room again, the same directory makes its pack.
    ASSERT_TRUE(db->createDb(bins.c_str()));
    db->selectRpFile(db->createdPack().c_str());
    db->setBinData("KV8888GM-ED_4.12.bin");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(db->binData()), size_t(db->binSize())), image.substr(0x100));
    EXPECT_EQ(table, TempDir::read(kept));
}

}  // namespace
