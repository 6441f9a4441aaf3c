// Finding, identifying and watching a unit: the controller with its real
// driver and parser, the test as the unit on a pseudo-terminal.

#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/PortFaultText.h"
#include "korprog/progctrl/States/KvctrlTestKit.h"
#include "support/ForeignPortHolder.h"

namespace {

const std::string NOT_CONNECTED = "RED Korvan niet aangesloten";

TEST_F(KvctrlTest, UnitIsIdentifiedPolledEverySecondLostAfterTenSilentSecondsAndFoundAgain)
{
    startOnPty();
    EXPECT_EQ(view.last(), "Initializeren ...");
    ASSERT_EQ(written(6), STATUS_REQUEST);
    unit(statusRecord());
    EXPECT_EQ(view.last(), "Verbonden");
    EXPECT_EQ(view.identity, "KV8888GM-ED|KV-4.12|     |D.49|351234567890123");
    EXPECT_STREQ(RevPackDb::actHwVersion(), "D.49");

    int answered = 0;
    for (int second = 0; second < 60; ++second) {
        advance(100);
        if (written(6, 500) != STATUS_REQUEST) break;
        unit(statusRecord());
        ++answered;
    }
    EXPECT_EQ(answered, 60);
    EXPECT_TRUE(writtenNow().empty());

    // The unit falls silent right after its last answer.
    advance(999);
    EXPECT_EQ(view.last(), "Verbonden");
    EXPECT_EQ(Main::_exitCode, 0);
    advance(1);
    EXPECT_EQ(view.last(), NOT_CONNECTED);
    EXPECT_EQ(Main::_exitCode, 1);
    EXPECT_EQ(view.identity, "||||");

    writtenNow();
    advance(100);
    ASSERT_EQ(written(6), STATUS_REQUEST) << "polled while disconnected";
    unit(statusRecord());
    EXPECT_EQ(view.last(), "Verbonden");
    EXPECT_EQ(view.identity.substr(0, 11), "KV8888GM-ED");
}

TEST_F(KvctrlTest, UnitErrorsAreShownOncePerConnectionAndANakChangesNothing)
{
    startOnPty();
    ASSERT_EQ(written(6), STATUS_REQUEST);
    root->setError(KvctrlRoot::CTRL_COM_NOT_OPEN, true);
    unit(statusRecord(0x05));
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0],
              "Attentie!! Volgende Fouten gedetecteerd:\n1. Korvan fout, ( Algemeen )\n"
              "3. Korvan fout, ( Ongeldige PIN )\n5. COM poort niet beschikbaar\n");
    root->setError(KvctrlRoot::CTRL_COM_NOT_OPEN, false);

    advance(100);
    ASSERT_EQ(written(6), STATUS_REQUEST);
    unit(statusRecord(0x05));
    EXPECT_EQ(dialogs.alerts.size(), 1u) << "shown once per connection";

    unit({0x15});
    EXPECT_TRUE(writtenNow().empty()) << "a NAK while idle is not answered";
    EXPECT_EQ(view.last(), "Verbonden");

    advance(100);
    ASSERT_EQ(written(6), STATUS_REQUEST);
    unit(statusRecord(255));
    EXPECT_FALSE(root->error(KvctrlRoot::CTRL_GENERAL));
    EXPECT_FALSE(root->error(KvctrlRoot::CTRL_INV_PIN));

    advance(1000);
    ASSERT_EQ(view.last(), NOT_CONNECTED);
    writtenNow();
    advance(100);
    ASSERT_EQ(written(6), STATUS_REQUEST);
    unit(statusRecord(0x02));
    ASSERT_EQ(dialogs.alerts.size(), 2u) << "a new connection shows the errors again";
    EXPECT_NE(dialogs.alerts[1].find("2. Korvan fout, ( SIM niet aanwezig )"), std::string::npos);
}

TEST_F(KvctrlTest, MissingPortIsShownInRedAtOnceAndWhyOncePerChoiceOfPort)
{
    start("/dev/no-such-tty");
    EXPECT_EQ(view.last(), "RED COM poort niet beschikbaar");
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"COM poort /dev/no-such-tty bestaat niet.\n"
                                                       "Controleer de kabel of kies een andere poort via Opties."});
    advance(300);
    EXPECT_EQ(view.last(), "RED COM poort niet beschikbaar");
    EXPECT_EQ(dialogs.alerts.size(), 1u) << "not at every life check";
    EXPECT_EQ(Main::_exitCode, 0);

    // The user chooses a port another program holds, then one another run
    // of ours has.
    ForeignPortHolder other(pty.name);
    ASSERT_TRUE(other.held());
    root->configInit()->comActive(pty.name.c_str());
    view.bndSt->portSettings();
    helmtest::drain();
    ASSERT_EQ(dialogs.alerts.size(), 2u);
    EXPECT_EQ(dialogs.alerts[1], "COM poort " + pty.name + " is in gebruik door een ander programma.\n"
                                 "Sluit dat programma of kies een andere poort via Opties.");
    other.release();
    Serial run;
    ASSERT_TRUE(run.openPort(pty.name.c_str()));
    view.bndSt->portSettings();
    helmtest::drain();
    ASSERT_EQ(dialogs.alerts.size(), 3u);
    EXPECT_EQ(dialogs.alerts[2], "COM poort " + pty.name + " is in gebruik door KorProg (proces " +
                                     std::to_string(::getpid()) + ").\nWacht tot die klaar is of kies een andere poort via Opties.");
    run.closePort();
    view.bndSt->portSettings();
    helmtest::drain();
    EXPECT_EQ(dialogs.alerts.size(), 3u);
    EXPECT_FALSE(root->error(KvctrlRoot::CTRL_COM_NOT_OPEN));
    EXPECT_EQ(view.last(), NOT_CONNECTED) << "the port is back: said at once, not at the next poll";

    // What cannot be made to happen here: a port the user may not open.
    const std::string denied = PortFaultText::full(Serial::NO_PERMISSION, "/dev/ttyUSB0");
    EXPECT_EQ(denied.rfind("Geen toegang tot COM poort /dev/ttyUSB0.\n", 0), 0u) << denied;
    EXPECT_NE(denied.find("dialout:\n    sudo usermod -aG dialout $USER\n"), std::string::npos) << denied;
    EXPECT_EQ(PortFaultText::full(Serial::OPEN_OK, "x"), "");
}

TEST_F(KvctrlTest, UnattendedRunWithoutAPortEndsWithTheReasonInsteadOfAnAlert)
{
    std::ofstream("new.adn") << "KV8888GM-ED|1\n";
    FrmKorProgImpl::PROG_FILE_ADN = "new.adn";
    FrmKorProgImpl::CMDL_PROGRAM = true;
    start("");
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_EQ(RunFailure::ofRun().reason, "COM poort niet beschikbaar: Voor communicatie met Korvan eerst COM poort, "
                                          "via Opties knop instellen.");
    EXPECT_EQ(RunFailure::ofRun().kind, RunFailure::Kind::Port);
    EXPECT_TRUE(Main::_shutdown);
    EXPECT_EQ(Main::exitCode(), 1);
}

// Both end with the same words; whoever started the run acts on the kind:
// no unit at all is a cable to check, a unit that went is one to look at.
TEST_F(KvctrlTest, UnattendedRunTellsAUnitThatNeverAnsweredFromOneThatWentSilent)
{
    std::ofstream("new.adn") << "KV8888GM-ED|1\n";
    FrmKorProgImpl::PROG_FILE_ADN = "new.adn";
    FrmKorProgImpl::CMDL_PROGRAM = true;
    startOnPty();
    advance(1000);
    EXPECT_EQ(RunFailure::ofRun().reason, "Korvan niet aangesloten");
    EXPECT_EQ(RunFailure::ofRun().kind, RunFailure::Kind::NoUnit);
    EXPECT_TRUE(Main::_shutdown);

    // The same run once a unit answered (nothing to program: it only answers).
    RunFailure::reset();
    Main::_shutdown = false;
    FrmKorProgImpl::PROG_FILE_ADN = "";
    advance(100);
    ASSERT_EQ(written(6), STATUS_REQUEST);
    unit(statusRecord());
    ASSERT_EQ(view.last(), "Verbonden");
    advance(1000);
    EXPECT_EQ(RunFailure::ofRun().reason, "Korvan niet aangesloten");
    EXPECT_EQ(RunFailure::ofRun().kind, RunFailure::Kind::UnitLost);
    EXPECT_TRUE(Main::_shutdown);
}

TEST_F(KvctrlTest, NoUnitIsNotConnectedAfterTenSecondsAndProgrammerenThenDoesNothing)
{
    startOnPty();
    advance(999);
    EXPECT_EQ(view.last(), "Initializeren ...");
    Bytes requests = written(30);
    EXPECT_EQ(requests, STATUS_REQUEST + STATUS_REQUEST + STATUS_REQUEST + STATUS_REQUEST + STATUS_REQUEST)
        << "one status request every 2 seconds";
    advance(1);
    EXPECT_EQ(view.last(), NOT_CONNECTED);
    EXPECT_EQ(Main::_exitCode, 1);

    writtenNow();
    post(new KvctrlUplReqEvt());
    post(new KvctrlDldReqEvt());
    EXPECT_TRUE(writtenNow().empty());
    EXPECT_EQ(view.last(), NOT_CONNECTED);
}

TEST_F(KvctrlTest, BootLoaderRequestWhileIdleWithoutAnImageOnlyAsksForOne)
{
    connectOnPty();
    writtenNow();
    unit({0x0B});
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_NE(dialogs.alerts[0].find("( www.ombrix.nl )."), std::string::npos);
    EXPECT_EQ(view.upgradeTabs, 1);
    EXPECT_TRUE(writtenNow().empty());
    EXPECT_EQ(view.last(), "Verbonden");
}

}  // namespace
