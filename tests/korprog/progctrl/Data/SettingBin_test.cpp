#include "korprog/progctrl/Data/SettingBin.h"

#include <csignal>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

#include "TempDir.h"
#include "bdebug/BTrace.h"
#include "korprog/progctrl/Data/KorTypeNames.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SettingBinOwner.h"
#include "korprog/progctrl/Data/SettingBinView.h"
#include "support/ScriptedDialogs.h"

namespace {

struct RecordingView : SettingBinView {
    void showBestGroup(const char* fileName, const char* korType) override
    {
        best.push_back(std::string(fileName ? fileName : "(null)") + "," + (korType ? korType : "(null)"));
    }
    void showKorvanGroup(const char* type, const char* swVer, const char* special, const char* hwVer,
                         const char* imei) override
    {
        korvan.push_back(std::string(type) + "," + swVer + "," + special + "," + hwVer + "," + imei);
    }
    void createSettingEdit() override { ++edits; }
    void editClose() override { ++closes; }
    bool commandLineProgramming() const override { return cmdl; }

    std::vector<std::string> best, korvan;
    int edits = 0, closes = 0;
    bool cmdl = false;
};

struct Names : KorTypeNames {
    const char* ombrixKorType(const char* custom) override
    {
        auto it = map.find(custom);
        return it == map.end() ? "" : it->second.c_str();
    }
    std::map<std::string, std::string> map;
};

struct Owner : SettingBinOwner {
    uint16_t traceLevel() const override { return level; }
    uint16_t level = 0;
};

int entriesIn(const std::string& path)
{
    int n = 0;
    if (DIR* d = ::opendir(path.c_str())) {
        while (struct dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

const char* const GSM_TYPE = "KV8888GM-ED";
const char* const GPRS_TYPE = "KV4400WS-BX";

class SettingBinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        Language::destroy();
        bin.frame(&view);
    }
    void TearDown() override { Language::destroy(); }

    void settingsType(const char* type) { bin.setEntry(SettingBin::KORTYPE_POS, type, nullptr, false, SBEntry::INVALID_TYPE); }

    TempDir dir;
    ScriptedDialogs dialogs;
    Owner owner;
    RecordingView view;
    SettingBin bin{&owner};
};

}  // namespace

TEST_F(SettingBinTest, TextPartDropsForbiddenCharactersWithoutLeftovers)
{
    EXPECT_TRUE(bin.setEntry(3, "abcdefghij", "0612", false, SBEntry::ASCII_INPUT_TYPE));
    EXPECT_TRUE(bin.setEntry(3, "a;b/c", nullptr, false, SBEntry::ASCII_INPUT_TYPE));
    EXPECT_STREQ(bin.getEntry(3)->text, "abc");
    EXPECT_STREQ(bin.getEntry(3)->tfnr, "0612");  // a null part is left alone
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(SettingBinTest, OverLongPartsAreCutWithAnAlert)
{
    settingsType(GSM_TYPE);
    EXPECT_FALSE(bin.setEntry(2, "1234567890ABC", nullptr, false, SBEntry::ASCII_INPUT_TYPE));
    EXPECT_STREQ(bin.getEntry(2)->text, "1234567890AB");
    EXPECT_FALSE(bin.setEntry(2, nullptr, "123456789012345678901", false, SBEntry::TEL_INPUT_TYPE));
    EXPECT_STREQ(bin.getEntry(2)->tfnr, "12345678901234567890");
    ASSERT_EQ(dialogs.alerts.size(), 2u);
    EXPECT_EQ(dialogs.alerts[0], "Attentie!! maximum 12 karakters.");
    EXPECT_EQ(dialogs.alerts[1], "Attentie!! maximum 20 nummers.");
    // The cut happens before filtering: the kept part is what is stored.
    EXPECT_FALSE(bin.setEntry(21, std::string(60, 'x').append(";").c_str(), nullptr, false, SBEntry::ASCII_INPUT_TYPE));
    EXPECT_EQ(std::strlen(bin.getEntry(21)->text), 50u);
}

TEST_F(SettingBinTest, EntriesOutsideTheTableAreRefused)
{
    std::string trace;
    BTrace::capture(&trace);
    EXPECT_FALSE(bin.setEntry(201, "x", "1", false, SBEntry::ASCII_INPUT_TYPE));
    EXPECT_EQ(bin.getEntry(255), nullptr);
    BTrace::capture(nullptr);
    EXPECT_NE(trace.find("Assertion failed"), std::string::npos);
    EXPECT_NE(bin.getEntry(200), nullptr);
}

TEST_F(SettingBinTest, TextFieldSizeFollowsTheNetworkType)
{
    EXPECT_EQ(bin.textFieldSize(61, SBEntry::ASCII_INPUT_TYPE), 12);  // no settings type
    settingsType(GPRS_TYPE);
    EXPECT_EQ(bin.networkType(), SettingBin::GPRS);
    EXPECT_EQ(bin.textFieldSize(60, SBEntry::ASCII_INPUT_TYPE), 24);
    EXPECT_EQ(bin.textFieldSize(61, SBEntry::ASCII_INPUT_TYPE), 12);
    EXPECT_EQ(bin.textFieldSize(2, SBEntry::ASCII_INPUT_TYPE), 50);
    EXPECT_EQ(bin.textFieldSize(4, SBEntry::ASCII_INPUT_TYPE), 24);
    settingsType(GSM_TYPE);
    EXPECT_EQ(bin.textFieldSize(61, SBEntry::ASCII_INPUT_TYPE), 50);
    EXPECT_EQ(bin.textFieldSize(60, SBEntry::ASCII_INPUT_TYPE), 12);
    settingsType("KV8888PM-ED");
    EXPECT_EQ(bin.textFieldSize(61, SBEntry::ASCII_INPUT_TYPE), 12);

    // Settings from the unit follow the unit's network type.
    bin.storeStatusInfo(GPRS_TYPE, "KV-4.12", "     ", "F.48", "");
    bin.editFromDownload(true);
    EXPECT_EQ(bin.textFieldSize(2, SBEntry::ASCII_INPUT_TYPE), 50);
}

TEST_F(SettingBinTest, DownloadTakesTypeAndSpecialFromTheUnit)
{
    bin.storeStatusInfo(GPRS_TYPE, "KV-4.12", "SP01", "H.49", "356000000000001");
    // Before entry 10 arrives the unit's type already decides the lengths.
    bin.editFromDownload(true);
    EXPECT_TRUE(bin.setEntry(2, std::string(40, 'a').c_str(), "", true, SBEntry::INVALID_TYPE));
    EXPECT_TRUE(bin.setEntry(10, "whatever", "", true, SBEntry::INVALID_TYPE));
    EXPECT_TRUE(bin.setEntry(20, "other", "", true, SBEntry::INVALID_TYPE));
    EXPECT_STREQ(bin.korType(), GPRS_TYPE);
    EXPECT_STREQ(bin.korSpecial(), "SP01");
    EXPECT_EQ(bin.nrIn(), 4);
    EXPECT_EQ(bin.nrUin(), 4);
    EXPECT_EQ(bin.nrIin(), 0);
    EXPECT_EQ(bin.nrOut(), 0);
    EXPECT_EQ(bin.repFunc(), SettingBin::SMS);
    EXPECT_EQ(bin.pwrOption(), SettingBin::BATTERY);
    ASSERT_EQ(view.korvan.size(), 1u);
    EXPECT_EQ(view.korvan[0], std::string(GPRS_TYPE) + ",KV-4.12,SP01,H.49,356000000000001");
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(SettingBinTest, AnotherUnitEmptiesTheBin)
{
    bin.storeStatusInfo(GSM_TYPE, "KV-4.12", "", "H.49", "");
    bin.setEntry(10, GSM_TYPE, "", false, SBEntry::INVALID_TYPE);
    bin.setEntry(5, "x", "5", false, SBEntry::INVALID_TYPE);
    bin.storeStatusInfo(GSM_TYPE, "KV-4.13", "", "H.49", "");  // same unit type: kept
    EXPECT_STREQ(bin.getEntry(5)->text, "x");
    EXPECT_EQ(view.closes, 0);
    bin.storeStatusInfo("KV2200PM-EX", "KV-4.13", "", "H.49", "");
    EXPECT_STREQ(bin.getEntry(5)->text, "");
    EXPECT_STREQ(bin.korType(), "");
    EXPECT_EQ(view.closes, 1);
    // Not the previous unit's network type.
    EXPECT_EQ(bin.networkType(), SettingBin::PSTN);

    // Identity strings never overrun their fields.
    const std::string longType = "KV8888GM-ED" + std::string(100, 'Z');
    bin.storeStatusInfo(longType.c_str(), longType.c_str(), longType.c_str(), longType.c_str(), longType.c_str());
    const std::string cut = longType.substr(0, 40);
    EXPECT_EQ(view.korvan.back(), cut + "," + cut + "," + cut + "," + cut + "," + cut);
}

TEST_F(SettingBinTest, UnitEntryCount)
{
    bin.totalNrEntries(150);
    EXPECT_TRUE(bin.validEntry(150));
    EXPECT_FALSE(bin.validEntry(151));
    bin.totalNrEntries(201);
    EXPECT_FALSE(bin.validEntry(151));
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0], "Attentie!! Korvan bevat teveel data. #entries=201\nMaximaal mogelijk 201 entries\n");
    bin.totalNrEntries(200);
}

TEST_F(SettingBinTest, UnknownTypeLettersAreReported)
{
    std::string trace;
    BTrace::capture(&trace);
    settingsType("KV8888XQ-ZD");
    BTrace::capture(nullptr);
    EXPECT_EQ(bin.networkType(), SettingBin::UNDEF_TP);
    EXPECT_EQ(bin.repFunc(), SettingBin::UNDEF_FNC);
    EXPECT_EQ(bin.pwrOption(), SettingBin::UNDEF_PWR);
    EXPECT_NE(trace.find("Assertion failed: false unknown networktype 'X'"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Assertion failed: false unknown power option 'Z'"), std::string::npos) << trace;
}

TEST_F(SettingBinTest, TraceFollowsTheControllersLevel)
{
    std::string trace;
    BTrace::capture(&trace);
    bin.setEntry(4, "a", "1", false, SBEntry::INVALID_TYPE);
    EXPECT_EQ(trace, "");
    owner.level = 0x40;
    bin.setEntry(4, "Alarm 1", "0612", false, SBEntry::INVALID_TYPE);
    BTrace::capture(nullptr);
    EXPECT_NE(trace.find("SettingBin::setEntry eNr=4 txt=\"Alarm 1\" nr=\"0612\""), std::string::npos) << trace;
    EXPECT_NE(trace.find(" maxText=12"), std::string::npos) << trace;
}

TEST_F(SettingBinTest, NewSettingsForAChosenType)
{
    Names names;
    names.map["Alarmbox"] = "KV4400WS-BX-LONGER";
    bin.korTypeNames(&names);
    bin.setEntry(7, "old", "7", false, SBEntry::INVALID_TYPE);
    bin.korTypeFromNew("Alarmbox", "SPECIAL-BUILD-X", false);
    EXPECT_STREQ(bin.korType(), "KV4400WS-BX-");  // 12 characters
    EXPECT_STREQ(bin.korSpecial(), "SPECIAL-BUIL");
    EXPECT_EQ(bin.networkType(), SettingBin::GPRS);
    EXPECT_STREQ(bin.getEntry(7)->text, "old");
    EXPECT_EQ(view.edits, 1);
    bin.korTypeFromNew("Alarmbox", "", true);
    EXPECT_STREQ(bin.getEntry(7)->text, "");
    EXPECT_STREQ(bin.korType(), "KV4400WS-BX-");
    EXPECT_EQ(view.edits, 2);

    // Without a configuration the chosen name is taken as the code.
    bin.korTypeNames(nullptr);
    bin.korTypeFromNew(GSM_TYPE, "", true);
    EXPECT_STREQ(bin.korType(), GSM_TYPE);
}

TEST_F(SettingBinTest, CheckKorTypesAsksOnlyOnADifference)
{
    EXPECT_FALSE(bin.checkKorTypes());  // no settings type
    bin.storeStatusInfo(GSM_TYPE, "KV-4.12", "", "H.49", "");
    settingsType(GSM_TYPE);
    EXPECT_TRUE(bin.checkKorTypes());
    EXPECT_TRUE(dialogs.questions.empty());

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
    view.cmdl = true;
    EXPECT_TRUE(bin.checkKorTypes());
    EXPECT_EQ(dialogs.questions.size(), 2u);
}

TEST_F(SettingBinTest, OldHardwareTakesEntries2And80OnlyOnce)
{
    bin.storeStatusInfo("KV8888WM-ED", "KV-4.12", "", "F.48", "");
    EXPECT_TRUE(bin.entrySupported(80, 'N'));  // not from the unit
    bin.editFromDownload(true);
    EXPECT_FALSE(bin.entrySupported(80, 'N'));
    EXPECT_TRUE(bin.entrySupported(2, 'T'));
    bin.doProgramming(true);
    EXPECT_TRUE(bin.entrySupported(2, 'N'));
    bin.setEntry(2, nullptr, "123", true, SBEntry::INVALID_TYPE);
    EXPECT_FALSE(bin.entrySupported(2, 'N'));
    bin.storeStatusInfo("KV8888WM-ED", "KV-4.12", "", "H.49", "");
    EXPECT_TRUE(bin.entrySupported(2, 'N'));
    EXPECT_TRUE(bin.entrySupported(80, 'N'));
}

TEST_F(SettingBinTest, EditorDefinitionsAreLinkedByPart)
{
    EXPECT_EQ(bin.sbEntryTitle(5, 'T'), "unknown");
    SBEntry text("5;T;Naam;Algemeen;ascii;;;", &bin);
    SBEntry number("5;N;Nummer;Algemeen;tel;;;", &bin);
    bin.setSbEntry(&text);
    bin.setSbEntry(&number);
    EXPECT_EQ(bin.sbEntryTitle(5, 'T'), "Algemeen, Naam");
    EXPECT_EQ(bin.sbEntryTitle(5, 'N'), "Algemeen, Nummer");
    bin.cleanUpEntries(false);
    EXPECT_EQ(bin.sbEntryTitle(5, 'N'), "unknown");
}

// ---- settings files ----

TEST_F(SettingBinTest, SaveThenLoadRoundTripsAllEntries)
{
    settingsType(GSM_TYPE);
    bin.setEntry(20, "SP01", nullptr, false, SBEntry::INVALID_TYPE);
    auto textOf = [](int k) { return "T" + std::to_string(k) + (k % 10 == 1 ? std::string(40, 'x') : "  a"); };
    auto nrOf = [](int k) { return std::to_string(k * 1000003); };
    for (int k = 1; k <= 200; ++k) {
        if (k == 10 || k == 20) continue;
        ASSERT_TRUE(bin.setEntry(k, textOf(k).c_str(), nrOf(k).c_str(), false, SBEntry::INVALID_TYPE)) << k;
    }
    bin.file("set.adn");
    bin.storeToFile();
    EXPECT_TRUE(dialogs.alerts.empty());
    ASSERT_FALSE(view.best.empty());
    EXPECT_EQ(view.best.back(), "(null),KV8888GM-ED");

    const std::string content = TempDir::read("set.adn");
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 200);
    EXPECT_EQ(content.substr(0, content.find('\n')), "T1" + std::string(40, 'x') + "|1000003");
    EXPECT_NE(content.find("\nKV8888GM-ED|\n"), std::string::npos);
    EXPECT_NE(content.find("\nT115  a|\nT116  a|\n"), std::string::npos);  // IMEI and IMSI stay home

    SettingBin other(nullptr);
    other.file("set.adn");
    other.loadFromFile();
    for (int k = 1; k <= 200; ++k) {
        EXPECT_STREQ(other.getEntry(k)->text, bin.getEntry(k)->text) << k;
        EXPECT_STREQ(other.getEntry(k)->tfnr, bin.getEntry(k)->tfnr) << k;
    }
    EXPECT_STREQ(other.getEntry(115)->tfnr, "");
    EXPECT_STREQ(other.korSpecial(), "SP01");
}

TEST_F(SettingBinTest, LoadingAShortOrOddFile)
{
    bin.korTypeFromNew(GSM_TYPE, "SPX", true);
    bin.setEntry(150, "stale", "1", false, SBEntry::INVALID_TYPE);
    const std::string longText(60, 'L');
    TempDir::write("short.adn",
                   "Alarm 1|0612\r\n"
                   "all text\n" +
                       longText + "|12345\n"
                   "a|" + std::string(30, '9') + "\n"
                   "|\n"
                   "x|y|z");  // no line end at the end
    bin.file("short.adn");
    const int editsBefore = view.edits;
    bin.loadFromFile();
    EXPECT_STREQ(bin.getEntry(1)->text, "Alarm 1");
    EXPECT_STREQ(bin.getEntry(1)->tfnr, "0612");
    EXPECT_STREQ(bin.getEntry(2)->text, "all text");
    EXPECT_STREQ(bin.getEntry(2)->tfnr, "");
    EXPECT_EQ(std::string(bin.getEntry(3)->text), longText.substr(0, 50));
    EXPECT_STREQ(bin.getEntry(3)->tfnr, "");
    EXPECT_EQ(std::string(bin.getEntry(4)->tfnr), std::string(20, '9'));
    EXPECT_STREQ(bin.getEntry(6)->text, "x");
    EXPECT_STREQ(bin.getEntry(6)->tfnr, "y|z");
    EXPECT_STREQ(bin.getEntry(7)->text, "");
    EXPECT_STREQ(bin.getEntry(150)->text, "");
    // Entries 10 and 20 keep what they held.
    EXPECT_STREQ(bin.korType(), GSM_TYPE);
    EXPECT_STREQ(bin.korSpecial(), "SPX");
    EXPECT_EQ(view.edits, editsBefore + 1);

    // A file that ends with its line end has no phantom empty line after it.
    std::string nine;
    for (int k = 1; k <= 9; ++k) nine += "e" + std::to_string(k) + "|\n";
    TempDir::write("nine.adn", nine);
    bin.file("nine.adn");
    bin.loadFromFile();
    EXPECT_STREQ(bin.getEntry(9)->text, "e9");
    EXPECT_STREQ(bin.korType(), GSM_TYPE);
}

TEST_F(SettingBinTest, EmptyTypeAndSpecialLoadAsDefaults)
{
    std::string lines;
    for (int k = 1; k <= 200; ++k) lines += (k == 116 ? "x|999" : "") + std::string("|\n");
    TempDir::write("empty.adn", lines);
    bin.file("empty.adn");
    bin.loadFromFile();
    EXPECT_STREQ(bin.korType(), "KV8888GM-ED");
    EXPECT_STREQ(bin.korSpecial(), "     ");
    EXPECT_STREQ(bin.getEntry(116)->tfnr, "");
    EXPECT_EQ(bin.networkType(), SettingBin::GSM);
    EXPECT_EQ(view.best.back(), "(null),KV8888GM-ED");

    // A special with an X shows type and special together.
    TempDir::write("x.adn", std::string(9, '\n') + "KV4400WS-BX|\n" + std::string(9, '\n') + "X12|\n");
    bin.file("x.adn");
    bin.loadFromFile();
    EXPECT_EQ(view.best.back(), "(null),KV4400WS-BX-X12");
}

TEST_F(SettingBinTest, FailedSaveAlertsAndKeepsThePreviousFile)
{
    settingsType(GSM_TYPE);
    bin.setEntry(1, "nieuw", "1", false, SBEntry::INVALID_TYPE);

    bin.file((dir.path() + "/missing/set.adn").c_str());
    bin.storeToFile();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0], "Fout!! Bestand \"" + dir.path() + "/missing/set.adn\" kan niet opgeslagen worden.\n");
    EXPECT_EQ(view.best.back(), "(null),KV8888GM-ED");

    // A write that fails half way (the file size limit) leaves the old file.
    TempDir::write("set.adn", "oud|1\n");
    ::chmod("set.adn", 0640);
    bin.file("set.adn");
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 100;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bin.storeToFile();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    ASSERT_EQ(dialogs.alerts.size(), 2u);
    EXPECT_EQ(dialogs.alerts[1], "Fout!! Bestand \"set.adn\" kan niet opgeslagen worden.\n");
    EXPECT_EQ(TempDir::read("set.adn"), "oud|1\n");

    // Nothing is left behind, and a good save keeps the file's permissions.
    bin.storeToFile();
    EXPECT_EQ(dialogs.alerts.size(), 2u);
    EXPECT_EQ(TempDir::read("set.adn").substr(0, 8), "nieuw|1\n");
    struct stat st;
    ASSERT_EQ(::stat("set.adn", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entriesIn(dir.path()), 1);
}
