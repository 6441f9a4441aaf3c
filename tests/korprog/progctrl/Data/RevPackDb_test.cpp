#include "korprog/progctrl/Data/RevPackDb.h"

#include <FL/Fl_Preferences.H>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "RevPackDbTestKit.h"
#include "DataTest.h"

namespace {

std::vector<uint32_t> sleeps;
using std::filesystem::exists;

// The database is made before its directory exists: listing a missing
// directory must not fail.
class RevPackDbTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        if (HasFatalFailure()) return;
        std::filesystem::create_directory(packs);
        sleeps.clear();
        setUnit("B.49");
        db->sleepFunc([](uint32_t ms) { sleeps.push_back(ms); });
    }
    void TearDown() override
    {
        RevPackDb::setActHwSwVers("", "", "", "");
        RevPackDb::activeAdnFileReset();
        DataTest::TearDown();
    }
    static void setUnit(const char* hw) { RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "", hw); }
    std::string packPath(const std::string& name) const { return packs + "/" + name + ".rpa"; }

    RecordingOwner owner;
    const std::string packs = dir.path() + "/RevPacks";
    std::unique_ptr<RevPackDb> db{new RevPackDb(&owner, packs.c_str())};  // large: kept off the stack
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
    const std::string ref = dir.path() + "/ref";
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
    std::filesystem::create_directory(packs + "/dir.rpa");
    db->setRpaFiles();
    ASSERT_EQ(3, db->nrRpaFiles());
    const char* order[] = {"KV-4.9.rpa", "KV-4.10.rpa", "KV-4.100.RPA", ""};
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(order[i], db->rpaFile(i));
    EXPECT_FALSE(exists(packs + "/.rpa"));
    for (int i = 0; i < 60; ++i) TempDir::write(packs + "/p" + std::to_string(i) + ".rpa", "x");
    db->setRpaFiles();
    EXPECT_EQ(RevPackDb::MAX_NR_FILES, db->nrRpaFiles());
}

TEST_F(RevPackDbTest, SelectReadsListsOfNewAndOldPacks)
{
    writePack(*db, "new", {testImage("b.bin", 10), testImage("BOOT_LOAD_B49.bin", 10, "49"), testImage("a.bin", 10)});
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
    ASSERT_EQ(1, db->actNrBinFiles());
    EXPECT_STREQ("x.bin", db->actBinFile(0));

    std::vector<TestImage> images;  // lists stop at 50 images and 4 boot loaders
    for (int i = 0; i < 6; ++i) images.push_back(testImage("BOOT_LOAD_" + std::to_string(i), 4, "00"));
    for (int i = 0; i < 50; ++i) images.push_back(testImage("i" + std::to_string(i), 1));
    writePack(*db, "big", images);
    db->selectRpFile("big");
    EXPECT_EQ(RevPackDb::MAX_NR_FILES, db->actNrBinFiles());
    EXPECT_EQ(RevPackDb::MAX_BOOTFILES, db->nrBootFiles());
}

TEST_F(RevPackDbTest, SetBinDataRefusesOversizedBlocksAndWritesSettingsWithCrCrCollapsed)
{
    TestImage im = testImage("a.bin", 3000), adn = testImage("adn.bin", 4);
    im.adnFile = "a.adn";
    im.adnData = "1;x;\r\r\n2;y;\r\n\r\r\r\nend";
    adn.adnFile = "adn.adn";
    adn.adnData = "1234";
    writePack(*db, "p", {im, testImage("plain.bin", 5), adn, testImage("big.bin", 300), testImage("neg.bin", 0)});
    db->selectDb("p");
    db->setEntry("big.bin", "size", 200000);
    db->setEntry("adn.bin", "adnsize", 102401);
    db->setEntry("neg.bin", "size", -5);
    db->clearDb();
    db->selectRpFile("p");
    db->autoProgAdnFile(true);
    // A block claiming more than its buffer holds is refused, not read.
    // Neither the image nor one whose settings are missing may be upgraded.
    EXPECT_STREQ("", db->setBinData("big.bin"));
    EXPECT_EQ(0, db->binSize());
    EXPECT_EQ(0xFF, db->binData()[0]);
    EXPECT_FALSE(db->binFileSelected());
    EXPECT_STREQ("", db->setBinData("adn.bin"));
    EXPECT_EQ(4, db->binSize());
    EXPECT_EQ(0, db->adnSize());
    EXPECT_FALSE(exists("adn_pre_update.adn"));
    EXPECT_FALSE(db->binFileSelected());
    EXPECT_EQ((std::vector<std::string>{"big.bin too big", "adn.adn too big"}), dialogs.alerts);
    db->setBinData("neg.bin");
    EXPECT_EQ(0, db->binSize());
    EXPECT_FALSE(db->binFileSelected());

    // Settings that cannot be written out: the save alert, and no upgrade.
    std::filesystem::create_directory("adn_pre_update.adn");
    dialogs.alerts.clear();
    EXPECT_STREQ("", db->setBinData("a.bin"));
    EXPECT_FALSE(db->binFileSelected());
    EXPECT_EQ(std::vector<std::string>{"Fout!! Bestand \"adn_pre_update.adn\" kan niet opgeslagen worden.\n"},
              dialogs.alerts);
    std::filesystem::remove("adn_pre_update.adn");

    EXPECT_STREQ("adn_pre_update.adn", db->setBinData("a.bin"));
    EXPECT_TRUE(db->binFileSelected());
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

TEST_F(RevPackDbTest, ProcessorVersionChoosesBootLoaderAndMissingOnesAreReported)
{
    writePack(*db, "p", {testImage("BOOT_LOAD_B", 100, "00"), testImage("BOOT_LOAD_B49", 200, "49"),
                         testImage("BOOT_LOAD_C", 300, "00")});
    db->selectRpFile("p");
    EXPECT_EQ(200, db->bootSize());
    EXPECT_TRUE(db->checkBtlHwVersion());
    EXPECT_EQ("Correct Revpack:p. With 2nd boot for HW version: B.49", owner.status.back());
    for (const char* hw : {"B.48", ""}) {  // the first boot loader that is not 49
        setUnit(hw);
        EXPECT_TRUE(db->setBootData(nullptr)) << hw;
        EXPECT_STREQ("00", db->setBtlHwVersion()) << hw;
        ASSERT_EQ(100, db->bootSize()) << hw;
        EXPECT_EQ(0, std::memcmp(testImage("", 100, "00").data.data(), db->bootData(), 100));
    }
    EXPECT_TRUE(db->setBootData("49"));  // the given version wins over the unit's
    EXPECT_EQ(200, db->bootSize());
    EXPECT_FALSE(db->checkBtlHwVersion());  // a unit below 49 with the 49 boot loader
    EXPECT_TRUE(sleeps.empty());

    setUnit("B.49");
    writePack(*db, "only48", {testImage("BOOT_LOAD_B", 100, "00")});
    db->selectRpFile("only48");
    EXPECT_EQ(0, db->bootSize());
    EXPECT_EQ("E:Invalid Revpack:only48. No 2nd boot for HW version: B.49", owner.status.back());
    EXPECT_EQ(1, owner.refreshes);
    EXPECT_EQ(std::vector<uint32_t>{2000}, sleeps);  // through the seam, never a real pause

    writePack(*db, "none", {testImage("a.bin", 5)});
    db->selectRpFile("none");
    EXPECT_EQ("E:Error!! No 2nd stage boot loader in Revpack none.", owner.status.back());
    EXPECT_EQ(2, dialogs.beeps);

    setUnit("B.48");
    writePack(*db, "big", {testImage("BOOT_LOAD_B", 3000, "00")});
    db->selectRpFile("big");
    EXPECT_EQ(std::vector<std::string>{"BOOT_LOAD_B too big"}, dialogs.alerts);
    EXPECT_EQ(RevPackDb::MAX_BOOT_SIZE, db->bootSize());  // what the buffer holds, no more
}

// A unit waiting in its boot loader has told no hardware yet. A pack made
// from one BOOT_LOAD_...49.bin gives it that loader, without an error or a
// pause; the boot record confirms or corrects the choice later.
TEST_F(RevPackDbTest, UnitOfUnknownHardwareGetsThePacksLoaderWithoutComplaint)
{
    setUnit("");
    writePack(*db, "only49", {testImage("BOOT_LOAD_B49", 200, "49"), testImage("a.bin", 50)});
    db->selectRpFile("only49");
    EXPECT_EQ(200, db->bootSize());
    EXPECT_STREQ("49", db->setBtlHwVersion());
    EXPECT_TRUE(sleeps.empty());
    EXPECT_TRUE(owner.status.empty()) << owner.status.back();
    EXPECT_EQ(0, dialogs.beeps);

    setUnit("B.48");  // the boot record: no loader for it
    EXPECT_FALSE(db->checkBtlHwVersion());
    EXPECT_FALSE(db->setBootData("48"));
    EXPECT_EQ(0, db->bootSize());
    EXPECT_EQ("E:Invalid Revpack:only49. No 2nd boot for HW version: B.48", owner.status.back());
}

TEST_F(RevPackDbTest, ChecksumSurvivesRenameAndCatchesChangedByte)
{
    TempDir::write("sum", "head\xff[.]\xff");
    EXPECT_EQ('[' + '.' + ']' - 1, db->readCheckSum("sum"));  // from "[.]" on, bytes signed

    // Another name and header, the same bracket: it still verifies.
    writePack(*db, "temp", {testImage("a.bin", 500), testImage("BOOT_LOAD_B", 1536, "00")});
    const uint16_t sum = db->readCheckSum(packPath("temp").c_str());
    std::string bytes = TempDir::read(packPath("temp"));
    char name[64];
    std::snprintf(name, sizeof name, "Renamed-pack[%04X].rpa", sum);
    bytes.replace(bytes.find("temp"), 4, "Renamed-pack");
    TempDir::write(packs + "/" + name, bytes);
    EXPECT_TRUE(db->checkCheckSum(name, false));
    EXPECT_TRUE(db->checkCheckSum((packs + "/" + name).c_str(), true));
    EXPECT_TRUE(dialogs.alerts.empty());

    bytes[bytes.size() - 3] ^= 0x01;
    TempDir::write(packs + "/" + name, bytes);
    EXPECT_FALSE(db->checkCheckSum(name, false));
    char alert[128];
    const unsigned calc = db->readCheckSum((packs + "/" + name).c_str());
    std::snprintf(alert, sizeof alert, "Invalid Checksum (calc=%x) in %s. Upgrade NOT possible", calc, name);
    EXPECT_EQ(std::vector<std::string>{alert}, dialogs.alerts);

    // No "[.]" marker (a sum of 0 must not pass), no bracket, an empty one, no file.
    TempDir::write(packs + "/nomark[0000].rpa", "; no root section\n");
    EXPECT_EQ(0, db->readCheckSum((packs + "/nomark[0000].rpa").c_str()));
    EXPECT_FALSE(db->checkCheckSum("temp.rpa", false));
    std::rename(packPath("temp").c_str(), (packs + "/empty[].rpa").c_str());
    for (const char* f : {"nomark[0000].rpa", "empty[].rpa", "gone[0000].rpa"})
        EXPECT_FALSE(db->checkCheckSum(f, false)) << f;
    EXPECT_EQ(5u, dialogs.alerts.size());
}

TEST(RevPackDbHex, HexStrToNrReadsDigitsByPlace)
{
    RevPackDb::HexStrToNr h;
    for (const char* s : {"00ff", "00FF", "0x0ff"}) EXPECT_EQ(255u, h.toNr(s)) << s;  // 'x' is a 0 in its place
    EXPECT_EQ(0u, h.toNr(nullptr));
    EXPECT_EQ(0x12345678u, h.toNr("0012345678"));  // places past 8 wrap away
}

TEST_F(RevPackDbTest, InspectionFindsMarkersAndStaysInsideTheImage)
{
    TestImage im = testImage("a.bin", 0), cut = testImage("cut.bin", 0), pad = testImage("pad.bin", 0);
    im.data = "abcdKV1234 B.49KV12a4..B.49KV8888GM-ED-more" + std::string(9, '\0') + "VERSION: KV-4.12 EXTRAtail";
    cut.data = "VERSION: KV-4 B.49KV8888G";
    // Texts end at the first byte that is not printable ASCII.
    pad.data = "\x01" "B.49KV8888GM\xff-ED VERSION: KV-4.13     \xff\xff\xff VERSION: X";
    writePack(*db, "p", {im, cut, pad});
    db->selectDb("p");
    const char *hw = nullptr, *special = nullptr;
    db->setBinData("a.bin");
    EXPECT_STREQ("KV8888GM-ED", db->getKorTypeFmBin(hw));
    EXPECT_STREQ("B.49", hw);
    EXPECT_STREQ("KV-4.12", db->getSwVersionFmBin(special));
    EXPECT_STREQ(" EXTRA", special);
    db->setBinData("cut.bin");
    EXPECT_STREQ("KV8888G", db->getKorTypeFmBin(hw));
    EXPECT_STREQ("KV-4 B.", db->getSwVersionFmBin(special));
    EXPECT_STREQ("49KV88", special);
    db->setBinData("pad.bin");
    EXPECT_STREQ("KV8888GM", db->getKorTypeFmBin(hw));
    EXPECT_STREQ("B.49", hw);
    EXPECT_STREQ("KV-4.13", db->getSwVersionFmBin(special));
    EXPECT_STREQ("     ", special);
}

TEST_F(RevPackDbTest, EntryOperationsOnTheOpenPack)
{
    db->selectDb("e");
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

namespace {

// "size" counts the bytes of "data": an image, settings file or boot loader
// whose data is not exactly that many hex-coded bytes is refused before
// anything of it is used.
TEST_F(RevPackDbTest, BlocksWhoseDataDisagreesWithTheirSizeAreRefused)
{
    TestImage good = testImage("good.bin", 3000), adn = testImage("adn.bin", 10);
    good.adnFile = adn.adnFile = "s.adn";
    good.adnData = adn.adnData = "1;a;\r\n";
    writePack(*db, "p", {good, testImage("empty.bin", 3000), testImage("hex.bin", 3000), testImage("short.bin", 3000),
                         adn, testImage("BOOT_LOAD_B", 100, "00"), testImage("BOOT_LOAD_B49", 100, "49")});
    db->selectDb("p");
    db->setEntry("empty.bin", "data", "", 0);                    // size 3000, no data
    db->setEntry("hex.bin", "data", std::string(6000, 'g').c_str());  // as many digits, but not hex
    db->setEntry("short.bin", "size", RevPackDb::MAX_BINFILE_SIZE);  // 3000 bytes of data
    db->setEntry("adn.bin", "adnsize", 7);
    db->setEntry("BOOT_LOAD_B49", "size", 99);
    db->clearDb();

    db->selectRpFile("p");  // the B.49 unit's loader is the damaged one
    EXPECT_EQ(0, db->bootSize());
    EXPECT_EQ("E:Invalid Revpack: image BOOT_LOAD_B49 is damaged", owner.status.back());
    EXPECT_EQ("Invalid Revpack: image BOOT_LOAD_B49 is damaged", db->damage("good.bin"));
    setUnit("B.48");
    EXPECT_TRUE(db->setBootData(nullptr));
    EXPECT_EQ(100, db->bootSize());

    db->autoProgAdnFile(false);  // refused even when its settings are not to be programmed
    for (const char* name : {"empty.bin", "hex.bin", "short.bin", "adn.bin"}) {
        dialogs.alerts.clear();
        EXPECT_STREQ("", db->setBinData(name)) << name;
        EXPECT_EQ(0, db->binSize()) << name;
        EXPECT_FALSE(db->binFileSelected()) << name;
        const std::string damaged = std::string("Invalid Revpack: image ") + name + " is damaged";
        EXPECT_EQ(std::vector<std::string>{damaged}, dialogs.alerts);
        EXPECT_NE("", db->damage(name)) << name;
    }
    dialogs.alerts.clear();
    db->autoProgAdnFile(true);
    EXPECT_STREQ("adn_pre_update.adn", db->setBinData("good.bin"));
    EXPECT_TRUE(db->binFileSelected());
    EXPECT_EQ(good.data, std::string(reinterpret_cast<const char*>(db->binData()), db->binSize()));
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(RevPackDbTest, UnreadablePackIsToldWithItsReasonNotAsAFailedChecksum)
{
    // Reading the start of a process's memory fails, also for root.
    std::filesystem::create_symlink("/proc/self/mem", packs + "/mem[0000].rpa");
    std::filesystem::create_directory(packs + "/dir[0000].rpa");
    const std::pair<const char*, const char*> cases[] = {{"mem[0000].rpa", "Input/output error"},
                                                         {"dir[0000].rpa", "Is a directory"},
                                                         {"gone[0000].rpa", "No such file or directory"}};
    for (const auto& c : cases) {
        dialogs.alerts.clear();
        EXPECT_FALSE(db->checkCheckSum(c.first, false));
        const std::string why = "Cannot read " + packs + "/" + c.first + ": " + c.second;
        EXPECT_EQ(why, db->readError());
        EXPECT_EQ(std::vector<std::string>{why}, dialogs.alerts);
    }
    // A pack that is read but does not add up is a failed checksum.
    writePack(*db, "p", {testImage("a.bin", 5)});
    std::rename(packPath("p").c_str(), (packs + "/p[0000].rpa").c_str());
    EXPECT_FALSE(db->checkCheckSum("p[0000].rpa", false));
    EXPECT_EQ("", db->readError());
}

// The list accepts ".RPA" as well: such a pack is opened under that name.
TEST_F(RevPackDbTest, PackListedWithUpperCaseExtensionOpensUnderThatName)
{
    writePack(*db, "up", {testImage("a.bin", 40), testImage("BOOT_LOAD_B49", 10, "49")});
    std::rename(packPath("up").c_str(), (packs + "/UP[1234].RPA").c_str());
    db->setRpaFiles();
    ASSERT_STREQ("UP[1234].RPA", db->rpaFile(0));
    db->selectRpFile(db->rpaFile(0));
    EXPECT_EQ(2, db->actNrBinFiles());
    EXPECT_EQ(10, db->bootSize());
    db->setBinData("a.bin");
    EXPECT_EQ(40, db->binSize());
    db->clearDb();
    EXPECT_FALSE(exists(packs + "/UP[1234].rpa"));
}

TEST_F(RevPackDbTest, LeftoversOfAKilledPackCreationGoAtTheFirstListingAndAreNeverListed)
{
    // Besides: the copy of a pack into the directory, killed before its rename.
    for (const char* n : {"temp.rpa", "temp.rpa.Ab12Cd", "KV-4.12[abcd].rpa", "template.rpa", "KV-4.13[0e0f].RPA.x1Y2z3",
                          "notes.txt.x1Y2z3"})
        TempDir::write(packs + "/" + n, "x");
    std::unique_ptr<RevPackDb> fresh(new RevPackDb(&owner, packs.c_str()));
    EXPECT_FALSE(exists(packs + "/temp.rpa"));
    EXPECT_FALSE(exists(packs + "/temp.rpa.Ab12Cd"));
    EXPECT_FALSE(exists(packs + "/KV-4.13[0e0f].RPA.x1Y2z3"));
    EXPECT_TRUE(exists(packs + "/notes.txt.x1Y2z3")) << "only what pack copies leave";
    ASSERT_EQ(2, fresh->nrRpaFiles());
    EXPECT_STREQ("KV-4.12[abcd].rpa", fresh->rpaFile(0));
    EXPECT_STREQ("template.rpa", fresh->rpaFile(1));

    // The work pack of a creation under way stays, unlisted.
    TempDir::write(packs + "/temp.rpa", "x");
    fresh->setRpaFiles();
    EXPECT_EQ(2, fresh->nrRpaFiles());
    EXPECT_TRUE(exists(packs + "/temp.rpa"));
}

TEST_F(RevPackDbTest, BootLoaderMatchesTheUnitsProcessorWhateverTheOrder)
{
    writePack(*db, "p", {testImage("BOOT_LOAD_B49", 200, "49"), testImage("BOOT_LOAD_B", 100, "00")});
    setUnit("B.48");  // the "49" loader is listed first
    db->selectRpFile("p");
    EXPECT_STREQ("00", db->setBtlHwVersion());
    EXPECT_EQ(100, db->bootSize());
    EXPECT_TRUE(db->checkBtlHwVersion());

    // A unit of processor 49 given the "00" loader: it does not fit.
    setUnit("B.49");
    ASSERT_TRUE(db->setBootData("48"));
    EXPECT_STREQ("00", db->setBtlHwVersion());
    EXPECT_FALSE(db->checkBtlHwVersion());
    ASSERT_TRUE(db->setBootData(nullptr));
    EXPECT_TRUE(db->checkBtlHwVersion());
}

// A value longer than an image of 102400 bytes, hex-coded, is refused
// before it is read; the largest legal image reads back whole.
TEST_F(RevPackDbTest, LargestImageReadsBackAndALongerValueIsRefused)
{
    writePack(*db, "max", {testImage("a.bin", RevPackDb::MAX_BINFILE_SIZE), testImage("BOOT_LOAD_B49", 10, "49")});
    db->selectRpFile("max");
    db->setBinData("a.bin");
    ASSERT_EQ(RevPackDb::MAX_BINFILE_SIZE, db->binSize());
    EXPECT_EQ(testImage("", RevPackDb::MAX_BINFILE_SIZE).data,
              std::string(reinterpret_cast<const char*>(db->binData()), db->binSize()));
    db->clearDb();

    std::string bytes = TempDir::read(packPath("max"));
    const size_t data = bytes.find("\ndata:") + 1;
    bytes.insert(bytes.find("\n", bytes.find("\n+", data) + 1) + 1, "+00\n");  // one byte more than the largest
    TempDir::write(packPath("long"), bytes);
    db->selectRpFile("long");
    EXPECT_EQ(0, db->actNrBinFiles());
}

}  // namespace
