// Firmware upgrades through the unit's boot loader: the window's flows with
// the simulator, and the packet stream byte by byte with the test as the
// boot loader.

#include <set>

#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlTestKit.h"
#include "support/KvTestPack.h"

namespace {

class KvctrlUpgradeTest : public KvctrlTest {
protected:
    // A pack with an image of size bytes and the given boot loaders in the pack directory.
    void makePack(size_t size, const std::vector<std::string>& loaders = {"00", "49"})
    {
        KvTestPack p;
        p.data = KvTestPack::image(size, "KV-4.61");
        p.loaders = loaders;
        image = p.data;
        packName = p.write(Main::_revpacksDir, "KV-test");
    }
    // What the user does on the upgrade tab: pack and image chosen.
    void chooseImage()
    {
        root->createRevPack();
        root->revPack()->selectRpFile(packName.c_str());
        root->revPack()->setBinData("app.bin");
        root->binFileSet(true);
    }
    // Packet numbers of the packets the program wrote, until EOT. The unit
    // answers ACK, or NAK to the packets that arrive as the nth (from 0) of
    // those named; it leaves the packet numbered silentNr unanswered and
    // stops there.
    std::vector<int> takeImage(const std::set<size_t>& nakArrivals = {}, int silentNr = -1)
    {
        std::vector<int> numbers;
        for (int guard = 0; guard < 2000; ++guard) {
            const Bytes first = written(1);
            if (first.empty() || first[0] == 0x04) break;
            const Bytes rest = written(Kvprg::PACKET_SIZE - 1);
            if (first[0] != 0x01 || rest.size() != size_t(Kvprg::PACKET_SIZE - 1) || uint8_t(rest[0] + rest[1]) != 0xFF)
                break;
            numbers.push_back(rest[0]);
            if (rest[0] == silentNr) break;
            unit({nakArrivals.count(numbers.size() - 1) ? uint8_t(0x15) : uint8_t(0x06)});
        }
        return numbers;
    }
    // The upgrade button: the unit restarts into its boot loader, takes the
    // boot loader and reports its hardware.
    void upgradeToWaitNak()
    {
        chooseImage();
        post(new BLocalEvent(LOC_UPGRADE_REQ, true));
        ASSERT_EQ(written(6), Bytes({0x01, 0x0A, 0x00, 0x02, 0x03, 0x10})) << "upgrade request";
        EXPECT_EQ(view.last(), "Upgrading, wait boot request");
        unit({0x0B});
        const Bytes boot = written(306);
        ASSERT_EQ(boot.size(), 306u);
        EXPECT_EQ(Bytes(boot.begin(), boot.begin() + 5), Bytes({0x01, 0x0C, 0x00, 0x02, 0x49})) << "boot loader 49";
        KvprgFrame record;
        record.bootInfo("D.49", "KV8888GM-ED", "     ");
        unit(bytesOf(record));
        EXPECT_EQ(view.last(), "Upgrading, wait Nak");
    }

    // Connected, the upgrade button pressed; the unit asks for packet 1.
    void imageAsked()
    {
        connectOnPty();
        writtenNow();
        upgradeToWaitNak();
        unit({0x15});
    }
    // A unit that waits in its boot loader asks for boot data instead of
    // answering the first status request; the user chooses the image.
    // The user chooses the image while the controller waits for the choice
    // (the window's loop runs at other times too).
    void chooseWhenAsked()
    {
        view.choose = [this] {
            if (choosing || root->binFileSet()) return;
            choosing = true;  // the pack's messages let the window run too
            chooseImage();
            choosing = false;
        };
    }
    void bootLoaderOnPty()
    {
        chooseWhenAsked();
        startOnPty();
        ASSERT_EQ(written(6), STATUS_REQUEST);
        unit({0x0B});
    }
    static Bytes bootRecord(const char* hardware, const char* type = "KV8888GM-ED")
    {
        KvprgFrame record;
        record.bootInfo(hardware, type, "     ");
        return bytesOf(record);
    }
    // The port by a name that can go away and come back, as a USB adapter's.
    void connectOnLink()
    {
        link = dir + "/korvan0";
        ASSERT_EQ(::symlink(pty.name.c_str(), link.c_str()), 0);
        start(link);
        ASSERT_EQ(written(6), STATUS_REQUEST);
        unit(statusRecord());
        writtenNow();
    }
    void pullPort()
    {
        ::close(pty.master);
        pty.master = -1;
        ::unlink(link.c_str());
        serve();
    }
    void plugPortBack()
    {
        KvPty back;
        std::swap(pty.master, back.master);
        std::swap(pty.name, back.name);
        ASSERT_EQ(::symlink(pty.name.c_str(), link.c_str()), 0);
    }

    std::string image, packName, link;
    bool choosing = false;
};

TEST_F(KvctrlUpgradeTest, UnitInItsBootLoaderGetsTheAlertThenTheTabThenTheImageAfterTheChoice)
{
    makePack(3000);
    int idleAtChoice = -1;
    view.choose = [&] {
        if (idleAtChoice < 0) idleAtChoice = inState(KVCTRLCONNIDLE);
        chooseImage();
    };
    ASSERT_TRUE(sim.start({"--boot", "--image", sim.path("image.bin")}));
    start(sim.device);
    ASSERT_TRUE(waitFor([this] { return view.waits > 0; }));
    EXPECT_EQ(idleAtChoice, 0) << "a unit in its boot loader is never idle";
    EXPECT_TRUE(inState(KVCTRLUPGRADING));
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_NE(dialogs.alerts[0].find("www.ombrix.nl"), std::string::npos);
    EXPECT_EQ(view.upgradeTabs, 1);
    ASSERT_TRUE(waitFor([this] { return view.showed("Upgrading 100% ready") && view.last() == "Verbonden"; }))
        << view.last();
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
    EXPECT_EQ(simLogCount("boot data of 300 bytes taken"), 1) << "the boot loader for hardware 49 replaced the first";
    EXPECT_EQ(Main::_exitCode, 0);
    EXPECT_FALSE(view.busy);
    advance(100);
    ASSERT_TRUE(waitFor([this] { return view.identity.find("KV-4.61") != std::string::npos; })) << view.identity;
}

TEST_F(KvctrlUpgradeTest, UnitThatResetsDuringTheImageIsLostThenComesBackThroughItsBootLoader)
{
    makePack(3000);
    view.choose = [this] { chooseImage(); };
    ASSERT_TRUE(sim.start({"--boot", "--reset-after", "5", "--image", sim.path("image.bin")}));
    start(sim.device);
    const std::string told = "Upgrade afgebroken na 640 van 3000 bytes: de Korvan is tijdens het image opnieuw gestart.";
    ASSERT_TRUE(waitFor([&] { return view.showed("RED Korvan niet aangesloten - " + told); }, 10000))
        << view.last();
    // Disconnected polls; the unit, still in its boot loader, asks again.
    for (int i = 0; i < 50 && dialogs.alerts.size() < 3; ++i) {
        advance(100);
        waitFor([this] { return dialogs.alerts.size() >= 3; }, 100);
    }
    ASSERT_EQ(dialogs.alerts.size(), 3u);
    EXPECT_EQ(dialogs.alerts[1], told);
    ASSERT_TRUE(waitFor([this] { return simLogCount("image of 3072 bytes") == 1; }, 10000)) << view.last();
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
}

TEST_F(KvctrlUpgradeTest, PacketsResendOnlyTheOneRefusedAndNumbersWrapAfter255)
{
    makePack(33000);
    connectOnPty();
    writtenNow();
    upgradeToWaitNak();
    unit({0x15});  // ready for packet 1
    const std::vector<int> numbers = takeImage({6});
    ASSERT_EQ(numbers.size(), 258u + 1u);
    EXPECT_EQ(std::vector<int>(numbers.begin(), numbers.begin() + 9), std::vector<int>({1, 2, 3, 4, 5, 6, 7, 7, 8}))
        << "a NAK for packet 7 brings packet 7 again: a receiver breaks off at one it took before";
    EXPECT_EQ(numbers[255], 255);
    EXPECT_EQ(numbers[256], 0);
    EXPECT_EQ(numbers.back(), 2);
    EXPECT_TRUE(view.showed("Upgrading 100% ready"));

    unit({0x15});
    EXPECT_EQ(written(1), Bytes({0x04})) << "EOT again after a NAK";
    unit({0x06});
    EXPECT_EQ(view.last(), "Verbonden");
    EXPECT_EQ(Main::_exitCode, 0);
}

TEST_F(KvctrlUpgradeTest, LastPacketIsPaddedAndABootRecordThatDoesNotComeBringsTheBootLoaderAgain)
{
    makePack(300);
    connectOnPty();
    writtenNow();
    chooseImage();
    post(new BLocalEvent(LOC_UPGRADE_REQ, true));
    written(6);
    unit({0x0B});
    ASSERT_EQ(written(306).size(), 306u);
    advance(799);
    EXPECT_TRUE(writtenNow().empty());
    advance(1);
    EXPECT_EQ(written(306).size(), 306u) << "8 seconds without a boot record";
    EXPECT_TRUE(view.showed("Wait status info, try other 2nd stage bootloader..."));
    EXPECT_EQ(sleptMs(), 2000u);

    KvprgFrame record;
    record.bootInfo("D.49", "KV8888GM-ED", "     ");
    unit(bytesOf(record));
    unit({0x15});
    ASSERT_EQ(written(Kvprg::PACKET_SIZE).size(), size_t(Kvprg::PACKET_SIZE));
    unit({0x06});
    ASSERT_EQ(written(Kvprg::PACKET_SIZE).size(), size_t(Kvprg::PACKET_SIZE));
    unit({0x06});
    const Bytes last = written(Kvprg::PACKET_SIZE);
    ASSERT_EQ(last.size(), size_t(Kvprg::PACKET_SIZE));
    EXPECT_EQ(Bytes(last.begin(), last.begin() + 3), Bytes({0x01, 0x03, 0xFC}));
    uint8_t sum = 0;
    for (int i = 3; i < 3 + 128; ++i) sum = uint8_t(sum + last[i]);
    EXPECT_EQ(Bytes(last.begin() + 3 + 44, last.begin() + 3 + 128), Bytes(84, 0xFF)) << "44 image bytes, 84 pad bytes";
    EXPECT_EQ(last[131], sum) << "the checksum counts the pad bytes";
    EXPECT_EQ(view.last(), "Upgrading 100% ready");
}

TEST_F(KvctrlUpgradeTest, ImageOfOnePacketIsFollowedByEot)
{
    makePack(100);
    imageAsked();
    ASSERT_EQ(written(Kvprg::PACKET_SIZE).size(), size_t(Kvprg::PACKET_SIZE));
    unit({0x06});
    EXPECT_EQ(written(Kvprg::PACKET_SIZE), Bytes({0x04})) << "no packet beyond the image";
}

TEST_F(KvctrlUpgradeTest, TenNaksInARowOrThirtySilentSecondsEndTheUpgrade)
{
    makePack(1000);
    imageAsked();
    int packets = written(Kvprg::PACKET_SIZE).size() == size_t(Kvprg::PACKET_SIZE) ? 1 : 0;
    for (int nak = 1; nak <= 10; ++nak) {
        unit({0x15});
        if (written(Kvprg::PACKET_SIZE, 200).size() == size_t(Kvprg::PACKET_SIZE)) ++packets;
    }
    EXPECT_EQ(packets, 10) << "the first packet and nine resends";
    const std::string naks = "Upgrade afgebroken na 0 van 1000 bytes: de Korvan weigerde het image 10 keer achter elkaar.";
    EXPECT_EQ(view.last(), "RED Korvan niet aangesloten - " + naks);

    // Found again, the next upgrade waits for a boot-loader request that never comes.
    advance(100);
    written(6);
    unit(statusRecord());
    ASSERT_EQ(view.last(), "Verbonden - " + naks);
    post(new BLocalEvent(LOC_UPGRADE_REQ, true));
    advance(2999);
    EXPECT_EQ(view.last(), "Upgrading, wait boot request");
    advance(1);
    EXPECT_EQ(view.last(), "RED Korvan niet aangesloten - Upgrade afgebroken na 0 van 1000 bytes: de Korvan antwoordt niet meer.");
    EXPECT_EQ(dialogs.alerts, (std::vector<std::string>{naks, "Upgrade afgebroken na 0 van 1000 bytes: de Korvan antwoordt niet meer."}));
}

TEST_F(KvctrlUpgradeTest, UnitInItsBootLoaderIsUpgradedFromAPackHoldingOnlyTheLoaderFor49)
{
    makePack(3000, {"49"});
    chooseWhenAsked();
    ASSERT_TRUE(sim.start({"--boot", "--image", sim.path("image.bin")}));
    start(sim.device);
    ASSERT_TRUE(waitFor([this] { return view.showed("Upgrading 100% ready") && view.last() == "Verbonden"; }))
        << view.last();
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
    EXPECT_EQ(simLogCount("boot data of"), 1) << "the pack's loader, confirmed by the boot record";
    EXPECT_EQ(sleptMs(), 0u) << "no pause over a loader chosen before the hardware was known";
    for (const std::string& s : view.status) EXPECT_EQ(s.find("Invalid Revpack"), std::string::npos) << s;
}

TEST_F(KvctrlUpgradeTest, BootRecordNamingHardwareThePackHasNoLoaderForEndsTheUpgradeNamingThePack)
{
    makePack(3000, {"49"});
    bootLoaderOnPty();
    ASSERT_EQ(written(306).size(), 306u) << "the pack's one loader while the hardware is unknown";
    unit(bootRecord("B.48"));
    EXPECT_TRUE(writtenNow().empty());
    const std::string told =
        "Upgrade afgebroken na 0 van 3000 bytes: RevPack " + packName + " heeft geen 2e bootloader voor hardware B.48.";
    ASSERT_EQ(dialogs.alerts.size(), 2u) << "the boot-loader alert, then the failure";
    EXPECT_EQ(dialogs.alerts[1], told);
    EXPECT_EQ(view.last(), "RED Korvan niet aangesloten - " + told);
    advance(300);
    EXPECT_EQ(view.last(), "RED Korvan niet aangesloten - " + told) << "the note stays";

    // Asked again, the hardware known now: nothing can go out, and the
    // upgrade ends at the request instead of waiting for a boot record.
    writtenNow();
    unit({0x0B});
    unit({0x0B});
    EXPECT_TRUE(writtenNow().empty());
    EXPECT_EQ(dialogs.alerts.back(), told);
}

TEST_F(KvctrlUpgradeTest, ImageTheBootRecordRefusesIsNotSentWhenTheUnitAskedAtStartOrLaterWhileIdle)
{
    makePack(1000);
    view.imageAllowed = false;
    bootLoaderOnPty();
    ASSERT_EQ(written(206).size(), 206u) << "the loader below 49 while the hardware is unknown";
    unit(bootRecord("B.48", "KV1111PM-ED"));
    unit({0x15});
    EXPECT_TRUE(writtenNow().empty()) << "no packet";
    ASSERT_EQ(dialogs.alerts.size(), 2u);
    EXPECT_EQ(dialogs.alerts[1],
              "Upgrade afgebroken na 0 van 1000 bytes: het image past niet bij deze Korvan (type KV1111PM-ED, hardware B.48).");

    // Back as the application, the unit later asks by itself: the image
    // chosen before is checked against its boot record all the same.
    unit(statusRecord());
    ASSERT_EQ(view.last(), "Verbonden - " + dialogs.alerts[1]);
    writtenNow();
    unit({0x0B});
    ASSERT_EQ(written(206).size(), 206u);
    unit(bootRecord("B.48", "KV1111PM-ED"));
    unit({0x15});
    EXPECT_TRUE(writtenNow().empty()) << "no packet";
    EXPECT_FALSE(view.showed("Upgrading, wait Nak"));
    EXPECT_EQ(dialogs.alerts.size(), 3u);
}

TEST_F(KvctrlUpgradeTest, NakOnTheLastPacketSendsItAgainBeforeEot)
{
    makePack(300);
    imageAsked();
    EXPECT_EQ(takeImage({2}), std::vector<int>({1, 2, 3, 3}));
    unit({0x06});
    EXPECT_EQ(view.last(), "Verbonden");
}

TEST_F(KvctrlUpgradeTest, AnAckEndsARunOfNaksSoTenSpreadOverTheImageDoNotEndIt)
{
    makePack(33000);
    imageAsked();
    std::set<size_t> naks;
    for (size_t k = 1; k <= 10; ++k) naks.insert(k * 25);
    const std::vector<int> numbers = takeImage(naks);
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(numbers.back(), 2) << "the image's last packet, 258 wrapped";
    unit({0x06});
    EXPECT_EQ(view.last(), "Verbonden");
    EXPECT_TRUE(dialogs.alerts.empty());
}

// While the end of the image goes unanswered, the unit is asked for its
// status and sent EOT by turns, 1.5 s apart. A unit that runs its
// application again answers the status request, and the version it reports
// decides; so does the one it reports later when nothing answered at all.
TEST_F(KvctrlUpgradeTest, UnansweredEotGoesAgainByTurnsWithAStatusRequestAndTheUnitsReportDecides)
{
    makePack(100);
    imageAsked();
    KvprgFrame upgraded;
    upgraded.statusInfo(1, 0, 200, "KV8888GM-ED", "VERSION: KV-4.20", "     ", "D.49", "351234567890123");
    const auto imageOut = [this] {
        ASSERT_EQ(written(Kvprg::PACKET_SIZE).size(), size_t(Kvprg::PACKET_SIZE));
        unit({0x06});
        EXPECT_EQ(written(1), Bytes({0x04}));
    };
    imageOut();
    advance(149);
    EXPECT_TRUE(writtenNow().empty());
    advance(1);
    EXPECT_EQ(written(6), STATUS_REQUEST) << "the unit may run its application already";
    advance(150);
    EXPECT_EQ(written(1), Bytes({0x04})) << "or the first EOT was lost";
    unit({0x06});
    EXPECT_EQ(view.last(), "Verbonden");
    EXPECT_EQ(Main::_exitCode, 0);
    unit(bytesOf(upgraded));
    EXPECT_EQ(view.last(), "Verbonden - Upgrade gereed: de Korvan meldt software KV-4.20");

    // The answer to the end lost: the unit's status record ends the upgrade.
    upgradeToWaitNak();
    EXPECT_EQ(view.last(), "Upgrading, wait Nak") << "a new upgrade clears the note";
    unit({0x15});
    imageOut();
    advance(150);
    EXPECT_EQ(written(6), STATUS_REQUEST);
    unit(bytesOf(upgraded));
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_EQ(view.last(), "Verbonden - Upgrade gereed: de Korvan meldt software KV-4.20 (einde niet bevestigd)");
    EXPECT_EQ(Main::_exitCode, 0);

    // Nothing answers: ten EOTs, then the unit is asked on as whenever
    // connected, and reports the software it had: the end was never taken.
    upgradeToWaitNak();
    unit({0x15});
    imageOut();
    for (int eot = 2; eot <= 10; ++eot) {
        advance(150);
        EXPECT_EQ(written(6, 200), STATUS_REQUEST) << eot;
        advance(150);
        EXPECT_EQ(written(1, 200), Bytes({0x04})) << eot;
    }
    advance(150);
    EXPECT_EQ(written(6, 200), STATUS_REQUEST);
    advance(150);
    EXPECT_EQ(view.last(), "Verbonden") << "no eleventh EOT";
    writtenNow();
    advance(100);
    EXPECT_EQ(written(6), STATUS_REQUEST);
    EXPECT_TRUE(dialogs.alerts.empty());
    unit(statusRecord());
    const std::vector<std::string> failed{
        "Upgrade afgebroken na 100 van 100 bytes: de Korvan bevestigde het einde van het image niet."};
    EXPECT_EQ(dialogs.alerts, failed);

    // A main loop that runs only every 5 s sends fewer: the upgrade's 30 s
    // since the unit last answered end the wait as soon.
    dialogs.alerts.clear();
    upgradeToWaitNak();
    unit({0x15});
    imageOut();
    for (int pass = 0; pass < 6; ++pass) {
        helmtest::FakeClock::advance(500);
        serve();
    }
    EXPECT_EQ(view.last(), "Verbonden");
    advance(100);
    unit(statusRecord());
    EXPECT_EQ(dialogs.alerts, failed);
}

TEST_F(KvctrlUpgradeTest, PortThatGoesAwayDuringTheImageAndComesBackIsOpenedAgainAndThePacketSentAgain)
{
    makePack(3000);
    connectOnLink();
    upgradeToWaitNak();
    unit({0x15});  // the unit asks for packet 1
    EXPECT_EQ(takeImage({}, 6), std::vector<int>({1, 2, 3, 4, 5, 6}));
    pullPort();
    advance(500);
    EXPECT_EQ(view.last(), "Upgrading 25% ready");
    plugPortBack();
    advance(100);
    EXPECT_EQ(takeImage(), std::vector<int>({6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}))
        << "the packet whose answer did not come";
    unit({0x06});
    EXPECT_EQ(view.last(), "Verbonden");
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(KvctrlUpgradeTest, UpgradeWhosePortDoesNotComeBackIsToldWithHowFarItGot)
{
    makePack(3000);
    connectOnLink();
    upgradeToWaitNak();
    unit({0x15});  // the unit asks for packet 1
    EXPECT_EQ(takeImage({}, 6).size(), 6u);
    pullPort();
    advance(2990);
    EXPECT_EQ(view.last(), "Upgrading 25% ready");
    EXPECT_TRUE(dialogs.alerts.empty());
    advance(10);
    const std::string told = "Upgrade afgebroken na 640 van 3000 bytes: de COM poort is weggevallen.";
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{told});
    advance(500);
    EXPECT_EQ(view.last(), "RED COM poort niet beschikbaar - " + told) << "the note stays";
    EXPECT_TRUE(view.buttonsOn);
    EXPECT_FALSE(view.busy);
}

}  // namespace

TEST_F(KvctrlUpgradeTest, UpgradeCountsAsDoneOnlyWhenTheUnitReportsTheImagesVersionWithinAMinute)
{
    makePack(100);
    imageAsked();
    ASSERT_EQ(written(Kvprg::PACKET_SIZE).size(), size_t(Kvprg::PACKET_SIZE));
    unit({0x06});
    EXPECT_EQ(written(1), Bytes({0x04}));
    unit({0x06});
    KvprgFrame old;
    old.statusInfo(1, 0, 200, "KV8888GM-ED", "VERSION: KV-4.12", "     ", "D.49", "351234567890123");
    unit(bytesOf(old));
    EXPECT_EQ(dialogs.alerts,
              std::vector<std::string>{"Upgrade mislukt: de Korvan meldt KV-4.12 na de upgrade, verwacht KV-4.20"});

    // A unit that stays silent is given up after 60 s, not before.
    dialogs.alerts.clear();
    upgradeToWaitNak();
    unit({0x15});
    ASSERT_EQ(written(Kvprg::PACKET_SIZE).size(), size_t(Kvprg::PACKET_SIZE));
    unit({0x06});
    EXPECT_EQ(written(1), Bytes({0x04}));
    unit({0x06});
    advance(5999);
    EXPECT_TRUE(dialogs.alerts.empty());
    advance(1);
    EXPECT_EQ(dialogs.alerts,
              std::vector<std::string>{"Upgrade mislukt: de Korvan meldde zich niet binnen 60 s na de upgrade"});
}
