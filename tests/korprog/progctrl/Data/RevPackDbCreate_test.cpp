#include <FL/Fl_Preferences.H>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RevPackDbTestKit.h"
#include "DataTest.h"
#include "korprog/progctrl/Data/RevPackDb.h"

namespace {

namespace fs = std::filesystem;

// Bytes without markers of their own: a rising run never spells "KV".
std::string filler(size_t size)
{
    std::string s;
    for (size_t i = 0; i < size; ++i) s += static_cast<char>(32 + i % 90);
    return s;
}

// An application image: hardware and type near its head, the version
// marker behind the start address (0x100 for processor 49, else 0x3000).
std::string appImage(size_t size, const std::string& hwType, const std::string& versionSpecial)
{
    std::string s = filler(size);
    s.replace(16, hwType.size(), hwType);
    const size_t start = hwType.compare(2, 2, "49") == 0 ? 0x100 : 0x3000;
    const std::string marker = "VERSION: " + versionSpecial + '\0';
    if (start + 32 + marker.size() <= size) s.replace(start + 32, marker.size(), marker);
    return s;
}

class RevPackDbCreateTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        fs::create_directory(bins);
        owner.typeNames = {{"KV8888GM-ED", "Alarmbox"}, {"KV4400WS-BX", "KV4400WS-BX"}};
        RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.10", "", "B.49");
    }
    void TearDown() override
    {
        RevPackDb::setActHwSwVers("", "", "", "");
        RevPackDb::activeAdnFileReset();
        DataTest::TearDown();
    }
    void bin(const std::string& name, const std::string& bytes) { TempDir::write(bins + "/" + name, bytes); }
    // Every file of the pack directory.
    std::vector<std::string> packFiles() const
    {
        std::vector<std::string> out;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(packs, ec)) out.push_back(e.path().filename().string());
        return out;
    }
    std::string readPack(const std::string& name) const { return TempDir::read(packs + "/" + name); }

    RecordingOwner owner;
    const std::string bins = dir.path() + "/bins";
    const std::string packs = dir.path() + "/packs";
    std::unique_ptr<RevPackDb> db{new RevPackDb(&owner, packs.c_str())};
};

TEST_F(RevPackDbCreateTest, PackFromADirectoryReadsBackThroughTheDatabaseAndFltk)
{
    const std::string gsm = appImage(0x100 + 3000, "B.49KV8888GM-ED", "KV-4.12 EXTRA");
    const std::string gprs = appImage(0x3000 + 500, "B.48KV4400WS-BX", "KV-4.12     ");
    const std::string boot = filler(2000), adn = "1;a;\r\n2;b;\r\n";
    bin("KV8888GM-ED_4.12.BIN", gsm);
    bin("kv8888gm-ed_4.12.adn", adn);  // found through the lower-case name
    bin("KV4400WS-BX_4.12.bin", gprs);
    bin("BOOT_LOAD_B49.bin", boot);
    bin("notes.txt", "not an image");
    fs::create_directories(packs);
    TempDir::write(packs + "/temp.rpa", "left over");

    ASSERT_TRUE(db->createDb("bins")) << db->createFailure().reason;
    const std::string pack = db->createdPack();
    EXPECT_EQ(0u, pack.find("KV-4.12_EXTRA[")) << pack;  // one version, no blank special
    EXPECT_EQ(std::vector<std::string>{pack}, packFiles());
    EXPECT_TRUE(db->checkCheckSum(pack.c_str(), false));
    EXPECT_TRUE(dialogs.alerts.empty());

    db->selectRpFile(pack.c_str());
    ASSERT_EQ(1536, db->bootSize());
    EXPECT_EQ(boot.substr(0, 1536), std::string(db->bootData(), 1536));
    EXPECT_STREQ("49", db->setBtlHwVersion());
    db->autoProgAdnFile(true);
    EXPECT_STREQ("adn_pre_update.adn", db->setBinData("Alarmbox_4.12.BIN"));
    EXPECT_EQ(gsm.substr(0x100), std::string(reinterpret_cast<const char*>(db->binData()), db->binSize()));
    EXPECT_EQ(adn, TempDir::read("adn_pre_update.adn"));
    db->setBinData("KV4400WS-BX_4.12.bin");
    EXPECT_EQ(gprs.substr(0x3000), std::string(reinterpret_cast<const char*>(db->binData()), db->binSize()));
    db->clearDb();

    // FLTK's own reader sees every group and entry; byte blocks were
    // compared above, through the database.
    fs::copy_file(packs + "/" + pack, "p.prefs");
    Fl_Preferences p(".", "RevPacks", "p");
    auto group = [&](const char* name) {
        Fl_Preferences g(p, name);
        std::string out;
        for (int i = 0; i < g.entries(); ++i) {
            char value[64];
            g.get(g.entry(i), value, "", sizeof value);
            const bool bytes = std::strstr(g.entry(i), "data") != nullptr;
            out += std::string(g.entry(i)) + (bytes ? "" : std::string("=") + value) + ";";
        }
        return out;
    };
    EXPECT_EQ("version=3;", group("General"));
    EXPECT_EQ("KV4400WS-BX=KV4400WS-BX;KV8888GM-ED=KV8888GM-ED;", group("KorvanTypeList_2"));
    EXPECT_EQ("BOOT_LOAD_B49.bin=BOOT_LOAD_B49.bin;KV4400WS-BX_4.12.bin=KV4400WS-BX_4.12.bin;"
              "Alarmbox_4.12.BIN=Alarmbox_4.12.BIN;",
              group("BinFileList_2"));
    EXPECT_EQ("1=4.**;B.**;2=4.**;D.**;3=4.**;C.**;4=5.**;F.**;5=5.**;G.**;6=6.**;H.**;7=KV---------;KV---------;",
              group("HwSwRestrictionList"));
    EXPECT_EQ("size=3000;type=KV8888GM-ED;version=KV-4.12;hardware=B.49;special= EXTRA;data;"
              "adnfile=kv8888gm-ed_4.12.adn;adnsize=12;adndata;",
              group("Alarmbox_4.12.BIN"));
    EXPECT_EQ("size=500;type=KV4400WS-BX;version=KV-4.12;hardware=B.48;special=     ;data;", group("KV4400WS-BX_4.12.bin"));
    EXPECT_EQ("size=1536;hardware=49;data;", group("BOOT_LOAD_B49.bin"));

    // The same directory gives the same pack, byte for byte; the pack open
    // before stays usable.
    const std::string first = readPack(pack);
    db->selectRpFile(pack.c_str());
    ASSERT_TRUE(db->createDb("bins"));
    db->setBinData("Alarmbox_4.12.BIN");
    EXPECT_EQ(3000, db->binSize());
    EXPECT_EQ(pack, db->createdPack());
    EXPECT_EQ(std::vector<std::string>{pack}, packFiles());
    EXPECT_EQ(first, readPack(pack));
}

TEST_F(RevPackDbCreateTest, BootLoadersAreTaggedByProcessorAndOnlyFourKept)
{
    bin("KV8888GM-ED_4.20.bin", appImage(0x100 + 100, "C.49KV8888GM-ED", "KV-4.20     "));
    for (const char* name : {"BOOT_LOAD_B.bin", "BOOT_LOAD_C49.bin", "BOOT_LOAD_D.bin", "BOOT_LOAD_E.bin", "BOOT_LOAD_F.bin"})
        bin(name, filler(600));
    ASSERT_TRUE(db->createDb(bins.c_str())) << db->createFailure().reason;
    db->selectRpFile(db->createdPack().c_str());
    EXPECT_EQ(5, db->actNrBinFiles());
    EXPECT_FALSE(db->grpExist("BOOT_LOAD_F.bin"));  // the fifth is left out
    // The B.49 unit gets C49, stored at full length behind its 600 bytes.
    EXPECT_STREQ("49", db->setBtlHwVersion());
    EXPECT_EQ(filler(600) + std::string(1536 - 600, '\0'), std::string(db->bootData(), db->bootSize()));
    char hw[RevPackDb::MAX_TXT_LEN];
    db->getEntry("BOOT_LOAD_B.bin", RevPackDb::BIN_HWVERS, hw);
    EXPECT_STREQ("00", hw);

    const char* const tags[][2] = {{"BOOT_LOAD_B49.bin", "49"}, {"BOOT_LOAD_C48.bin", "00"}, {"BOOT_LOAD", "00"},
                                   {"x_BOOT_LOAD_X50", "49"},   {"image.bin", "00"},       {"BOOT_LOAD_B99999999999999.bin", "49"}};
    for (const auto& t : tags) EXPECT_STREQ(t[1], RevPackDb::getHwFmBootName(t[0])) << t[0];
}

TEST_F(RevPackDbCreateTest, RestrictionsFileGivesTheTableAndAnEmptyOneTheDefault)
{
    bin("KV8888GM-ED_4.12.bin", appImage(0x100 + 100, "B.49KV8888GM-ED", "KV-4.12     "));
    fs::create_directory("RevPacks");
    const std::string header = "; FLTK preferences file format 1.0\r\n; vendor: RevPacks\n; application: SwHwRestrictions\n";
    auto restrictions = [&](const std::string& file) {
        TempDir::write("RevPacks/SwHwRestrictions.txt", header + file);
        EXPECT_TRUE(db->createDb(bins.c_str())) << db->createFailure().reason;
        db->selectDb(db->createdPack().c_str());
        std::vector<std::string> rows;
        for (int i = 0; i < db->nrEntries(RevPackDb::HWSWLIST); ++i) {
            char value[RevPackDb::MAX_TXT_LEN];
            const std::string key = db->getEntry(RevPackDb::HWSWLIST, i);
            db->getEntry(RevPackDb::HWSWLIST, key.c_str(), value);
            rows.push_back(key + "=" + value);
        }
        db->clearDb();
        return rows;
    };
    const std::vector<std::string> dflt = restrictions("\n[./SwHwRestrictions]\n");
    ASSERT_EQ(7u, dflt.size());
    EXPECT_EQ("7=KV---------;KV---------", dflt.back());
    const std::vector<std::string> own = {"1=4.1*;B.49", "2=KV----P----;KV----G----"};
    EXPECT_EQ(own, restrictions("\n[./SwHwRestrictions]\n; edited by hand\r\n1:4.1*;B.49\r\n;2:5.**;F.**\n2:KV----P----;KV----G----\n"));
    EXPECT_NE(std::string::npos, TempDir::read("RevPacks/SwHwRestrictions.rst").find("2:KV----P----;KV----G----"));
    EXPECT_TRUE(dialogs.alerts.empty());
}

// The pack is named by its versions and specials, each once, as far as
// they are printable: the 0xFF after a version is padding, not a special.
TEST_F(RevPackDbCreateTest, NameHoldsEachVersionAndSpecialOnceAndOnlyPrintableText)
{
    owner.typeNames = {{"KV8888GM-ED", "A"}, {"KV4400WS-BX", "B"}, {"KV1111PS-BD", "C"}};
    bin("KV8888GM-ED_1.bin", appImage(0x100 + 200, "B.49KV8888GM-ED", "KV-5.01 X05  "));
    bin("KV4400WS-BX_1.bin", appImage(0x100 + 200, "B.49KV4400WS-BX", "KV-5.01 X05  "));
    std::string padded = appImage(0x100 + 200, "B.49KV1111PS-BD", "KV-4.13     ");
    std::fill(padded.begin() + 0x100 + 32 + 21, padded.end(), '\xFF');
    bin("KV1111PS-BD_1.bin", padded);
    ASSERT_TRUE(db->createDb(bins.c_str())) << db->createFailure().reason;
    EXPECT_EQ(0u, db->createdPack().find("KV-4.13-5.01_X05[")) << db->createdPack();
    db->selectDb(db->createdPack().c_str());
    char special[RevPackDb::MAX_TXT_LEN];
    db->getEntry("C_1.bin", RevPackDb::BIN_SPECIAL, special);
    EXPECT_STREQ("     ", special);
}

// Bad input: one clear line, no pack, and the packs already there untouched.
TEST_F(RevPackDbCreateTest, BadInputLeavesNoPackBehind)
{
    bin("KV8888GM-ED_4.12.bin", appImage(0x100 + 100, "B.49KV8888GM-ED", "KV-4.12     "));
    ASSERT_TRUE(db->createDb(bins.c_str()));
    const std::string good = db->createdPack(), goodBytes = readPack(good);
    const std::string d = dir.path() + "/", b = d + "bins/";

    const struct {
        const char* what;
        std::function<void()> prepare;
        const char* binDir;
        std::string error;
    } cases[] = {
        {"missing directory", [] {}, "missing", "_binDirPath=" + d + "missing/ does NOT Exist!"},
        {"no images", [] { fs::create_directory("empty"); TempDir::write("empty/a.txt", "x"); }, "empty",
         "No *.bin files in " + d + "empty/"},
        {"unreadable image", [&] { fs::create_symlink("nowhere", b + "KV8888GM-ED_4.13.bin"); }, "bins",
         "Cannot read " + b + "KV8888GM-ED_4.13.bin"},
        {"image over the limit", [&] { bin("KV8888GM-ED_5.bin", appImage(0x100 + 102400, "B.49KV8888GM-ED", "KV-5.00")); },
         "bins", "Error Binfile too big: " + b + "KV8888GM-ED_5.bin"},
        {"image below its start", [&] { bin("KV8888GM-ED_5.bin", appImage(0x3000 - 1, "B.48KV8888GM-ED", "KV-5.00")); },
         "bins", "Error Binfile smaller than its start address: " + b + "KV8888GM-ED_5.bin"},
        {"settings over the limit", [&] { bin("KV8888GM-ED_4.12.adn", filler(102400)); }, "bins",
         "Error Adnfile too big: " + b + "KV8888GM-ED_4.12.adn"},
        {"broken restrictions", [] { fs::create_directory("RevPacks"); TempDir::write("RevPacks/SwHwRestrictions.txt", "1\n2\n3\n[bad]\n"); },
         "bins", "Error in restrictions file RevPacks/SwHwRestrictions.txt: line 4: bad section \"bad\""},
        {"restrictions past the limit", [] {
             std::string rows = "1\n2\n3\n[./SwHwRestrictions]\n";
             for (int i = 1; i <= 513; ++i) rows += std::to_string(i) + ":4.**;B.**\n";
             fs::create_directory("RevPacks");
             TempDir::write("RevPacks/SwHwRestrictions.txt", rows);
         },
         "bins", "Error in restrictions file RevPacks/SwHwRestrictions.txt: line 517: more than 512 entries in "
                 "[./SwHwRestrictions]"},
        // No usable application image: boot loaders alone upgrade nothing.
        {"only boot loaders", [&] { fs::remove(b + "KV8888GM-ED_4.12.bin"); bin("BOOT_LOAD_B49.bin", filler(1600)); },
         "bins", "No usable image in " + b + ": only boot loaders"},
        {"no known type",
         [&] {
             owner.typeNames = {{"KV4400", "Other"}};
             bin("KV1234WS-BX_4.12.bin", "x");
             bin("BOOT_LOAD_B49.bin", filler(1600));
         },
         "bins", "No usable image in " + b + ": KV1234WS-BX_4.12.bin skipped, type not in config.ini; "
                 "KV8888GM-ED_4.12.bin skipped, type not in config.ini"},
    };
    // The restriction table kept beside the restrictions file changes only
    // with a pack that is made.
    const std::string kept = "RevPacks/SwHwRestrictions.rst";
    EXPECT_NE(std::string::npos, TempDir::read(kept).find("\n7:KV---------;KV---------\n"));
    TempDir::write(kept, "the table of the last pack made\n");
    for (const auto& c : cases) {
        // Each case starts from the one good image.
        fs::remove_all(bins);
        fs::create_directory(bins);
        bin("KV8888GM-ED_4.12.bin", appImage(0x100 + 100, "B.49KV8888GM-ED", "KV-4.12     "));
        fs::remove("RevPacks/SwHwRestrictions.txt");
        dialogs.alerts.clear();
        c.prepare();
        EXPECT_FALSE(db->createDb(c.binDir)) << c.what;
        EXPECT_EQ(c.error, db->createFailure().reason) << c.what;
        EXPECT_EQ(RunFailure::Kind::BadInput, db->createFailure().kind) << c.what;
        EXPECT_EQ(std::vector<std::string>{c.error}, dialogs.alerts) << c.what;
        EXPECT_EQ(std::vector<std::string>{good}, packFiles()) << c.what;
        EXPECT_EQ(goodBytes, readPack(good)) << c.what;
        EXPECT_EQ("the table of the last pack made\n", TempDir::read(kept)) << c.what;
    }

    // The largest image that fits is taken; its version cannot name a directory.
    owner.typeNames = {{"KV8888GM-ED", "KV8888GM-ED"}};
    bin("KV8888GM-ED_5.bin", appImage(0x100 + 102399, "B.49KV8888GM-ED", "KV-5/00"));
    EXPECT_TRUE(db->createDb(bins.c_str())) << db->createFailure().reason;
    EXPECT_EQ(0u, db->createdPack().find("KV-4.12-5_00[")) << db->createdPack();
}

}  // namespace
