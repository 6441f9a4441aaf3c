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

using rptest::bootLoader;
using rptest::writePack;

namespace {

const std::string CRLF = "\r\n";

class RevPackDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.ok());
        Language::destroy();
        packs = tmp.path() + "/RevPacks";
        rptest::makeDir(packs);
        rptest::sleeps().clear();
        RevPackDb::setActHwSwVers("", "", "", "");
        RevPackDb::activeAdnFileReset();
        db.reset(new RevPackDb(&owner, packs.c_str()));
        db->sleepFunc(rptest::recordSleep);
    }
    void TearDown() override
    {
        db.reset();
        RevPackDb::setActHwSwVers("", "", "", "");
        RevPackDb::activeAdnFileReset();
    }
    std::string packPath(const std::string& name) const { return packs + "/" + name + ".rpa"; }

    TempDir tmp;
    ScriptedDialogs dialogs;
    RecordingOwner owner;
    std::string packs;
    std::unique_ptr<RevPackDb> db;
};

TestImage appImage(const std::string& name, size_t size)
{
    TestImage t;
    t.name = name;
    t.type = "KV8888GM-ED";
    t.version = "KV-4.12";
    t.hardware = "B.49";
    t.special = " EXTRA";
    for (size_t i = 0; i < size; ++i) t.data += static_cast<char>((i * 7) & 0xFF);
    return t;
}

// --- the file format ---

// The pack our code writes is, byte for byte, what FLTK's preferences class
// writes for the same groups and entries; and FLTK's file reads back.
TEST_F(RevPackDbTest, PackBytesAreFltkPreferencesBytes)
{
    const std::string data("\x00\x01\x7f\x80\xff", 5);
    db->selectDb("same");
    db->setEntry("General", "version", 3);
    db->setEntry("img.bin", "type", "KV8888GM-ED");
    db->setEntry("img.bin", "text", "back\\slash new\nline cr\r \x01\xe9 and a long tail of sixty or more characters to wrap");
    db->setEntry("img.bin", "data", data.data(), 5);
    db->clearDb();

    const std::string ref = tmp.path() + "/ref";
    rptest::makeDir(ref);
    {
        Fl_Preferences p(ref.c_str(), "RevPacks", "same");
        // Opening a pack opens these four groups, in this order.
        Fl_Preferences gen(p, "General"), types(p, "KorvanTypeList"), bins(p, "BinFileList"),
            restr(p, "HwSwRestrictionList");
        gen.set("version", 3);
        Fl_Preferences img(p, "img.bin");
        img.set("type", "KV8888GM-ED");
        img.set("text", "back\\slash new\nline cr\r \x01\xe9 and a long tail of sixty or more characters to wrap");
        img.set("data", data.data(), 5);
    }
    const std::string ours = TempDir::read(packPath("same"));
    EXPECT_EQ(ours, TempDir::read(ref + "/same.prefs"));
    EXPECT_EQ(0u, ours.find("; FLTK preferences file format 1.0\n; vendor: RevPacks\n; application: same\n"));

    // FLTK's file under a pack name is read by ours.
    std::rename((ref + "/same.prefs").c_str(), packPath("fltk").c_str());
    db->selectDb("fltk.rpa");
    char text[RevPackDb::MAX_TXT_LEN];
    EXPECT_TRUE(db->getEntry("img.bin", "text", text));
    const std::string full = "back\\slash new\nline cr\r \x01\xe9 and a long tail of sixty or more characters to wrap";
    EXPECT_EQ(full.substr(0, RevPackDb::MAX_TXT_LEN - 1), text);
    char back[8];
    EXPECT_TRUE(db->getEntry("img.bin", "data", back, 5));
    EXPECT_EQ(data, std::string(back, 5));
    EXPECT_TRUE(db->grpExist("KorvanTypeList_2"));  // the version entry chose the new names
}

TEST_F(RevPackDbTest, ReadingNeverRewritesThePack)
{
    writePack(*db, "KV-4.12[0000]", {appImage("a.bin", 100)}, false);
    const std::string before = TempDir::read(packPath("KV-4.12[0000]"));
    db->selectRpFile("KV-4.12[0000].rpa");  // creates the missing restriction list in memory
    db->setBinData("missing.bin");          // and an empty group
    db->setBootData(nullptr);
    int n = 0;
    db->getEntry("other", "x", n);
    db->clearDb();
    EXPECT_EQ(before, TempDir::read(packPath("KV-4.12[0000]")));
    struct stat st;
    EXPECT_NE(0, ::stat((packPath("KV-4.12[0000]") + ".part").c_str(), &st));
}

// --- the pack list ---

TEST_F(RevPackDbTest, ListsPacksInNumericOrderAndDeletesBareExtension)
{
    for (const char* n : {"KV-4.10.rpa", "KV-4.9.rpa", "KV-4.100.RPA", "notes.txt", ".rpa", "x.rpa.bak"})
        TempDir::write(packs + "/" + n, "x");
    rptest::makeDir(packs + "/dir.rpa");
    db->setRpaFiles();
    ASSERT_EQ(3, db->nrRpaFiles());
    EXPECT_STREQ("KV-4.9.rpa", db->rpaFile(0));
    EXPECT_STREQ("KV-4.10.rpa", db->rpaFile(1));
    EXPECT_STREQ("KV-4.100.RPA", db->rpaFile(2));
    EXPECT_STREQ("", db->rpaFile(3));
    EXPECT_STREQ("", db->rpaFile(-1));
    EXPECT_TRUE(db->exist());
    struct stat st;
    EXPECT_NE(0, ::stat((packs + "/.rpa").c_str(), &st));
}

TEST_F(RevPackDbTest, ListStopsAtFiftyAndMissingDirectoryGivesNone)
{
    for (int i = 0; i < 60; ++i) TempDir::write(packs + "/p" + std::to_string(i) + ".rpa", "x");
    db->setRpaFiles();
    EXPECT_EQ(RevPackDb::MAX_NR_FILES, db->nrRpaFiles());
    EXPECT_STREQ("p49.rpa", db->rpaFile(49));

    RevPackDb none(&owner, (tmp.path() + "/absent").c_str());
    EXPECT_EQ(0, none.nrRpaFiles());
    EXPECT_FALSE(none.exist());
}

// --- selecting a pack ---

TEST_F(RevPackDbTest, SelectLoadsImageAndBootLoaderListsInOrder)
{
    writePack(*db, "p", {appImage("b.bin", 10), bootLoader("BOOT_LOAD_B49.bin", "49"), appImage("a.bin", 10),
                         bootLoader("BOOT_LOAD_B.bin", "00")});
    RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "", "B.49");
    db->selectRpFile("p.rpa");
    ASSERT_EQ(4, db->actNrBinFiles());
    EXPECT_STREQ("b.bin", db->actBinFile(0));
    EXPECT_STREQ("BOOT_LOAD_B49.bin", db->actBinFile(1));
    EXPECT_STREQ("a.bin", db->actBinFile(2));
    EXPECT_EQ(2, db->nrBootFiles());
    EXPECT_EQ("p.rpa", owner.lastPack);
    EXPECT_STREQ("p.rpa", db->actRpFile());
    EXPECT_TRUE(db->rpSelected());
    EXPECT_STREQ("49", db->setBtlHwVersion());  // the boot loader was chosen on selection
}

TEST_F(RevPackDbTest, PackWithoutVersionIsReadThroughOldListNames)
{
    writePack(*db, "old", {appImage("x.bin", 20), bootLoader("BOOT_LOAD_B.bin", "00")}, false);
    db->selectDb("old");
    db->setEntry("BinFileList_2", "decoy.bin", "decoy.bin");  // ignored by a pack of the old format
    db->clearDb();
    db->selectRpFile("old.rpa");
    EXPECT_STREQ("KorvanTypeList", RevPackDb::TYPELIST);
    EXPECT_STREQ("BinFileList", RevPackDb::BINLIST);
    ASSERT_EQ(2, db->actNrBinFiles());
    EXPECT_STREQ("x.bin", db->actBinFile(0));

    writePack(*db, "new", {appImage("y.bin", 20)});
    db->selectRpFile("new");
    EXPECT_STREQ("BinFileList_2", RevPackDb::BINLIST);
    ASSERT_EQ(1, db->actNrBinFiles());
    EXPECT_STREQ("y.bin", db->actBinFile(0));
}

TEST_F(RevPackDbTest, ListsAreBoundedByFiftyImagesAndFourBootLoaders)
{
    std::vector<TestImage> images;
    for (int i = 0; i < 6; ++i) images.push_back(bootLoader("BOOT_LOAD_" + std::to_string(i) + ".bin", "00", 4));
    for (int i = 0; i < 55; ++i) images.push_back(appImage("i" + std::to_string(i) + ".bin", 1));
    writePack(*db, "big", images);
    db->selectRpFile("big");
    EXPECT_EQ(RevPackDb::MAX_NR_FILES, db->actNrBinFiles());
    EXPECT_EQ(RevPackDb::MAX_BOOTFILES, db->nrBootFiles());
    EXPECT_STREQ("i43.bin", db->actBinFile(49));
}

// --- loading an image ---

TEST_F(RevPackDbTest, SetBinDataLoadsImageAndWritesSettingsFileWithCrCrCollapsed)
{
    TestImage im = appImage("a.bin", 3000);
    im.adnFile = "a.adn";
    im.adnData = "1;x;\r\r\n2;y;\r\n\r\r\r\nend";
    writePack(*db, "p", {im, bootLoader("BOOT_LOAD_B.bin", "00")});
    db->selectRpFile("p");

    db->autoProgAdnFile(true);
    EXPECT_STREQ("adn_pre_update.adn", db->setBinData("a.bin"));
    ASSERT_EQ(3000, db->binSize());
    EXPECT_EQ(0, std::memcmp(im.data.data(), db->binData(), 3000));
    EXPECT_EQ(0xFF, db->binData()[3000]);
    EXPECT_EQ("1;x;\r\n2;y;\r\n\r\nend", TempDir::read("adn_pre_update.adn"));
    EXPECT_STREQ("adn_pre_update.adn", RevPackDb::activeAdnFile());
    EXPECT_EQ("a.bin", owner.lastBin);

    // Without the request to program it, the file is written but not named.
    db->autoProgAdnFile(false);
    EXPECT_STREQ("", db->setBinData("a.bin"));
    EXPECT_STREQ("", RevPackDb::activeAdnFile());
}

TEST_F(RevPackDbTest, ImageWithoutSettingsFileClearsTheActiveOne)
{
    TestImage with = appImage("with.bin", 10);
    with.adnFile = "w.adn";
    with.adnData = "1;a;";
    writePack(*db, "p", {with, appImage("without.bin", 10)});
    db->selectRpFile("p");
    db->autoProgAdnFile(true);
    EXPECT_STREQ("adn_pre_update.adn", db->setBinData("with.bin"));
    EXPECT_STREQ("", db->setBinData("without.bin"));
    EXPECT_STREQ("", RevPackDb::activeAdnFile());
    RevPackDb::activeAdnFileReset();
}

TEST_F(RevPackDbTest, OversizedImageOrSettingsBlockIsRefusedNotRead)
{
    db->selectDb("huge");
    db->setEntry("General", "version", 3);
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
    ASSERT_EQ(1u, dialogs.alerts.size());
    EXPECT_EQ("big.bin too big", dialogs.alerts[0]);

    EXPECT_STREQ("", db->setBinData("adn.bin"));
    EXPECT_EQ(4, db->binSize());
    EXPECT_EQ(0, db->adnSize());
    ASSERT_EQ(2u, dialogs.alerts.size());
    EXPECT_EQ("adn.adn too big", dialogs.alerts[1]);
    struct stat st;
    EXPECT_NE(0, ::stat("adn_pre_update.adn", &st));

    EXPECT_STREQ("", db->setBinData("neg.bin"));
    EXPECT_EQ(0, db->binSize());
}

TEST_F(RevPackDbTest, StoredSizeBeyondTheDataZeroFills)
{
    db->selectDb("short");
    db->setEntry("s.bin", "size", 10);
    db->setEntry("s.bin", "data", "abc", 3);
    db->clearDb();
    db->selectDb("short");
    db->setBinData("s.bin");
    ASSERT_EQ(10, db->binSize());
    EXPECT_EQ(std::string("abc\0\0\0\0\0\0\0", 10), std::string(reinterpret_cast<const char*>(db->binData()), 10));
    EXPECT_EQ(0xFF, db->binData()[10]);
}

// --- the boot loader ---

class BootChoiceTest : public RevPackDbTest {
protected:
    void SetUp() override
    {
        RevPackDbTest::SetUp();
        writePack(*db, "p", {bootLoader("BOOT_LOAD_B.bin", "00", 100), bootLoader("BOOT_LOAD_B49.bin", "49", 200),
                             bootLoader("BOOT_LOAD_C.bin", "00", 300)});
    }
};

TEST_F(BootChoiceTest, ProcessorVersionChoosesBootLoader)
{
    RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "", "B.49");
    db->selectRpFile("p");
    EXPECT_EQ(200, db->bootSize());
    EXPECT_STREQ("49", db->setBtlHwVersion());
    EXPECT_TRUE(db->checkBtlHwVersion());
    ASSERT_FALSE(owner.status.empty());
    EXPECT_EQ("Correct Revpack:p. With 2nd boot for HW version: B.49", owner.status.back().text);
    EXPECT_FALSE(owner.status.back().isError);

    // B.48 and an empty version get the first boot loader that is not 49.
    for (const char* hw : {"B.48", ""}) {
        RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "", hw);
        EXPECT_TRUE(db->setBootData(nullptr)) << hw;
        EXPECT_EQ(100, db->bootSize()) << hw;
        EXPECT_STREQ("00", db->setBtlHwVersion()) << hw;
        EXPECT_EQ(0, std::memcmp(bootLoader("x", "00", 100).data.data(), db->bootData(), 100));
    }
    // An explicit version wins over the unit's.
    RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "", "B.48");
    EXPECT_TRUE(db->setBootData("49"));
    EXPECT_EQ(200, db->bootSize());
    EXPECT_FALSE(db->checkBtlHwVersion());  // a 48 unit with the 49 boot loader
    EXPECT_TRUE(rptest::sleeps().empty());
}

TEST_F(BootChoiceTest, NoFittingBootLoaderReportsAndPauses)
{
    writePack(*db, "only48", {bootLoader("BOOT_LOAD_B.bin", "00")});
    RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "", "B.49");
    db->selectRpFile("only48");
    EXPECT_EQ(0, db->bootSize());
    EXPECT_STREQ("", db->setBtlHwVersion());
    EXPECT_EQ(1, dialogs.beeps);
    ASSERT_FALSE(owner.status.empty());
    EXPECT_EQ("Invalid Revpack:only48. No 2nd boot for HW version: B.49", owner.status.back().text);
    EXPECT_TRUE(owner.status.back().isError);
    EXPECT_EQ(1, owner.refreshes);
    EXPECT_EQ(std::vector<uint32_t>{2000}, rptest::sleeps());

    writePack(*db, "noboot", {appImage("a.bin", 5)});
    db->selectRpFile("noboot");
    EXPECT_FALSE(db->setBootData(nullptr));
    EXPECT_EQ("Error!! No 2nd stage boot loader in Revpack noboot.", owner.status.back().text);
    EXPECT_TRUE(owner.status.back().isError);
    EXPECT_EQ(3, dialogs.beeps);
}

TEST_F(BootChoiceTest, TooBigBootLoaderKeepsOnlyWhatFits)
{
    writePack(*db, "big", {bootLoader("BOOT_LOAD_B.bin", "00", 3000)});
    db->selectRpFile("big");
    EXPECT_FALSE(db->setBootData(nullptr));
    ASSERT_FALSE(dialogs.alerts.empty());
    EXPECT_EQ("BOOT_LOAD_B.bin too big", dialogs.alerts.back());
    EXPECT_EQ(RevPackDb::MAX_BOOT_SIZE, db->bootSize());
    EXPECT_EQ(0, std::memcmp(bootLoader("x", "00", 3000).data.data(), db->bootData(), RevPackDb::MAX_BOOT_SIZE));

    writePack(*db, "edge", {bootLoader("BOOT_LOAD_B.bin", "00", 2047)});
    db->selectRpFile("edge");
    EXPECT_TRUE(db->setBootData(nullptr));
    EXPECT_EQ(2047, db->bootSize());
}

TEST_F(BootChoiceTest, TraceAtDebugBit0x10)
{
    std::string out;
    BTrace::capture(&out);
    owner.level = 0x10;
    RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "", "B.49");
    db->selectRpFile("p");
    db->checkBtlHwVersion();
    BTrace::capture(nullptr);
    EXPECT_NE(std::string::npos, out.find("setBootData checking file: BOOT_LOAD_B.bin nr bins: 3"));
    EXPECT_NE(std::string::npos, out.find("boot file: BOOT_LOAD_B49.bin"));
    EXPECT_NE(std::string::npos, out.find("checkBtlHwVersion actHW=49 btlHw=49 result=1"));
}

TEST(RevPackDbBtl, CheckBtlHwVersionComparesSidesOf49)
{
    ScriptedDialogs dialogs;
    RevPackDb db(nullptr, "");
    // Without a chosen boot loader its tag reads as 0.
    for (const auto& c : std::vector<std::pair<const char*, bool>>{{"B.48", true}, {"B.49", false}, {"", true}}) {
        RevPackDb::setActHwSwVers("", "", "", c.first);
        EXPECT_EQ(c.second, db.checkBtlHwVersion()) << c.first;
    }
    RevPackDb::setActHwSwVers("", "", "", "");
}

// --- checksum ---

TEST_F(RevPackDbTest, ChecksumCoversContentFromRootSectionOnly)
{
    writePack(*db, "temp", {appImage("a.bin", 500), bootLoader("BOOT_LOAD_B.bin", "00")});
    const uint16_t sum = db->readCheckSum(packPath("temp").c_str());
    const std::string bytes = TempDir::read(packPath("temp"));
    uint16_t expect = 0;
    for (size_t i = bytes.find("[.]"); i < bytes.size(); ++i) expect = uint16_t(expect + int8_t(bytes[i]));
    EXPECT_EQ(expect, sum);

    char name[64];
    std::snprintf(name, sizeof name, "KV-4.12_EXTRA[%04x].rpa", sum);
    std::rename(packPath("temp").c_str(), (packs + "/" + name).c_str());
    EXPECT_TRUE(db->checkCheckSum(name, false));
    EXPECT_TRUE(db->checkCheckSum((packs + "/" + name).c_str(), true));

    // Another name, the same bracket: the header differs, the sum does not.
    std::snprintf(name, sizeof name, "Renamed-pack[%04X].rpa", sum);
    std::string renamed = bytes;
    const std::string app = "; application: temp";
    renamed.replace(renamed.find(app), app.size(), "; application: Renamed-pack");
    TempDir::write(packs + "/" + name, renamed);
    EXPECT_TRUE(db->checkCheckSum(name, false));
    EXPECT_TRUE(dialogs.alerts.empty());

    // One changed byte after "[.]" fails, with the computed sum in the alert.
    std::string changed = renamed;
    changed[changed.size() - 3] ^= 0x01;
    TempDir::write(packs + "/" + name, changed);
    EXPECT_FALSE(db->checkCheckSum(name, false));
    ASSERT_EQ(1u, dialogs.alerts.size());
    char calc[16];
    std::snprintf(calc, sizeof calc, "%x", db->readCheckSum((packs + "/" + name).c_str()));
    EXPECT_EQ(std::string("Invalid Checksum (calc=") + calc + ") in " + name + ". Upgrade NOT possible",
              dialogs.alerts[0]);
}

TEST_F(RevPackDbTest, ChecksumFailsWithoutMarkerBracketsOrFile)
{
    TempDir::write(packs + "/nomark[0000].rpa", "; no root section\n");
    EXPECT_EQ(0, db->readCheckSum((packs + "/nomark[0000].rpa").c_str()));
    EXPECT_FALSE(db->checkCheckSum("nomark[0000].rpa", false));  // a sum of 0 must not pass

    writePack(*db, "plain", {appImage("a.bin", 5)});
    EXPECT_FALSE(db->checkCheckSum("plain.rpa", false));
    std::rename(packPath("plain").c_str(), (packs + "/empty[].rpa").c_str());
    EXPECT_FALSE(db->checkCheckSum("empty[].rpa", false));

    EXPECT_EQ(0, db->readCheckSum((packs + "/gone.rpa").c_str()));
    EXPECT_FALSE(db->checkCheckSum("gone[0000].rpa", false));
    EXPECT_EQ(4u, dialogs.alerts.size());
}

TEST(RevPackDbHex, HexStrToNrReadsDigitsByPlace)
{
    RevPackDb::HexStrToNr h;
    EXPECT_EQ(255u, h.toNr("00ff"));
    EXPECT_EQ(255u, h.toNr("00FF"));
    EXPECT_EQ(255u, h.toNr("0x0ff"));  // the 'x' is a 0 in its place
    EXPECT_EQ(0xa1b2u, h.toNr("a1B2"));
    EXPECT_EQ(0u, h.toNr(""));
    EXPECT_EQ(0u, h.toNr(nullptr));
    EXPECT_EQ(0x12345678u, h.toNr("0012345678"));  // places past 8 wrap away
    EXPECT_EQ(0, RevPackDb::HexStrToNr::getpos('g'));
    EXPECT_EQ(1u, RevPackDb::HexStrToNr::pwr16(0));
}

// --- inspecting an image ---

TEST_F(RevPackDbTest, InspectsTypeHardwareAndVersionInImage)
{
    TestImage im = appImage("a.bin", 0);
    im.data = std::string("abcdKV1234-ED B.49KV12a4-ED") + "..B.49KV8888GM-ED-and-more" + std::string(20, '\0') +
              "VERSION: KV-4.12 EXTRAtail";
    writePack(*db, "p", {im});
    db->selectDb("p");
    db->setBinData("a.bin");
    const char* hw = nullptr;
    EXPECT_STREQ("KV8888GM-ED", db->getKorTypeFmBin(hw));
    EXPECT_STREQ("B.49", hw);
    const char* special = nullptr;
    EXPECT_STREQ("KV-4.12", db->getSwVersionFmBin(special));
    ASSERT_NE(nullptr, special);
    EXPECT_STREQ(" EXTRA", special);
}

TEST_F(RevPackDbTest, InspectionStaysInsideTheImage)
{
    TestImage im = appImage("a.bin", 0);
    im.data = "B.49KV8888G";  // type cut by the end of the image, no marker
    TestImage v = appImage("v.bin", 0);
    v.data = "VERSION: KV-4";
    writePack(*db, "p", {im, v});
    db->selectDb("p");
    db->setBinData("a.bin");
    const char* hw = nullptr;
    EXPECT_STREQ("KV8888G", db->getKorTypeFmBin(hw));
    const char* special = "x";
    EXPECT_STREQ("", db->getSwVersionFmBin(special));
    EXPECT_EQ(nullptr, special);

    db->setBinData("v.bin");
    EXPECT_STREQ("", db->getKorTypeFmBin(hw));
    EXPECT_STREQ("", hw);
    EXPECT_STREQ("KV-4", db->getSwVersionFmBin(special));
    EXPECT_STREQ("", special);
}

// --- entry operations ---

TEST_F(RevPackDbTest, EntryOperationsOnTheOpenPack)
{
    db->selectDb("e");
    EXPECT_FALSE(db->entryExist("g", "k"));
    EXPECT_FALSE(db->grpExist("g"));
    EXPECT_TRUE(db->setEntry("g", "k", std::string(100, 'a').c_str()));
    EXPECT_TRUE(db->setEntry("g", "n", 42));
    EXPECT_TRUE(db->entryExist("g", "k"));
    EXPECT_EQ(2, db->nrEntries("g"));
    EXPECT_STREQ("n", db->getEntry("g", 1));
    EXPECT_STREQ("", db->getEntry("g", 2));
    EXPECT_STREQ("", db->getEntry("g", -1));

    char text[RevPackDb::MAX_TXT_LEN + 8];
    std::memset(text, '#', sizeof text);
    db->getEntry("g", "k", text);
    EXPECT_EQ(std::string(79, 'a'), text);
    EXPECT_EQ('#', text[RevPackDb::MAX_TXT_LEN]);
    EXPECT_FALSE(db->getEntry("g", "missing", text));
    EXPECT_STREQ("none", text);
    int n = 7;
    EXPECT_FALSE(db->getEntry("g", "missing", n));
    EXPECT_EQ(0, n);
    char data[6];
    std::memset(data, 'z', sizeof data);
    db->getEntry("g", "missing", data, 6);
    EXPECT_EQ(std::string(6, '\0'), std::string(data, 6));

    // Deleting keeps the others in order, with their values as stored.
    db->setEntry("g", "t", "two\nlines");
    EXPECT_TRUE(db->delEntry("g", "n"));
    EXPECT_FALSE(db->delEntry("g", "n"));
    ASSERT_EQ(2, db->nrEntries("g"));
    EXPECT_STREQ("k", db->getEntry("g", 0));
    EXPECT_STREQ("t", db->getEntry("g", 1));
    db->getEntry("g", "t", text);
    EXPECT_STREQ("two\nlines", text);

    db->setEntry(RevPackDb::BINLIST, "img.bin", "img.bin");
    db->setEntry("img.bin", "size", 1);
    EXPECT_TRUE(db->remGrp("img.bin"));
    EXPECT_FALSE(db->grpExist("img.bin"));
    EXPECT_EQ(0, db->nrEntries(RevPackDb::BINLIST));
    EXPECT_FALSE(db->remGrp(RevPackDb::GENERAL));  // its handle stays usable
    EXPECT_EQ(packs + "/e/", db->dbPath());
    EXPECT_TRUE(db->flush());

    RevPackDb other(nullptr, packs.c_str());
    other.selectDb("e");
    EXPECT_TRUE(other.entryExist("g", "k"));
    EXPECT_FALSE(other.grpExist("img.bin"));
}

TEST_F(RevPackDbTest, NamesThatWouldBreakTheFileAreRefused)
{
    db->selectDb("names");
    EXPECT_FALSE(db->setEntry(std::string(101, 'g').c_str(), "k", 1));
    EXPECT_FALSE(db->setEntry("a/b", "k", 1));
    EXPECT_FALSE(db->setEntry("g]", "k", 1));
    EXPECT_FALSE(db->setEntry("g", "a:b", 1));
    EXPECT_FALSE(db->setEntry("g", "[x", 1));
    EXPECT_FALSE(db->setEntry("g", "+x", 1));
    EXPECT_FALSE(db->setEntry("g", "line\nbreak", 1));
    EXPECT_FALSE(db->setEntry(nullptr, "k", 1));
    EXPECT_FALSE(db->setEntry("g", "k", "abc", -1));
    int n = 5;
    EXPECT_FALSE(db->getEntry(std::string(300, 'g').c_str(), "k", n));
    EXPECT_TRUE(db->setEntry(std::string(100, 'g').c_str(), "k", 1));
    db->clearDb();
    EXPECT_FALSE(db->setEntry("g", "k", 1));  // no pack open
}

TEST_F(RevPackDbTest, UnitIdentityIsCutToFifteenCharacters)
{
    RevPackDb::setActHwSwVers("KV8888GM-ED-TOO-LONG", nullptr, " EXTRA", "B.49");
    EXPECT_STREQ("KV8888GM-ED-TOO", RevPackDb::actKorType());
    EXPECT_STREQ("", RevPackDb::actSwVersion());
    EXPECT_STREQ(" EXTRA", RevPackDb::actSpecial());
    EXPECT_STREQ("B.49", RevPackDb::actHwVersion());
}

TEST_F(RevPackDbTest, PrintDataTracesListsAndIdentity)
{
    writePack(*db, "p", {appImage("a.bin", 5), bootLoader("BOOT_LOAD_B.bin", "00")});
    TempDir::write(packs + "/q.rpa", "x");
    db->setRpaFiles();
    RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "", "B.48");
    db->selectRpFile("p.rpa");
    db->setBinData("a.bin");
    std::string out;
    BTrace::capture(&out);
    db->printData();
    BTrace::capture(nullptr);
    for (const char* s : {"p.rpa", "q.rpa", "a.bin", "BOOT_LOAD_B.bin", "KV8888GM-ED", "B.48"})
        EXPECT_NE(std::string::npos, out.find(s)) << s;
}

}  // namespace
