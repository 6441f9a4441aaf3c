#include "korprog/progctrl/Data/RevPackDb.h"

#include <FL/Fl_Preferences.H>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "RevPackDbTestKit.h"
#include "TempDir.h"
#include "bdebug/BTrace.h"
#include "korprog/progctrl/Data/Language.h"
#include "support/ScriptedDialogs.h"

namespace {

std::vector<uint32_t> sleeps;
void recordSleep(uint32_t ms) { sleeps.push_back(ms); }

bool exists(const std::string& p)
{
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

class RevPackDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.ok());
        Language::destroy();
        packs = tmp.path() + "/RevPacks";
        ::mkdir(packs.c_str(), 0700);
        sleeps.clear();
        setUnit("B.49");
        db.reset(new RevPackDb(&owner, packs.c_str()));
        db->sleepFunc(recordSleep);
    }
    void TearDown() override
    {
        db.reset();
        RevPackDb::setActHwSwVers("", "", "", "");
        RevPackDb::activeAdnFileReset();
    }
    static void setUnit(const char* hw) { RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "", hw); }
    std::string packPath(const std::string& name) const { return packs + "/" + name + ".rpa"; }

    TempDir tmp;
    ScriptedDialogs dialogs;
    RecordingOwner owner;
    std::string packs;
    std::unique_ptr<RevPackDb> db;  // large: kept off the stack
};

// Our pack is, byte for byte, what FLTK's preferences class writes for the
// same groups and entries; and FLTK's file is read by our code.
TEST_F(RevPackDbTest, PackBytesAreFltkPreferencesBytes)
{
    const std::string data("\x00\x01\x7f\x80\xff", 5);
    const std::string text = "back\\slash\nCR\r \x01\xe9 and a tail long enough to need a continuation line or two";
    db->selectDb("same");
    db->setEntry("General", "version", 3);
    db->setEntry("img.bin", "text", text.c_str());
    db->setEntry("img.bin", "data", data.data(), 5);
    db->clearDb();
    const std::string ref = tmp.path() + "/ref";
    {
        Fl_Preferences p(ref.c_str(), "RevPacks", "same");
        // Opening a pack opens these four groups, in this order.
        Fl_Preferences gen(p, "General"), types(p, "KorvanTypeList"), bins(p, "BinFileList"), r(p, "HwSwRestrictionList");
        gen.set("version", 3);
        Fl_Preferences img(p, "img.bin");
        img.set("text", text.c_str());
        img.set("data", data.data(), 5);
    }
    const std::string ours = TempDir::read(packPath("same"));
    EXPECT_EQ(ours, TempDir::read(ref + "/same.prefs"));
    EXPECT_EQ(0u, ours.find("; FLTK preferences file format 1.0\n; vendor: RevPacks\n; application: same\n\n[.]\n"));

    std::rename((ref + "/same.prefs").c_str(), packPath("fltk").c_str());
    db->selectDb("fltk.rpa");
    char back[RevPackDb::MAX_TXT_LEN];
    EXPECT_TRUE(db->getEntry("img.bin", "text", back));
    EXPECT_EQ(text.substr(0, RevPackDb::MAX_TXT_LEN - 1), back);
    EXPECT_TRUE(db->getEntry("img.bin", "data", back, 5));
    EXPECT_EQ(data, std::string(back, 5));
}

TEST_F(RevPackDbTest, ListsPacksInNumericOrderAndDeletesBareExtension)
{
    for (const char* n : {"KV-4.10.rpa", "KV-4.9.rpa", "KV-4.100.RPA", "notes.txt", ".rpa", "x.rpa.bak"})
        TempDir::write(packs + "/" + n, "x");
    ::mkdir((packs + "/dir.rpa").c_str(), 0700);
    db->setRpaFiles();
    ASSERT_EQ(3, db->nrRpaFiles());
    EXPECT_STREQ("KV-4.9.rpa", db->rpaFile(0));
    EXPECT_STREQ("KV-4.10.rpa", db->rpaFile(1));
    EXPECT_STREQ("KV-4.100.RPA", db->rpaFile(2));
    EXPECT_STREQ("", db->rpaFile(3));
    EXPECT_FALSE(exists(packs + "/.rpa"));
    for (int i = 0; i < 60; ++i) TempDir::write(packs + "/p" + std::to_string(i) + ".rpa", "x");
    db->setRpaFiles();
    EXPECT_EQ(RevPackDb::MAX_NR_FILES, db->nrRpaFiles());
    EXPECT_EQ(0, RevPackDb(&owner, (tmp.path() + "/absent").c_str()).nrRpaFiles());
}

TEST_F(RevPackDbTest, SelectReadsListsOfNewAndOldPacks)
{
    writePack(*db, "new", {testImage("b.bin", 10), bootLoader("BOOT_LOAD_B49.bin", "49"), testImage("a.bin", 10)});
    db->selectRpFile("new.rpa");
    ASSERT_EQ(3, db->actNrBinFiles());
    EXPECT_STREQ("b.bin", db->actBinFile(0));
    EXPECT_STREQ("a.bin", db->actBinFile(2));
    EXPECT_EQ(1, db->nrBootFiles());
    EXPECT_EQ("new.rpa", owner.lastPack);
    EXPECT_STREQ("49", db->setBtlHwVersion());  // chosen on selection

    // Without "version" in "General" the old list names are read; lists
    // under the new names are ignored.
    writePack(*db, "old", {testImage("x.bin", 20)}, true);
    db->selectDb("old");
    db->setEntry("BinFileList_2", "decoy.bin", "decoy.bin");
    db->clearDb();
    db->selectRpFile("old");
    EXPECT_STREQ("BinFileList", RevPackDb::BINLIST);
    ASSERT_EQ(1, db->actNrBinFiles());
    EXPECT_STREQ("x.bin", db->actBinFile(0));
}

TEST_F(RevPackDbTest, ListsStopAtFiftyImagesAndFourBootLoaders)
{
    std::vector<TestImage> images;
    for (int i = 0; i < 6; ++i) images.push_back(bootLoader("BOOT_LOAD_" + std::to_string(i), "00", 4));
    for (int i = 0; i < 50; ++i) images.push_back(testImage("i" + std::to_string(i), 1));
    writePack(*db, "big", images);
    db->selectRpFile("big");
    EXPECT_EQ(RevPackDb::MAX_NR_FILES, db->actNrBinFiles());
    EXPECT_EQ(RevPackDb::MAX_BOOTFILES, db->nrBootFiles());
}

TEST_F(RevPackDbTest, SetBinDataLoadsImageAndWritesSettingsWithCrCrCollapsed)
{
    TestImage im = testImage("a.bin", 3000);
    im.adnFile = "a.adn";
    im.adnData = "1;x;\r\r\n2;y;\r\n\r\r\r\nend";
    writePack(*db, "p", {im, testImage("plain.bin", 5)});
    db->selectRpFile("p");
    db->autoProgAdnFile(true);
    EXPECT_STREQ("adn_pre_update.adn", db->setBinData("a.bin"));
    ASSERT_EQ(3000, db->binSize());
    EXPECT_EQ(0, std::memcmp(im.data.data(), db->binData(), 3000));
    EXPECT_EQ(0xFF, db->binData()[3000]);
    EXPECT_EQ("1;x;\r\n2;y;\r\n\r\nend", TempDir::read("adn_pre_update.adn"));
    EXPECT_EQ("a.bin", owner.lastBin);

    EXPECT_STREQ("", db->setBinData("plain.bin"));  // no settings file
    db->autoProgAdnFile(false);                      // written, but not to be programmed
    EXPECT_STREQ("", db->setBinData("a.bin"));
    EXPECT_STREQ("", RevPackDb::activeAdnFile());
}

TEST_F(RevPackDbTest, OversizedImageOrSettingsBlockIsRefusedNotRead)
{
    db->selectDb("huge");
    db->setEntry("big.bin", "size", 200000);
    db->setEntry("big.bin", "data", std::string(300, 'x').data(), 300);
    db->setEntry("adn.bin", "size", 4);
    db->setEntry("adn.bin", "data", "abcd", 4);
    db->setEntry("adn.bin", "adnfile", "adn.adn");
    db->setEntry("adn.bin", "adnsize", 102401);
    db->setEntry("adn.bin", "adndata", "1234", 4);
    db->setEntry("neg.bin", "size", -5);
    db->clearDb();
    db->selectRpFile("huge");
    db->autoProgAdnFile(true);
    EXPECT_STREQ("", db->setBinData("big.bin"));
    EXPECT_EQ(0, db->binSize());
    EXPECT_EQ(0xFF, db->binData()[0]);
    EXPECT_STREQ("", db->setBinData("adn.bin"));
    EXPECT_EQ(4, db->binSize());
    EXPECT_EQ(0, db->adnSize());
    EXPECT_FALSE(exists("adn_pre_update.adn"));
    EXPECT_EQ((std::vector<std::string>{"big.bin too big", "adn.adn too big"}), dialogs.alerts);
    db->setBinData("neg.bin");
    EXPECT_EQ(0, db->binSize());
}

TEST_F(RevPackDbTest, ProcessorVersionChoosesBootLoader)
{
    writePack(*db, "p", {bootLoader("BOOT_LOAD_B", "00", 100), bootLoader("BOOT_LOAD_B49", "49", 200),
                         bootLoader("BOOT_LOAD_C", "00", 300)});
    db->selectRpFile("p");
    EXPECT_EQ(200, db->bootSize());
    EXPECT_TRUE(db->checkBtlHwVersion());
    EXPECT_EQ("Correct Revpack:p. With 2nd boot for HW version: B.49", owner.status.back());
    for (const char* hw : {"B.48", ""}) {  // the first boot loader that is not 49
        setUnit(hw);
        EXPECT_TRUE(db->setBootData(nullptr)) << hw;
        EXPECT_EQ(100, db->bootSize()) << hw;
        EXPECT_STREQ("00", db->setBtlHwVersion()) << hw;
        EXPECT_EQ(0, std::memcmp(bootLoader("", "00", 100).data.data(), db->bootData(), 100));
    }
    EXPECT_TRUE(db->setBootData("49"));  // the given version wins over the unit's
    EXPECT_EQ(200, db->bootSize());
    EXPECT_FALSE(db->checkBtlHwVersion());  // a unit below 49 with the 49 boot loader
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(RevPackDbTest, MissingOrTooBigBootLoader)
{
    writePack(*db, "only48", {bootLoader("BOOT_LOAD_B", "00")});
    db->selectRpFile("only48");
    EXPECT_EQ(0, db->bootSize());
    EXPECT_EQ("E:Invalid Revpack:only48. No 2nd boot for HW version: B.49", owner.status.back());
    EXPECT_EQ(1, owner.refreshes);
    EXPECT_EQ(std::vector<uint32_t>{2000}, sleeps);

    writePack(*db, "none", {testImage("a.bin", 5)});
    db->selectRpFile("none");
    EXPECT_EQ("E:Error!! No 2nd stage boot loader in Revpack none.", owner.status.back());
    EXPECT_EQ(2, dialogs.beeps);

    setUnit("B.48");
    writePack(*db, "big", {bootLoader("BOOT_LOAD_B", "00", 3000)});
    db->selectRpFile("big");
    EXPECT_EQ(std::vector<std::string>{"BOOT_LOAD_B too big"}, dialogs.alerts);
    EXPECT_EQ(RevPackDb::MAX_BOOT_SIZE, db->bootSize());  // what the buffer holds, no more
    writePack(*db, "edge", {bootLoader("BOOT_LOAD_B", "00", 2047)});
    db->selectRpFile("edge");
    EXPECT_EQ(2047, db->bootSize());
}

TEST_F(RevPackDbTest, ChecksumSurvivesRenameAndCatchesChangedByte)
{
    writePack(*db, "temp", {testImage("a.bin", 500), bootLoader("BOOT_LOAD_B", "00")});
    const uint16_t sum = db->readCheckSum(packPath("temp").c_str());
    const std::string bytes = TempDir::read(packPath("temp"));
    uint16_t expect = 0;
    for (size_t i = bytes.find("[.]"); i < bytes.size(); ++i) expect = uint16_t(expect + int8_t(bytes[i]));
    EXPECT_EQ(expect, sum);

    // Another name and header, the same bracket: it still verifies.
    char name[64];
    std::snprintf(name, sizeof name, "Renamed-pack[%04X].rpa", sum);
    std::string renamed = bytes;
    renamed.replace(renamed.find("temp"), 4, "Renamed-pack");
    TempDir::write(packs + "/" + name, renamed);
    EXPECT_TRUE(db->checkCheckSum(name, false));
    EXPECT_TRUE(db->checkCheckSum((packs + "/" + name).c_str(), true));
    EXPECT_TRUE(dialogs.alerts.empty());

    renamed[renamed.size() - 3] ^= 0x01;
    TempDir::write(packs + "/" + name, renamed);
    EXPECT_FALSE(db->checkCheckSum(name, false));
    char alert[128];
    const unsigned calc = db->readCheckSum((packs + "/" + name).c_str());
    std::snprintf(alert, sizeof alert, "Invalid Checksum (calc=%x) in %s. Upgrade NOT possible", calc, name);
    EXPECT_EQ(std::vector<std::string>{alert}, dialogs.alerts);
}

TEST_F(RevPackDbTest, ChecksumFailsWithoutMarkerBracketsOrFile)
{
    TempDir::write(packs + "/nomark[0000].rpa", "; no root section\n");
    EXPECT_EQ(0, db->readCheckSum((packs + "/nomark[0000].rpa").c_str()));
    EXPECT_FALSE(db->checkCheckSum("nomark[0000].rpa", false));  // a sum of 0 must not pass
    writePack(*db, "plain", {});
    EXPECT_FALSE(db->checkCheckSum("plain.rpa", false));
    std::rename(packPath("plain").c_str(), (packs + "/empty[].rpa").c_str());
    EXPECT_FALSE(db->checkCheckSum("empty[].rpa", false));
    EXPECT_FALSE(db->checkCheckSum("gone[0000].rpa", false));
    EXPECT_EQ(4u, dialogs.alerts.size());
}

TEST(RevPackDbHex, HexStrToNrReadsDigitsByPlace)
{
    RevPackDb::HexStrToNr h;
    EXPECT_EQ(255u, h.toNr("00ff"));
    EXPECT_EQ(255u, h.toNr("00FF"));
    EXPECT_EQ(255u, h.toNr("0x0ff"));  // the 'x' is a 0 in its place
    EXPECT_EQ(0u, h.toNr(nullptr));
    EXPECT_EQ(0x12345678u, h.toNr("0012345678"));  // places past 8 wrap away
}

TEST_F(RevPackDbTest, InspectionFindsMarkersAndStaysInsideTheImage)
{
    TestImage im = testImage("a.bin", 0), cut = testImage("cut.bin", 0);
    im.data = "abcdKV1234 B.49KV12a4..B.49KV8888GM-ED-more" + std::string(9, '\0') + "VERSION: KV-4.12 EXTRAtail";
    cut.data = "VERSION: KV-4 B.49KV8888G";
    writePack(*db, "p", {im, cut});
    db->selectDb("p");
    const char* hw = nullptr;
    const char* special = nullptr;
    db->setBinData("a.bin");
    EXPECT_STREQ("KV8888GM-ED", db->getKorTypeFmBin(hw));
    EXPECT_STREQ("B.49", hw);
    EXPECT_STREQ("KV-4.12", db->getSwVersionFmBin(special));
    EXPECT_STREQ(" EXTRA", special);
    db->setBinData("cut.bin");
    EXPECT_STREQ("KV8888G", db->getKorTypeFmBin(hw));
    EXPECT_STREQ("KV-4 B.", db->getSwVersionFmBin(special));
    EXPECT_STREQ("49KV88", special);
}

TEST_F(RevPackDbTest, EntryOperationsOnTheOpenPack)
{
    db->selectDb("e");
    EXPECT_FALSE(db->entryExist("g", "k"));
    EXPECT_TRUE(db->setEntry("g", "k", std::string(100, 'a').c_str()));
    EXPECT_TRUE(db->setEntry("g", "n", 42));
    EXPECT_TRUE(db->setEntry("g", "t", "two\nlines"));
    char text[RevPackDb::MAX_TXT_LEN];
    db->getEntry("g", "k", text);
    EXPECT_EQ(std::string(79, 'a'), text);
    EXPECT_FALSE(db->getEntry("g", "missing", text));
    EXPECT_STREQ("none", text);
    char data[6] = "zzzzz";
    db->getEntry("g", "missing", data, 6);
    EXPECT_EQ(std::string(6, '\0'), std::string(data, 6));

    EXPECT_TRUE(db->delEntry("g", "n"));  // the others keep order and stored value
    ASSERT_EQ(2, db->nrEntries("g"));
    EXPECT_STREQ("t", db->getEntry("g", 1));
    EXPECT_STREQ("", db->getEntry("g", 2));
    db->getEntry("g", "t", text);
    EXPECT_STREQ("two\nlines", text);

    db->setEntry(RevPackDb::BINLIST, "img.bin", "img.bin");
    db->setEntry("img.bin", "size", 1);
    EXPECT_TRUE(db->remGrp("img.bin"));
    EXPECT_FALSE(db->grpExist("img.bin"));
    EXPECT_EQ(0, db->nrEntries(RevPackDb::BINLIST));
    EXPECT_FALSE(db->remGrp(RevPackDb::GENERAL));  // its handle stays usable

    // Names that would not read back as written are refused.
    for (const char* g : {"a/b", "g]", ""}) EXPECT_FALSE(db->setEntry(g, "k", 1)) << g;
    for (const char* k : {"a:b", "[x", "+x", "line\nbreak"}) EXPECT_FALSE(db->setEntry("g", k, 1)) << k;
    EXPECT_FALSE(db->setEntry(std::string(101, 'g').c_str(), "k", 1));
}

}  // namespace
