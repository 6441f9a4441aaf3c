// "Ophalen" and "Programmeren": settings between the unit and the setting
// bin, against the unit simulator and, for the byte-level cases, with the
// test as the unit.

#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/States/KvctrlTestKit.h"

namespace {

// A settings file of 200 lines; entry 10 holds the simulator's type.
std::string settingsFile(const std::function<std::string(int)>& text)
{
    std::string f;
    for (int k = 1; k <= 200; ++k) {
        const std::string t = k == 10 ? "KV8888GM-ED" : k == 20 ? "     " : text(k);
        const std::string n = k == 80 || k == 115 || k == 116 ? "" : "06" + std::to_string(1000000 + k);
        f += t + "|" + n + "\n";
    }
    return f;
}

void writeFile(const std::string& path, const std::string& content) { std::ofstream(path, std::ios::binary) << content; }

class KvctrlTransferTest : public KvctrlTest {
protected:
    void loadBin(const std::string& path)
    {
        std::string why;
        ASSERT_EQ(AdnFile::load(*root->korSettingBin(), path, AdnFile::TOLERANT, &why), AdnFile::LOADED) << why;
    }
    // "Verbonden", and after a transfer that stopped, what it left to say.
    bool backToIdle(int ms = 20000)
    {
        return waitFor([this] { return view.last().rfind("Verbonden", 0) == 0 && view.buttonsOn; }, ms);
    }
    // "Programmeren", the unit taking the request and entries 1 to 4.
    void startUploadTakingFourEntries()
    {
        post(new KvctrlUplReqEvt());
        written(6);
        unit({0x06});
        for (int k = 1; k <= 4; ++k) {
            writtenNow();
            unit({0x06});
        }
    }
};

TEST_F(KvctrlTransferTest, DownloadFillsTheBinEntryForEntryAndAsksAgainAfterAWaitingFrame)
{
    const std::string unitFile = sim.path("unit.adn");
    writeFile(unitFile, settingsFile([](int k) { return "Naam " + std::to_string(k); }));
    ASSERT_TRUE(connectOnSim({"--adn", unitFile, "--wait-every", "50"}));
    post(new KvctrlDldReqEvt());
    ASSERT_TRUE(waitFor([this] { return view.editorsOpened == 1; }, 20000)) << view.last();
    EXPECT_EQ(view.last(), "Verbonden");
    EXPECT_FALSE(view.busy);
    EXPECT_TRUE(view.showed("Ophalen #12 gereed."));
    EXPECT_TRUE(view.showed("Ophalen #200 gereed."));
    EXPECT_TRUE(view.showed("Ophalen, wacht tot Korvan gereed is ...."));
    const int waits = simLogCount("waiting (fault)");
    EXPECT_EQ(waits, 4);
    EXPECT_EQ(simLogCount("<- download request"), 1 + waits) << "every waiting frame asks again";
    for (int k = 1; k <= 200; ++k) {
        const SettingEntry* e = root->sbGetEntry(uint8_t(k));
        const std::string expected = k == 10 ? "KV8888GM-ED" : k == 20 ? "     " : "Naam " + std::to_string(k);
        ASSERT_EQ(std::string(e->text), expected) << k;
        ASSERT_EQ(std::string(e->tfnr), k == 80 || k == 115 || k == 116 ? "" : "06" + std::to_string(1000000 + k));
    }
}

TEST_F(KvctrlTransferTest, UploadSendsExactlyTheBinAndANakBringsTheSameEntryAgain)
{
    const std::string unitFile = sim.path("unit.adn");
    writeFile(unitFile, settingsFile([](int) { return "oud"; }));
    const std::string source = settingsFile([](int k) { return k == 5 ? "C:\\dir" : "Nieuw " + std::to_string(k); });
    writeFile("new.adn", source);
    ASSERT_TRUE(connectOnSim({"--adn", unitFile, "--nak-every", "7"}));
    loadBin("new.adn");
    post(new KvctrlUplReqEvt());
    ASSERT_TRUE(backToIdle()) << view.last();
    EXPECT_TRUE(view.showed("Programmeren #200 gereed."));
    EXPECT_TRUE(waitFor([&] { return ksimtest::readFile(unitFile) == source; }));
    EXPECT_EQ(simLogCount("stored entry 5 \"C:/dir\""), 1) << "backslashes travel as slashes";
    EXPECT_EQ(simLogCount("   stored entry "), 200) << "every entry once, none skipped after a NAK";
    EXPECT_GT(simLogCount("fault: NAK instead of answering the setting entry"), 20);
    EXPECT_EQ(simLogCount("upload ended after 200 entries"), 1);
}

TEST_F(KvctrlTransferTest, UnitWithoutEntriesGetsOnlyTheEndOfUpload)
{
    ASSERT_TRUE(connectOnSim({"--entries", "0"}));
    writeFile("new.adn", settingsFile([](int) { return "x"; }));
    loadBin("new.adn");
    post(new KvctrlUplReqEvt());
    ASSERT_TRUE(waitFor([this] { return simLogCount("upload ended") == 1; }));
    EXPECT_EQ(simLogCount("<- setting entry"), 0);
    EXPECT_TRUE(backToIdle());
}

// Settled before the first entry: a unit stopped half-way would hold a mix
// of new and old settings.
TEST_F(KvctrlTransferTest, TextsTooLongAreAskedAboutOnceBeforeAnythingIsSentAndStoppingSendsNothing)
{
    const std::string unitFile = sim.path("unit.adn");
    writeFile(unitFile, settingsFile([](int) { return "oud"; }));
    // GSM unit: entries 2 to 9 hold at most 12 characters.
    writeFile("new.adn", settingsFile([](int k) {
                  return k == 2 ? "123456789012" : k == 3 ? "1234567890123" : k == 5 ? "ABCDEFGHIJKLM" : "nieuw";
              }));
    ASSERT_TRUE(connectOnSim({"--adn", unitFile}));
    loadBin("new.adn");
    SettingBin* bin = root->korSettingBin();
    const int editors = view.editorsOpened;
    dialogs.answers = {1};  // "Programmeren stoppen", the default
    post(new KvctrlUplReqEvt());
    ASSERT_TRUE(waitFor([this] { return dialogs.questions.size() == 1; }));
    const std::string& q = dialogs.questions[0];
    EXPECT_NE(q.find("Waarde, \"1234567890123\": max. 12 karakters\n"), std::string::npos) << q;
    EXPECT_NE(q.find("Waarde, \"ABCDEFGHIJKLM\": max. 12 karakters\n"), std::string::npos) << q;
    EXPECT_EQ(q.find("\"123456789012\""), std::string::npos) << "the maximum goes without a question";
    EXPECT_TRUE(backToIdle());
    waitFor([] { return false; }, 500);
    EXPECT_EQ(simLogCount("<- upload request"), 0) << "the unit is left as it was";
    EXPECT_STREQ(bin->getEntry(3)->text, "1234567890123");
    EXPECT_EQ(view.editorsOpened, editors);

    // Going on programs them cut, and the settings (and the editor) hold them cut.
    dialogs.answers = {0};
    post(new KvctrlUplReqEvt());
    ASSERT_TRUE(waitFor([this] { return simLogCount("upload ended after 200 entries") == 1; }));
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(simLogCount("stored entry 2 \"123456789012\""), 1);
    EXPECT_EQ(simLogCount("stored entry 3 \"123456789012\""), 1);
    EXPECT_EQ(simLogCount("stored entry 5 \"ABCDEFGHIJKL\""), 1);
    EXPECT_STREQ(bin->getEntry(3)->text, "123456789012");
    EXPECT_STREQ(bin->getEntry(5)->text, "ABCDEFGHIJKL");
    EXPECT_TRUE(bin->unsavedChanges()) << "the file holds them whole";
    EXPECT_GT(view.editorsOpened, editors) << "the editor shows them as they were sent";
    EXPECT_TRUE(backToIdle());
}

TEST_F(KvctrlTransferTest, UploadRequestIsRepeatedEveryTwoSecondsUntilTheFirstAck)
{
    startOnPty();
    ASSERT_EQ(written(6), STATUS_REQUEST);
    unit(statusRecord(0, 2));
    SettingBin* bin = root->korSettingBin();
    bin->setEntry(1, "a\\b", "1", false, SBEntry::INVALID_TYPE);
    bin->setEntry(10, "KV8888GM-ED", "", false, SBEntry::INVALID_TYPE);
    const Bytes uploadRequest = {0x01, 0x02, 0x00, 0x02, 0x03, 0x08};
    post(new KvctrlUplReqEvt());
    ASSERT_EQ(written(6), uploadRequest);
    advance(199);
    EXPECT_TRUE(writtenNow().empty());
    advance(1);
    EXPECT_EQ(written(6), uploadRequest);
    EXPECT_EQ(view.last(), "Programmeren, wacht tot Korvan gereed is ....");
    unit({0x15});
    EXPECT_EQ(written(6), uploadRequest) << "a refused request is asked again, no entry 0";

    const Bytes entry1 = {0x01, 0x04, 0x0A, 0x02, 0x01, 0x22, 0x61, 0x2F, 0x62, 0x22, 0x2C, 0x22, 0x31, 0x22, 0x03, 0xEC};
    unit({0x06});
    EXPECT_EQ(written(entry1.size()), entry1);
    unit({0x15});
    EXPECT_EQ(written(entry1.size()), entry1) << "NAK: the same entry again";
    advance(300);
    EXPECT_TRUE(writtenNow().empty()) << "no repeats after the first ACK";
    unit({0x06});
    EXPECT_EQ(written(12), Bytes({0x01, 0x04, 0x06, 0x02, 0x02, 0x22, 0x22, 0x2C, 0x22, 0x22, 0x03, 0xC6}))
        << "entry 2: two empty fields";
    unit({0x06});
    const Bytes end = {0x01, 0x05, 0x00, 0x02, 0x03, 0x0B};
    EXPECT_EQ(written(6), end) << "end of upload";
    EXPECT_EQ(view.last(), "Programmeren #2 gereed.") << "not done before the unit takes the end";
    unit({0x15});
    EXPECT_EQ(written(6), end) << "a refused end goes again";
    advance(200);
    EXPECT_EQ(written(6), end) << "and again after 2 silent seconds";
    unit({0x06});
    EXPECT_EQ(view.last(), "Verbonden");
}

// A double quote would end a part on the wire and shift the text into the
// number: a file that holds one is programmed without it, after one message.
TEST_F(KvctrlTransferTest, DoubleQuotesOfALoadedFileNeverReachTheLine)
{
    startOnPty();
    ASSERT_EQ(written(6), STATUS_REQUEST);
    unit(statusRecord(0, 2));
    writeFile("quotes.adn", "ab\",\"cd|55\nx|0\"6\n");
    loadBin("quotes.adn");
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Attentie!! Niet toegestaan teken \" "
                                                       "weggelaten bij entry 1, 2.\n"});
    root->korSettingBin()->setEntry(10, "KV8888GM-ED", "", false, SBEntry::INVALID_TYPE);
    post(new KvctrlUplReqEvt());
    ASSERT_EQ(written(6), Bytes({0x01, 0x02, 0x00, 0x02, 0x03, 0x08}));
    unit({0x06});
    EXPECT_EQ(written(19), Bytes({0x01, 0x04, 0x0D, 0x02, 0x01, 0x22, 'a', 'b', ',', 'c', 'd', 0x22, 0x2C, 0x22, '5', '5',
                                  0x22, 0x03, 0xEC}));
    unit({0x06});
    EXPECT_EQ(written(15), Bytes({0x01, 0x04, 0x09, 0x02, 0x02, 0x22, 'x', 0x22, 0x2C, 0x22, '0', '6', 0x22, 0x03, 0xA7}));
    unit({0x06});
    EXPECT_EQ(written(6), Bytes({0x01, 0x05, 0x00, 0x02, 0x03, 0x0B}));
}

TEST_F(KvctrlTransferTest, UnitRefusingTheEndOfUploadTenTimesFailsACommandLineRun)
{
    connectOnPty();
    FrmKorProgImpl::CMDL_PROGRAM = true;  // as -program, its file already in the bin
    root->korSettingBin()->setEntry(10, "KV8888GM-ED", "", false, SBEntry::INVALID_TYPE);
    root->korSettingBin()->totalNrEntries(1);
    post(new KvctrlUplReqEvt());
    written(6);
    unit({0x06});
    written(12);
    unit({0x06});
    const Bytes end = {0x01, 0x05, 0x00, 0x02, 0x03, 0x0B};
    for (int nak = 0; nak < 9; ++nak) {
        ASSERT_EQ(written(6), end) << nak;
        unit({0x15});
    }
    EXPECT_EQ(written(6), end);
    EXPECT_FALSE(RunFailure::ofRun().failed());
    unit({0x15});
    EXPECT_EQ(RunFailure::ofRun().kind, RunFailure::Kind::Refused);
    EXPECT_EQ(Main::exitCode(), 1) << "settings the unit never took are no success";
    EXPECT_TRUE(Main::_shutdown);
}

TEST_F(KvctrlTransferTest, EntryRefusedTenTimesInARowEndsTheUploadCountingWhatTheUnitTook)
{
    connectOnPty();
    SettingBin* bin = root->korSettingBin();
    bin->setEntry(10, "KV8888GM-ED", "", false, SBEntry::INVALID_TYPE);
    startUploadTakingFourEntries();
    const Bytes entry5 = written(12);
    for (int nak = 1; nak < 10; ++nak) {
        unit({0x15});
        ASSERT_EQ(written(12), entry5) << nak;
    }
    unit({0x15});
    EXPECT_EQ(written(6), Bytes({0x01, 0x05, 0x00, 0x02, 0x03, 0x0B})) << "given up: end of upload";
    const std::string stopped =
        "Programmeren afgebroken na instelling 4 van 200: de Korvan is niet volledig geprogrammeerd";
    EXPECT_EQ(view.last(), "Verbonden - " + stopped);
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"De Korvan weigerde instelling 5 tien keer.\n" + stopped + "."});

    // The same unattended: the reason counts the entries the unit took.
    FrmKorProgImpl::CMDL_PROGRAM = true;
    startUploadTakingFourEntries();
    for (int nak = 0; nak < 10; ++nak) unit({0x15});
    EXPECT_EQ(RunFailure::ofRun().reason,
              "the unit refused entry 5 10 times in a row; entries 1 to 4 were programmed");
    EXPECT_EQ(RunFailure::ofRun().kind, RunFailure::Kind::Refused);
    EXPECT_EQ(Main::exitCode(), 1);
}

TEST_F(KvctrlTransferTest, CommandLineRunTellsEntriesLeftOutATypeDifferenceAndFailsWhenNothingWasProgrammed)
{
    startOnPty();
    ASSERT_EQ(written(6), STATUS_REQUEST);
    unit(statusRecord(0, 12, "KV4400GM-ED"));
    FrmKorProgImpl::CMDL_PROGRAM = true;  // as -program, its file already in the bin
    SettingBin* bin = root->korSettingBin();
    bin->setEntry(10, "KV8888GM-ED", "", false, SBEntry::INVALID_TYPE);
    for (int k : {12, 13, 14, 15, 20, 200}) bin->setEntry(uint8_t(k), "", "1", false, SBEntry::INVALID_TYPE);
    post(new KvctrlUplReqEvt());
    EXPECT_TRUE(view.showed("Attentie!! Korvan Type \"KV8888GM-ED\" in Bestand verschilt met Verbonden Korvan Type "
                            "\"KV4400GM-ED\": de instellingen worden toch geprogrammeerd"));
    EXPECT_TRUE(view.showed("De Korvan heeft 12 instellingen: instellingen 13-15, 20, 200 uit het bestand zijn niet "
                            "geprogrammeerd"));
    for (int k = 0; k <= 12; ++k) {
        writtenNow();
        unit({0x06});
    }
    EXPECT_EQ(written(6), Bytes({0x01, 0x05, 0x00, 0x02, 0x03, 0x0B}));
    unit({0x06});
    EXPECT_FALSE(RunFailure::ofRun().failed());
    EXPECT_EQ(Main::exitCode(), 0);
    EXPECT_TRUE(Main::_shutdown);

    // A unit without entries takes nothing: no success.
    Main::_shutdown = false;
    advance(100);
    writtenNow();
    unit(statusRecord(0, 0, "KV4400GM-ED"));
    post(new KvctrlUplReqEvt());
    written(6);
    unit({0x06});
    EXPECT_EQ(written(6), Bytes({0x01, 0x05, 0x00, 0x02, 0x03, 0x0B}));
    unit({0x06});
    EXPECT_EQ(RunFailure::ofRun().reason, "the unit reports no entries; nothing was programmed");
    EXPECT_EQ(Main::exitCode(), 1);
}

TEST_F(KvctrlTransferTest, UnitThatNeverAnswersTheUploadRequestIsLostAfterTenSeconds)
{
    connectOnPty();
    root->korSettingBin()->setEntry(10, "KV8888GM-ED", "", false, SBEntry::INVALID_TYPE);
    post(new KvctrlUplReqEvt());
    advance(999);
    EXPECT_EQ(view.last(), "Programmeren, wacht tot Korvan gereed is ....");
    advance(1);
    EXPECT_EQ(view.last(), "RED Korvan niet aangesloten - Programmeren afgebroken na instelling 0 van 200: de Korvan "
                           "is niet volledig geprogrammeerd");
    EXPECT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(view.buttonsOn);
    EXPECT_FALSE(view.busy);
}

}  // namespace
