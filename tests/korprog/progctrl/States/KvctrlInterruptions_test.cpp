// What the field does to a transfer: a person who leaves a dialog open for a
// minute while the unit waits, a unit pulled in the middle and put back, a
// unit that asks for patience. Nothing is lost, nothing is reported done
// that was not, and what stopped is told with how far it got.

#include <filesystem>

#include "korprog/Dialog.h"
#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/States/KvctrlTestKit.h"

namespace {

const Bytes DOWNLOAD_REQUEST = {0x01, 0x03, 0x00, 0x02, 0x03, 0x09};
const Bytes UPLOAD_REQUEST = {0x01, 0x02, 0x00, 0x02, 0x03, 0x08};
const Bytes END_OF_UPLOAD = {0x01, 0x05, 0x00, 0x02, 0x03, 0x0B};
const Bytes WAITING = {0x01, 0x09, 0x00, 0x02, 0x03, 0x0F};
const Bytes END_OF_DOWNLOAD = {0x01, 0x05, 0x00, 0x02, 0x03, 0x0B};
const Bytes ACK = {0x06};
const BTickType A_MINUTE = 6000;

Bytes entryFrame(int nr, const char* text, const char* number)
{
    KvprgFrame f;
    f.settingEntry(uint8_t(nr), text, number);
    return bytesOf(f);
}

class KvctrlInterruptionsTest : public KvctrlTest {
protected:
    void SetUp() override
    {
        KvctrlTest::SetUp();
        // The layout table names the fields in what the user is told.
        const char* data = std::getenv("KORPROG_TEST_DATA");
        ASSERT_NE(data, nullptr) << "KORPROG_TEST_DATA names the data directory; ctest sets it";
        std::filesystem::copy_file(std::string(data) + "/config.csv", "config.csv");
    }
    // Every dialog from now on stays open a minute before it is answered.
    void holdDialogsOpen()
    {
        dialogs.whileOpen = [] { helmtest::FakeClock::advance(A_MINUTE); };
    }
    // Connected to a unit of `entries` entries (hardware D, whose entry 80
    // takes no number once set), its settings type in the bin.
    void connectWith(uint8_t entries)
    {
        startOnPty();
        ASSERT_EQ(written(6), STATUS_REQUEST);
        unit(statusRecord(0, entries));
        ASSERT_EQ(view.last(), "Verbonden");
        bin()->setEntry(10, "KV8888GM-ED", "", false, SBEntry::INVALID_TYPE);
    }
    SettingBin* bin() { return root->korSettingBin(); }
    // The unit takes the upload request and entries up to `last`.
    void ackUpTo(int last)
    {
        unit(ACK);
        for (int k = 1; k <= last; ++k) {
            ASSERT_FALSE(writtenNow().empty()) << "entry " << k;
            unit(ACK);
        }
    }
};

TEST_F(KvctrlInterruptionsTest, AlertHeldOpenAMinuteWhileConnectedLosesNothingAndBringsOneStatusRequest)
{
    connectWith(200);
    bin()->setEntry(11, "typed", "24", false, SBEntry::INVALID_TYPE);
    holdDialogsOpen();
    advance(100);
    ASSERT_EQ(written(6), STATUS_REQUEST);
    unit(statusRecord(0x01));  // the unit reports an error: an alert, read for a minute
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    dialogs.whileOpen = nullptr;
    EXPECT_EQ(view.last(), "Verbonden");
    advance(10);
    EXPECT_TRUE(writtenNow().empty()) << "no burst of the status requests the minute would have held";
    advance(90);
    EXPECT_EQ(written(6), STATUS_REQUEST) << "the life check goes on where it was";
    unit(statusRecord());
    EXPECT_STREQ(bin()->getEntry(11)->text, "typed");
    // The life check still works: ten silent seconds lose the unit.
    advance(999);
    EXPECT_EQ(view.last(), "Verbonden");
    advance(1);
    EXPECT_EQ(view.last(), "RED Korvan niet aangesloten");
    EXPECT_STREQ(bin()->getEntry(11)->text, "typed") << "a lost unit leaves the settings";
    EXPECT_EQ(view.editorsClosed, 0);
}

TEST_F(KvctrlInterruptionsTest, DialogHeldOpenAMinuteDuringOphalenAndTextsCutAreNamedInOneStatusLine)
{
    connectWith(200);
    bin()->cleanUpEntries(true);  // the settings type comes with the fetch
    post(new KvctrlDldReqEvt());
    ASSERT_EQ(written(6), DOWNLOAD_REQUEST);
    unit(entryFrame(1, "Locatie", "12"));
    ASSERT_EQ(written(1), ACK);
    // A dialog of the window stays open a minute while the unit waits.
    holdDialogsOpen();
    Dialog::alert("%s", "read slowly");
    dialogs.whileOpen = nullptr;
    serve();
    unit(entryFrame(3, "1234567890ABC", ""));  // entry 3 of a GSM unit holds 12
    EXPECT_EQ(written(1), ACK);
    unit(entryFrame(5, "Tekst", "5"));
    EXPECT_EQ(written(1), ACK);
    unit(entryFrame(10, "KV8888GM-ED", ""));
    EXPECT_EQ(written(1), ACK);
    unit(END_OF_DOWNLOAD);
    EXPECT_EQ(dialogs.alerts.size(), 1u) << "no alert per entry";
    EXPECT_EQ(view.editorsOpened, 1);
    EXPECT_STREQ(bin()->getEntry(3)->text, "1234567890AB");
    EXPECT_STREQ(bin()->getEntry(5)->text, "Tekst");
    EXPECT_EQ(view.last(), "Verbonden - Ophalen gereed, ingekort: Algemeen, PIN-code SIM");
    EXPECT_FALSE(bin()->unsavedChanges());

    // The next transfer starts without the note.
    post(new KvctrlDldReqEvt());
    written(6);
    unit(END_OF_DOWNLOAD);
    EXPECT_EQ(view.last(), "Verbonden");
}

TEST_F(KvctrlInterruptionsTest, QuestionHeldOpenAMinuteDuringProgrammerenAndTheUploadGoesOn)
{
    connectWith(80);
    for (int k = 1; k <= 80; ++k)
        if (k != 10) bin()->setEntry(uint8_t(k), "x", "1", false, SBEntry::INVALID_TYPE);
    post(new KvctrlUplReqEvt());
    ASSERT_EQ(written(6), UPLOAD_REQUEST);
    holdDialogsOpen();
    ackUpTo(79);  // the unit's hardware takes no number in entry 80: a question, answered after a minute
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0], "Attentie!!\nVeldnaam, \"Algemeen, Opstartmelding\"\n"
                                    "wordt niet ondersteund voor deze hardware versie.");
    EXPECT_EQ(view.last(), "Programmeren #80 gereed.");
    EXPECT_FALSE(writtenNow().empty()) << "entry 80 went after the answer";
    unit(ACK);
    EXPECT_EQ(written(6), END_OF_UPLOAD);
    unit(ACK);
    EXPECT_EQ(view.last(), "Verbonden");
    EXPECT_EQ(dialogs.alerts.size(), 0u) << "nothing to tell: the upload completed";
}

TEST_F(KvctrlInterruptionsTest, WaitingFrameInTheMiddleOfAnUploadSendsTheEntryAgain)
{
    connectWith(3);
    bin()->setEntry(1, "a", "1", false, SBEntry::INVALID_TYPE);
    post(new KvctrlUplReqEvt());
    written(6);
    unit(ACK);
    writtenNow();
    unit(ACK);
    const Bytes entry2 = {0x01, 0x04, 0x06, 0x02, 0x02, 0x22, 0x22, 0x2C, 0x22, 0x22, 0x03, 0xC6};
    ASSERT_EQ(written(entry2.size()), entry2);
    unit(WAITING);
    EXPECT_EQ(written(entry2.size()), entry2) << "the unit was busy: the same entry again";
    EXPECT_EQ(view.last(), "Programmeren, wacht tot Korvan gereed is ....");
    unit(ACK);
    EXPECT_FALSE(writtenNow().empty()) << "then the next";
}

TEST_F(KvctrlInterruptionsTest, OphalenCutOffIsToldAndTheEditorOpensOnTheSettingsItHeldBefore)
{
    connectWith(200);
    bin()->setEntry(3, "oud 3", "9", false, SBEntry::INVALID_TYPE);
    post(new KvctrlDldReqEvt());
    written(6);
    for (int k = 1; k <= 3; ++k) {
        unit(entryFrame(k, ("nieuw " + std::to_string(k)).c_str(), "1"));
        ASSERT_EQ(written(1), ACK);
    }
    advance(1000);  // the cable is pulled
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0], "Korvan niet aangesloten.\n"
                                 "Ophalen afgebroken na instelling 3 van 200: de instellingen zijn niet veranderd.");
    EXPECT_EQ(view.last(),
              "RED Korvan niet aangesloten - Ophalen afgebroken na instelling 3 van 200: de instellingen zijn niet "
              "veranderd");
    EXPECT_EQ(view.editorsOpened, 1);
    EXPECT_STREQ(bin()->getEntry(3)->text, "oud 3");
    EXPECT_STREQ(bin()->getEntry(3)->tfnr, "9");
    EXPECT_STREQ(bin()->getEntry(1)->text, "");
    EXPECT_TRUE(bin()->unsavedChanges()) << "the edit is still the engineer's to save";
    EXPECT_TRUE(view.buttonsOn);
}

TEST_F(KvctrlInterruptionsTest, UnitPulledDuringProgrammerenIsToldAndTheEditorKeepsItsSettingsWhenItIsBack)
{
    const std::string link = dir + "/korvan0", unitFile = sim.path("unit.adn");
    std::ofstream(unitFile) << "";
    ASSERT_TRUE(sim.start({"--link", link, "--adn", unitFile, "--persist"}));
    start(link);
    ASSERT_TRUE(waitFor([this] { return view.last() == "Verbonden"; }));
    std::string file;
    for (int k = 1; k <= 200; ++k)
        file += (k == 10 ? std::string("KV8888GM-ED") : "nieuw " + std::to_string(k)) + "|" +
                (k == 80 || k == 115 || k == 116 ? "" : std::to_string(k)) + "\n";
    std::ofstream("new.adn") << file;
    std::string why;
    ASSERT_EQ(AdnFile::load(*bin(), "new.adn", AdnFile::TOLERANT, &why), AdnFile::LOADED) << why;
    post(new KvctrlUplReqEvt());
    ASSERT_TRUE(waitFor([this] { return simLogCount("stored entry") >= 60; }, 10000));
    sim.stop();  // pulled: the terminal and its link go
    const int stored = simLogCount("stored entry");
    for (int i = 0; i < 12 && dialogs.alerts.empty(); ++i) advance(100);
    ASSERT_EQ(dialogs.alerts.size(), 1u) << view.last();
    const std::string alert = dialogs.alerts[0];
    const std::string told = "Programmeren afgebroken na instelling ";
    ASSERT_EQ(alert.find(told), alert.find('\n') + 1) << alert;
    const int acked = std::atoi(alert.c_str() + alert.find(told) + told.size());
    EXPECT_TRUE(acked == stored || acked == stored - 1) << "what the unit took: " << stored << "; " << alert;
    EXPECT_NE(alert.find(" van 200: de Korvan is niet volledig geprogrammeerd."), std::string::npos) << alert;
    EXPECT_EQ(view.last().rfind("RED ", 0), 0u);
    EXPECT_NE(view.last().find(" - " + told + std::to_string(acked) + " van 200"), std::string::npos) << view.last();

    SimProcess back;
    ASSERT_TRUE(back.start({"--link", link, "--adn", unitFile, "--persist"}));
    ASSERT_TRUE(waitFor(
        [&] {
            advance(10);
            return view.last().rfind("Verbonden - " + told, 0) == 0;
        },
        5000))
        << view.last();
    EXPECT_EQ(view.editorsClosed, 0);
    EXPECT_TRUE(dialogs.questions.empty()) << "the same unit: nothing to ask";
    for (int k = 1; k <= 200; ++k)
        ASSERT_EQ(std::string(bin()->getEntry(uint8_t(k))->text), k == 10 ? "KV8888GM-ED" : "nieuw " + std::to_string(k));

    // Programmed again, whole this time.
    post(new KvctrlUplReqEvt());
    ASSERT_TRUE(waitFor([&] { return view.last() == "Verbonden"; }, 20000)) << view.last();
    EXPECT_TRUE(waitFor([&] { return ksimtest::readFile(unitFile) == file; }));
    back.stop();
}

// "Ophalen" pressed while the unit is still sending its status record: the
// rest of the record is no message of its own and swallows no entry. When
// the unit breaks its record off, the request goes again after 2 s without
// an entry; a refused one goes again at once.
TEST_F(KvctrlInterruptionsTest, DownloadRequestWrittenInTheMiddleOfAStatusRecordLosesNoEntry)
{
    const Bytes record = {0x01, 0x01, 0x44, 0x02, 0x01, 0x00, 0xc8, 0x22, 0x4b, 0x56, 0x38, 0x38, 0x38, 0x38, 0x47,
                          0x4d, 0x2d, 0x45, 0x44, 0x22, 0x2c, 0x22, 0x56, 0x45, 0x52, 0x53, 0x49, 0x4f, 0x4e, 0x3a,
                          0x20, 0x4b, 0x56, 0x2d, 0x34, 0x2e, 0x31, 0x32, 0x22, 0x2c, 0x22, 0x20, 0x20, 0x20, 0x20,
                          0x20, 0x22, 0x2c, 0x22, 0x44, 0x2e, 0x34, 0x39, 0x22, 0x2c, 0x22, 0x33, 0x35, 0x31, 0x32,
                          0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0x31, 0x39, 0x39, 0x22, 0x03, 0x8d};
    const Bytes firstHalf(record.begin(), record.begin() + 36), secondHalf(record.begin() + 36, record.end());
    // Entry 1: "Naam 1", "0612".
    const Bytes entry1 = {0x01, 0x04, 0x10, 0x02, 0x01, 0x22, 0x4e, 0x61, 0x61, 0x6d, 0x20,
                          0x31, 0x22, 0x2c, 0x22, 0x30, 0x36, 0x31, 0x32, 0x22, 0x03, 0x66};
    connectWith(200);
    const auto fetchEntryOne = [&](const char* what, const std::function<void()>& unitSends) {
        unit(firstHalf);
        post(new KvctrlDldReqEvt());
        ASSERT_EQ(written(6), DOWNLOAD_REQUEST) << what;
        unitSends();
        EXPECT_EQ(written(1), ACK) << what;
        unit(END_OF_DOWNLOAD);
        EXPECT_EQ(view.last(), "Verbonden") << what;
        EXPECT_STREQ(bin()->getEntry(1)->text, "Naam 1") << what;
        EXPECT_STREQ(bin()->getEntry(1)->tfnr, "0612") << what;
        EXPECT_TRUE(writtenNow().empty()) << what;
        bin()->setEntry(1, "", "", false, SBEntry::INVALID_TYPE);
    };
    fetchEntryOne("the record's end and the entry in one read", [&] { unit(secondHalf + entry1); });
    fetchEntryOne("in two", [&] {
        unit(secondHalf);
        unit(entry1);
    });
    fetchEntryOne("the record broken off", [&] {
        unit(entry1);  // taken as the rest of the record
        advance(190);
        EXPECT_TRUE(writtenNow().empty());
        advance(10);
        ASSERT_EQ(written(6), DOWNLOAD_REQUEST) << "asked again";
        EXPECT_EQ(view.last(), "Ophalen, wacht tot Korvan gereed is ....");
        unit(entry1);
    });
    fetchEntryOne("the request refused", [&] {
        unit(secondHalf + Bytes{0x15});
        ASSERT_EQ(written(6), DOWNLOAD_REQUEST) << "asked again";
        unit(entry1);
    });

    // A unit that never answers is asked five times in all, then lost.
    post(new KvctrlDldReqEvt());
    for (int request = 1; request <= 5; ++request) {
        ASSERT_EQ(written(6), DOWNLOAD_REQUEST) << request;
        advance(200);
    }
    EXPECT_TRUE(writtenNow().empty());
    EXPECT_EQ(view.last().rfind("RED Korvan niet aangesloten", 0), 0u) << view.last();
}

}  // namespace
