#include <FL/Fl_Output.H>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "RevPackDbTestKit.h"
#include "DataTest.h"
#include "korprog/progctrl/Data/RevPackDb.h"

namespace {

const std::vector<std::string> DEFAULT_ROWS = {"4.**;B.**", "4.**;D.**", "4.**;C.**", "5.**;F.**",
                                               "5.**;G.**", "6.**;H.**", "KV---------;KV---------"};
const char* const UNIT = "KV8888GM-ED";
const char* const RESTRICTED = "Error !!, not able to upgrade due restrictions or incompatibility.";

// An image group; a null entry is not written.
struct Img {
    const char* type;
    const char* version;
    const char* hardware;
    const char* special;
};

class RevPackDbRulesTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        std::filesystem::create_directory(packs);
    }
    void TearDown() override
    {
        RevPackDb::setActHwSwVers("", "", "", "");
        RevPackDb::CHECK_HARDWARE = true;
        DataTest::TearDown();
    }
    // Selects a new pack with these restriction rows and the image "i.bin".
    void pack(const std::vector<std::string>& rows, const Img& im)
    {
        const std::string name = "p" + std::to_string(++packs_);
        db->selectDb(name.c_str());
        db->setEntry(RevPackDb::GENERAL, RevPackDb::DB_VERSION, RevPackDb::DB_VERSION_NR);
        for (size_t i = 0; i < rows.size(); ++i)
            db->setEntry(RevPackDb::HWSWLIST, std::to_string(i + 1).c_str(), rows[i].c_str());
        db->setEntry(RevPackDb::BINLIST_NEW, "i.bin", "i.bin");
        const char* keys[] = {RevPackDb::BIN_TYPE, RevPackDb::BIN_VERSION, RevPackDb::BIN_HWVERS, RevPackDb::BIN_SPECIAL};
        const char* values[] = {im.type, im.version, im.hardware, im.special};
        for (int k = 0; k < 4; ++k)
            if (values[k]) db->setEntry("i.bin", keys[k], values[k]);
        db->clearDb();
        db->selectRpFile(name.c_str());
    }

    int packs_ = 0;
    RecordingOwner owner;
    const std::string packs = dir.path() + "/RevPacks";
    std::unique_ptr<RevPackDb> db{new RevPackDb(&owner, packs.c_str())};
};

TEST_F(RevPackDbRulesTest, TypeRowsDecideWhichImagesAUnitIsOffered)
{
    struct Case {
        std::vector<std::string> rows;
        const char* imageType;
        bool allowed, autoProg;
    } cases[] = {
        {{}, UNIT, true, false},
        {{}, "KV8888GS-ED", false, false},
        {{"KV---------;KV---------"}, "KV8888GS-ED", false, false},
        {{"KV---------;KV---------"}, "XY8888GM-ED", true, false},  // "KV" itself is not compared
        {{"4.**;B.**", "KV----G----;KV----W----"}, "KV8888WM-ED", true, true},
        {{"KV----G----;KV----W----"}, "KV8888PM-ED", false, false},
        {{"KV---;KV---"}, "XY8888GM-ED", false, false},  // a short row allows nothing
        {{"KV---------;KV---------"}, "KV88", false, false},  // nor a short image type
        {{"KV---------;KV---------"}, nullptr, false, false},
    };
    RevPackDb::setActHwSwVers(UNIT, "KV-4.10", "", "B.49");
    for (const Case& c : cases) {
        pack(c.rows, {c.imageType, "KV-4.12", "B.49", nullptr});
        db->autoProgAdnFile(true);
        EXPECT_EQ(c.allowed, db->binFileAllowed("i.bin")) << "case " << &c - cases;
        EXPECT_EQ(c.autoProg, db->autoProgAdnFile()) << "case " << &c - cases;
    }

    // A unit in its boot loader reports no type: only a unit that asked for
    // it, or a run started with a pack, gets the images.
    RevPackDb::setActHwSwVers("", "", "", "");
    pack(DEFAULT_ROWS, {UNIT, "KV-4.12", "B.49", nullptr});
    EXPECT_FALSE(db->binFileAllowed("i.bin"));
    owner.bootRequested = true;
    EXPECT_TRUE(db->binFileAllowed("i.bin"));
    owner.bootRequested = false;
    owner.refPack = "KV-4.12[1234].rpa";
    EXPECT_TRUE(db->binFileAllowed("i.bin"));
    EXPECT_TRUE(dialogs.alerts.empty());
}

// The full check with the default rows: hardware rule, software/hardware
// rows and special builds, each refusal with its alert.
TEST_F(RevPackDbRulesTest, UpgradeCheckAppliesHardwareRowsAndSpecials)
{
    const std::string codesAbc = "KV---------_ABC;KV---------_****", codesAny = "KV---------_****;KV---------_XYZ";
    struct Case {
        bool hwCheck;
        const char *unitHw, *unitSpecial;
        Img image;
        std::string codes;
        const char* alert;  // "" when allowed
    } cases[] = {
        {true, "B.49", "", {UNIT, "KV-4.12", "C.49", " EXTRA"}, "", ""},
        {true, "C.49", "", {UNIT, "KV-4.12", "B.49", nullptr}, "", "Error !!, incompatible hardware versions, binFile:B.49 korvan:C.49"},
        {true, "B.49", "", {UNIT, "KV-4.12", "B.48", nullptr}, "", "Error !!, incompatible hardware versions, binFile:B.48 korvan:B.49"},
        {true, "", "", {UNIT, "KV-4.12", "B.49", nullptr}, "", "Error !!, hardware versions not detected, binFile:B.49 korvan:"},
        {true, "B.49", "", {UNIT, "KV-5.01", "B.49", nullptr}, "", RESTRICTED},
        {true, "E.49", "", {UNIT, "KV-4.12", "E.49", nullptr}, "", RESTRICTED},
        // Without codes the first three characters of the specials agree.
        {true, "B.49", " EXTRA", {UNIT, "KV-4.12", "B.49", " EXTRA"}, "", ""},
        {true, "B.49", " EXTRA", {UNIT, "KV-4.12", "B.49", " OTHER"}, "", RESTRICTED},
        {true, "B.49", " EXTRA", {UNIT, "KV-4.12", "B.49", nullptr}, "", RESTRICTED},
        // Codes: ABC units take every image special; any unit takes XYZ.
        {true, "B.49", "ABCDE", {UNIT, "KV-4.12", "B.49", " OTHER"}, codesAbc, ""},
        {true, "B.49", "ABXDE", {UNIT, "KV-4.12", "B.49", " OTHER"}, codesAbc, RESTRICTED},
        {true, "B.49", "QQQQQ", {UNIT, "KV-4.12", "B.49", "XYZ"}, codesAny, ""},
        {true, "B.49", "     ", {UNIT, "KV-4.12", "B.49", "XYZAB"}, codesAny, ""},
        // Texts too short for their positions refuse.
        {true, "B.49", "", {UNIT, "KV-4", "B.49", nullptr}, "", RESTRICTED},
        {true, "B.4", "", {UNIT, "KV-4.12", "B.4", nullptr}, "", "Error !!, incompatible hardware versions, binFile:B.4 korvan:B.4"},
        // Without the hardware check only the hardware is not looked at.
        {false, "C.49", "", {UNIT, "KV-4.12", "B.49", nullptr}, "", ""},
        {false, "", "", {UNIT, "KV-5.01", "", nullptr}, "", ""},
        {false, "B.49", "", {UNIT, "KV-7.01", "B.49", nullptr}, "", RESTRICTED},
        {false, "B.49", " EXTRA", {UNIT, "KV-4.12", "B.49", " OTHER"}, "", RESTRICTED},
        {false, "B.49", "", {"KV4400WS-BX", "KV-4.12", "B.49", nullptr}, "",
         " Error!!, incompatible korvan types actual:Alarmbox GSM, in bin file:KV4400WS-BX"},
    };
    owner.typeNames[UNIT] = "Alarmbox GSM";
    for (const Case& c : cases) {
        RevPackDb::CHECK_HARDWARE = c.hwCheck;
        RevPackDb::setActHwSwVers(UNIT, "KV-4.10", c.unitSpecial, c.unitHw);
        std::vector<std::string> rows = DEFAULT_ROWS;
        if (!c.codes.empty()) rows.push_back(c.codes);
        pack(rows, c.image);
        dialogs.alerts.clear();
        EXPECT_EQ(!*c.alert, db->checkTypeSwHwVers("i.bin")) << "case " << &c - cases;
        EXPECT_EQ(*c.alert ? std::vector<std::string>{c.alert} : std::vector<std::string>{}, dialogs.alerts)
            << "case " << &c - cases;
    }
}

TEST_F(RevPackDbRulesTest, AllowedHardwareListFollowsTheSoftwarePatterns)
{
    std::vector<std::string> rows = DEFAULT_ROWS;
    for (const char* odd : {"4.1*;E.1*", "4.**;B.**", "4", "", "4.12;", "5.0*;Z"}) rows.push_back(odd);
    const struct {
        const char* version;
        const char* line;
    } cases[] = {{"KV-4.12", " B.** D.** C.** E.1*"}, {"KV-4.20", " B.** D.** C.**"},
                 {"KV-5.01", " F.** G.** Z"},        {"KV-9.99", ""},
                 {"KV", ""}};
    for (const auto& c : cases) {
        pack(rows, {UNIT, c.version, "B.49", nullptr});
        EXPECT_EQ(c.line, db->allowedHwList("i.bin")) << c.version;
    }
    pack(DEFAULT_ROWS, {UNIT, "KV-4.12", "B.49", nullptr});
    Fl_Output out(0, 0, 360, 21);
    db->fillAllowedHwList("i.bin", &out);
    EXPECT_STREQ(" B.** D.** C.**", out.value());
}

}  // namespace
