#include "korprog/progctrl/Data/SettingBin.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

#include "DataTest.h"
#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/Data/KorTypeNames.h"
#include "korprog/progctrl/Data/SettingBinView.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"

namespace {

struct RecordingView : SettingBinView {
    void showBestGroup(const char* f, const char* t) override { best = std::string(f ? f : "-") + "," + (t ? t : "-"); }
    void showKorvanGroup(const char* t, const char* sw, const char* sp, const char* hw, const char* imei) override
    {
        korvan = std::string(t) + "," + sw + "," + sp + "," + hw + "," + imei;
    }
    void createSettingEdit() override { ++edits; }
    void editClose() override { ++closes; }
    void offerSave() override { ++saves; }
    std::string best, korvan;
    int edits = 0, closes = 0, saves = 0;
};

struct Names : KorTypeNames {
    const char* ombrixKorType(const char* custom) override { return std::strcmp(custom, "Alarmbox") ? "" : "KV4400WS-BX-LONG"; }
};

const char* const GSM_TYPE = "KV8888GM-ED";
const char* const GPRS_TYPE = "KV4400WS-BX";

class SettingBinTest : public DataTest {
protected:
    SettingBinTest() { bin.frame(&view); }
    bool set(int k, const char* t, const char* n = nullptr, bool fromUnit = false)
    {
        return bin.setEntry(static_cast<uint8_t>(k), t, n, fromUnit, SBEntry::INVALID_TYPE);
    }
    void settingsType(const char* type) { set(SettingBin::KORTYPE_POS, type); }
    const char* text(int k) { return bin.getEntry(static_cast<uint8_t>(k))->text; }
    const char* nr(int k) { return bin.getEntry(static_cast<uint8_t>(k))->tfnr; }
    int fieldSize(int k) { return bin.textFieldSize(static_cast<uint8_t>(k), SBEntry::INVALID_TYPE); }
    void load(const char* name, const std::string& content)
    {
        TempDir::write(name, content);
        std::string why;
        ASSERT_EQ(AdnFile::load(bin, name, AdnFile::TOLERANT, &why), AdnFile::LOADED) << why;
    }

    RecordingView view;
    SettingBin bin{nullptr};
};

}  // namespace

TEST_F(SettingBinTest, SetEntryFiltersAndCuts)
{
    settingsType(GSM_TYPE);
    EXPECT_TRUE(set(3, "abcdefghij", "0612"));
    EXPECT_TRUE(set(3, "a;b/c|d"));
    EXPECT_STREQ(text(3), "abcd");  // gap closed, nothing of the earlier value left
    EXPECT_STREQ(nr(3), "0612");   // a null part is left alone
    EXPECT_TRUE(dialogs.alerts.empty());

    EXPECT_FALSE(set(2, "1234567890ABC", "123456789012345678901"));
    EXPECT_STREQ(text(2), "1234567890AB");
    EXPECT_STREQ(nr(2), "12345678901234567890");
    EXPECT_FALSE(set(201, "x", "1"));
    EXPECT_EQ(bin.getEntry(255), nullptr);

    // The alerts name the field: by the layout table, else by its number.
    const char* data = std::getenv("KORPROG_TEST_DATA");
    ASSERT_NE(data, nullptr) << "KORPROG_TEST_DATA names the data directory; ctest sets it";
    std::filesystem::copy_file(std::string(data) + "/config.csv", SettingBin::LAYOUT_TABLE);
    EXPECT_FALSE(set(3, "1234567890ABCD"));
    EXPECT_FALSE(set(3, nullptr, "123456789012345678901"));
    EXPECT_EQ(dialogs.alerts, (std::vector<std::string>{"Attentie!! Veldnaam, \"instelling 2\": maximum 12 karakters.",
                                                        "Attentie!! Veldnaam, \"instelling 2\": maximum 20 nummers.",
                                                        "Attentie!! Veldnaam, \"Algemeen, PIN-code SIM\": maximum 12 "
                                                        "karakters.",
                                                        "Attentie!! Veldnaam, \"Nummers, SMS-centrale\": maximum 20 "
                                                        "nummers."}));
    EXPECT_FALSE(set(2, "1234567890ABCD", nullptr, true));
    EXPECT_EQ(dialogs.alerts.size(), 4u) << "a text fetched from the unit is told by the fetch";
}

TEST_F(SettingBinTest, TextFieldSizeFollowsTheNetworkType)
{
    settingsType(GPRS_TYPE);
    EXPECT_EQ(fieldSize(60), 24);
    EXPECT_EQ(fieldSize(61), 12);
    settingsType(GSM_TYPE);
    EXPECT_EQ(fieldSize(61), 50);
    // Settings from the unit follow the unit's type.
    bin.storeStatusInfo(GPRS_TYPE, "KV-4.12", "", "F.48", "");
    bin.editFromDownload(true);
    EXPECT_EQ(fieldSize(61), 12);
}

TEST_F(SettingBinTest, StatusAndDownload)
{
    bin.storeStatusInfo(GPRS_TYPE, "KV-4.12", "SP01", "H.49", "356000000000001");
    EXPECT_EQ(view.korvan, std::string(GPRS_TYPE) + ",KV-4.12,SP01,H.49,356000000000001");
    EXPECT_EQ(bin.nrIn() * 1000 + bin.nrUin() * 100 + bin.nrOut(), 4400);
    // Before entry 10 arrives the unit's type already sets the lengths.
    bin.editFromDownload(true);
    EXPECT_TRUE(set(2, std::string(40, 'a').c_str(), "", true));
    EXPECT_TRUE(set(10, "whatever", "", true));
    EXPECT_TRUE(set(20, "other", "", true));
    EXPECT_STREQ(bin.korType(), GPRS_TYPE);
    EXPECT_STREQ(bin.korSpecial(), "SP01");
    EXPECT_EQ(bin.pwrOption(), SettingBin::BATTERY);

    bin.storeStatusInfo(GPRS_TYPE, "KV-4.13", "SP01", "H.49", "");  // same unit: kept
    EXPECT_EQ(view.closes, 0);
    bin.storeStatusInfo("KV2200PM-EX", "KV-4.13", "", "H.49", "");
    EXPECT_EQ(view.closes, 1);
    EXPECT_STREQ(text(2), "");
    EXPECT_STREQ(bin.korType(), "");
    EXPECT_EQ(bin.networkType(), SettingBin::PSTN);  // not the previous unit's

    const std::string l = GSM_TYPE + std::string(100, 'Z'), cut = l.substr(0, 40);
    bin.storeStatusInfo(l.c_str(), l.c_str(), l.c_str(), l.c_str(), l.c_str());
    EXPECT_EQ(view.korvan, cut + "," + cut + "," + cut + "," + cut + "," + cut);
    EXPECT_TRUE(dialogs.alerts.empty());

    bin.totalNrEntries(150);
    EXPECT_FALSE(bin.validEntry(151));
    bin.totalNrEntries(201);
    EXPECT_FALSE(bin.validEntry(151));
    EXPECT_EQ(dialogs.alerts,
              std::vector<std::string>{"Attentie!! Korvan bevat teveel data. #entries=201\nMaximaal mogelijk 201 entries\n"});
}

TEST_F(SettingBinTest, SettingsStayWhileTheUnitIsAwayAndWhenItComesBack)
{
    bin.storeStatusInfo(GSM_TYPE, "KV-4.12", "", "D.49", "351234567890123");
    bin.editFromDownload(true);
    set(10, GSM_TYPE, "", true);
    set(11, "fetched", "24", true);
    EXPECT_FALSE(bin.unsavedChanges()) << "as the unit holds them";
    set(12, "typed");
    EXPECT_TRUE(bin.unsavedChanges());
    bin.storeStatusInfo("", "", "", "", "");  // the unit went away
    EXPECT_EQ(view.korvan, ",,,,");
    bin.storeStatusInfo(GSM_TYPE, "KV-4.12", "", "D.49", "351234567890123");
    EXPECT_STREQ(text(11), "fetched");
    EXPECT_STREQ(text(12), "typed");
    EXPECT_EQ(view.closes, 0);
    EXPECT_TRUE(dialogs.questions.empty());

    // Another unit while the edits are unsaved: asked, and kept by default
    // as settings of their own type.
    bin.storeStatusInfo("", "", "", "", "");
    bin.storeStatusInfo(GPRS_TYPE, "KV-4.12", "", "H.49", "");
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0], "Attentie!! Er is een Korvan van een ander type aangesloten: \"KV4400WS-BX\".\n"
                                    "De instellingen in het venster zijn nog niet opgeslagen.\n"
                                    "Wilt u ze behouden, opslaan of verwerpen?\n");
    EXPECT_STREQ(text(12), "typed");
    EXPECT_FALSE(bin.editFromDownload());
    EXPECT_EQ(fieldSize(11), 50) << "sized by their own (GSM) type";
    dialogs.answers = {1};  // "Opslaan"
    bin.storeStatusInfo(GSM_TYPE, "KV-4.12", "", "D.49", "");
    EXPECT_EQ(view.saves, 1);
    EXPECT_STREQ(text(12), "typed");
    dialogs.answers = {2};  // "Verwerpen"
    bin.storeStatusInfo(GPRS_TYPE, "KV-4.12", "", "H.49", "");
    EXPECT_STREQ(text(12), "");
    EXPECT_STREQ(bin.korType(), "");
    EXPECT_EQ(view.closes, 1);

    // Without unsaved edits another unit takes over without a question.
    load("a.adn", "x|1\n");
    bin.storeStatusInfo(GSM_TYPE, "KV-4.12", "", "D.49", "");
    EXPECT_STREQ(text(1), "");
    EXPECT_EQ(dialogs.questions.size(), 3u);
}

TEST_F(SettingBinTest, NewSettingsForAChosenType)
{
    Names names;
    bin.korTypeNames(&names);
    set(7, "old", "7");
    bin.korTypeFromNew("Alarmbox", "SPECIAL-BUILD-X", false);
    EXPECT_STREQ(bin.korType(), "KV4400WS-BX-");  // 12 characters
    EXPECT_STREQ(bin.korSpecial(), "SPECIAL-BUIL");
    EXPECT_EQ(bin.networkType(), SettingBin::GPRS);
    EXPECT_STREQ(text(7), "old");
    bin.korTypeFromNew("Alarmbox", "", true);
    EXPECT_STREQ(text(7), "");
    EXPECT_EQ(view.edits, 2);
    bin.korTypeNames(nullptr);  // without a configuration the name is the code
    bin.korTypeFromNew(GSM_TYPE, "", true);
    EXPECT_STREQ(bin.korType(), GSM_TYPE);
}

TEST_F(SettingBinTest, CheckKorTypesAsksOnlyOnADifference)
{
    EXPECT_FALSE(bin.checkKorTypes());  // no settings type
    bin.storeStatusInfo(GSM_TYPE, "KV-4.12", "", "H.49", "");
    settingsType(GSM_TYPE);
    EXPECT_TRUE(bin.checkKorTypes());
    settingsType(GPRS_TYPE);
    dialogs.answers = {1, 0};
    EXPECT_TRUE(bin.checkKorTypes());
    EXPECT_FALSE(bin.checkKorTypes());
    ASSERT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(dialogs.questions[0], "Attentie!! Korvan Type \"KV4400WS-BX\" in Bestand verschilt met\n"
                                    "Verbonden Korvan Type \"KV8888GM-ED\" !! \n"
                                    "Wilt u doorgaan met programmeren?\n");
    EXPECT_EQ(dialogs.beeps, 2);
    bin.progPreUpgrade(true);
    EXPECT_TRUE(bin.checkKorTypes());
    bin.progPreUpgrade(false);
    // A run that answers for itself asks nothing.
    FrmKorProgImpl::CMDL_PROGRAM = true;
    EXPECT_TRUE(bin.checkKorTypes());
    EXPECT_EQ(dialogs.questions.size(), 2u);
    FrmKorProgImpl::CMDL_PROGRAM = false;
}

TEST_F(SettingBinTest, OldHardwareTakesEntries2And80OnlyWhenEmpty)
{
    bin.storeStatusInfo("KV8888WM-ED", "KV-4.12", "", "F.48", "");
    EXPECT_TRUE(bin.entrySupported(80, 'N'));  // not from the unit
    bin.editFromDownload(true);
    EXPECT_FALSE(bin.entrySupported(80, 'N'));
    bin.doProgramming(true);
    EXPECT_TRUE(bin.entrySupported(2, 'N'));
    set(2, nullptr, "123", true);
    EXPECT_FALSE(bin.entrySupported(2, 'N'));
    EXPECT_TRUE(bin.entrySupported(2, 'T'));
}

TEST_F(SettingBinTest, SaveThenLoadRoundTripsAllEntries)
{
    settingsType(GSM_TYPE);
    for (int k = 1; k <= 200; ++k) {
        const std::string t = "T" + std::to_string(k) + (k % 10 == 1 ? std::string(40, 'x') : "  a");
        if (k == 10) continue;
        ASSERT_TRUE(set(k, t.c_str(), std::to_string(k * 1000003).c_str())) << k;
    }
    // Line breaks from a unit or a user become blanks: the file keeps its lines.
    ASSERT_TRUE(set(5, "Alarm\r\nnext", "06\n12"));
    EXPECT_STREQ(text(5), "Alarm  next");
    EXPECT_STREQ(nr(5), "06 12");
    bin.file("set.adn");
    ASSERT_TRUE(bin.unsavedChanges());
    AdnFile::save(bin);
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_FALSE(bin.unsavedChanges());
    EXPECT_EQ(view.best, "-,KV8888GM-ED");
    const std::string content = TempDir::read("set.adn");
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 200);
    EXPECT_EQ(content.substr(0, content.find('\n')), "T1" + std::string(40, 'x') + "|1000003");
    EXPECT_NE(content.find("\nT115  a|\nT116  a|\n"), std::string::npos);  // IMEI and IMSI stay home

    SettingBin other(nullptr);
    std::string why;
    ASSERT_EQ(AdnFile::load(other, "set.adn", AdnFile::TOLERANT, &why), AdnFile::LOADED) << why;
    for (int k = 1; k <= 200; ++k) {
        EXPECT_STREQ(other.getEntry(k)->text, text(k)) << k;
        EXPECT_STREQ(other.getEntry(k)->tfnr, nr(k)) << k;
    }
}

TEST_F(SettingBinTest, LoadingShortAndOddFiles)
{
    bin.korTypeFromNew(GSM_TYPE, "SPX", true);
    set(150, "stale", "1");
    load("short.adn", "Alarm 1|0612\r\nall text\n" + std::string(70, 'L') + "|12345678901234567890xy\na|" +
                          std::string(30, '9') + "\nA;b/c|1\nx|y|z");
    EXPECT_STREQ(text(1), "Alarm 1");
    EXPECT_STREQ(nr(1), "0612");
    EXPECT_STREQ(text(2), "all text");
    EXPECT_EQ(std::string(text(3)), std::string(50, 'L'));  // split first, then each part cut
    EXPECT_STREQ(nr(3), "12345678901234567890");
    EXPECT_EQ(std::string(nr(4)), std::string(20, '9'));
    EXPECT_STREQ(text(5), "Abc");  // as a typed text would be stored
    EXPECT_STREQ(nr(6), "y|z");
    EXPECT_STREQ(text(150), "");
    EXPECT_STREQ(bin.korType(), GSM_TYPE);  // 10 and 20 keep what they held
    EXPECT_STREQ(bin.korSpecial(), "SPX");

    std::string nine, empty;
    for (int k = 1; k <= 9; ++k) nine += "e|\n";
    load("nine.adn", nine);
    EXPECT_STREQ(bin.korType(), GSM_TYPE);  // no phantom empty tenth line

    for (int k = 1; k <= 200; ++k) empty += k == 116 ? "x|999\n" : "|\n";
    load("empty.adn", empty);
    EXPECT_STREQ(bin.korType(), "KV8888GM-ED");
    EXPECT_STREQ(bin.korSpecial(), "     ");
    EXPECT_STREQ(nr(116), "");

    load("x.adn", std::string(9, '\n') + "KV4400WS-BX|\n" + std::string(9, '\n') + "X12|\n");
    EXPECT_EQ(view.best, "-,KV4400WS-BX-X12");
}

// The unit's frame has no escaping: a double quote inside a part would end
// it and shift the rest of the text into the number.
TEST_F(SettingBinTest, DoubleQuotesNeverEnterAPart)
{
    settingsType(GSM_TYPE);
    EXPECT_TRUE(set(3, "ab\",\"cd", "5\"5"));
    EXPECT_STREQ(text(3), "ab,cd");
    EXPECT_STREQ(nr(3), "55");
    EXPECT_TRUE(dialogs.alerts.empty()) << "typed or downloaded, it goes as ';' goes";

    load("quotes.adn", "plain|1\nab\",\"cd|55\nx|0\"6\"12\n\"|\"\nlast|2\n");
    EXPECT_STREQ(text(1), "plain");
    EXPECT_STREQ(text(2), "ab,cd");
    EXPECT_STREQ(nr(2), "55");
    EXPECT_STREQ(text(3), "x");
    EXPECT_STREQ(nr(3), "0612");
    EXPECT_STREQ(text(4), "");
    EXPECT_STREQ(nr(4), "");
    EXPECT_STREQ(text(5), "last");
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Attentie!! Niet toegestaan teken \" "
                                                       "weggelaten bij entry 2, 3, 4.\n"});
}

TEST_F(SettingBinTest, FailedSaveAlertsAndKeepsThePreviousFile)
{
    settingsType(GSM_TYPE);
    set(1, "nieuw", "1");
    const std::string missing = dir.path() + "/missing/set.adn";
    bin.file(missing.c_str());
    AdnFile::save(bin);
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Fout!! Bestand \"" + missing + "\" kan niet opgeslagen worden.\n"});

    // A write that fails half way (file size limit) leaves the old file.
    TempDir::write("set.adn", "oud|1\n");
    ::chmod("set.adn", 0640);
    bin.file("set.adn");
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const struct rlimit small{100, old.rlim_max};
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    AdnFile::save(bin);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    ASSERT_EQ(dialogs.alerts.size(), 2u);
    EXPECT_EQ(dialogs.alerts[1], "Fout!! Bestand \"set.adn\" kan niet opgeslagen worden.\n");
    EXPECT_EQ(TempDir::read("set.adn"), "oud|1\n");

    // A good save keeps the file's permissions and leaves nothing beside it.
    AdnFile::save(bin);
    EXPECT_EQ(dialogs.alerts.size(), 2u);
    EXPECT_EQ(TempDir::read("set.adn").substr(0, 8), "nieuw|1\n");
    struct stat st;
    ASSERT_EQ(::stat("set.adn", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);
}
