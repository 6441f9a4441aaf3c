// Firmware upgrades through the unit's boot loader: the window's flows with
// the simulator, and the packet stream byte by byte with the test as the
// boot loader.

#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlTestKit.h"
#include "support/KvTestPack.h"

namespace {

class KvctrlUpgradeTest : public KvctrlTest {
protected:
    // A pack with an image of size bytes in the pack directory.
    void makePack(size_t size)
    {
        KvTestPack p;
        p.data = KvTestPack::image(size, "KV-6.01");
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
    // Packet numbers of the packets the program wrote, one ACK after each,
    // until EOT; the unit NAKs the packet numbered nakNr once.
    std::vector<int> takeImage(int nakNr = -1)
    {
        std::vector<int> numbers;
        bool naked = false;
        for (int guard = 0; guard < 2000; ++guard) {
            const Bytes first = written(1);
            if (first.empty() || first[0] == 0x04) break;
            const Bytes rest = written(Kvprg::PACKET_SIZE - 1);
            if (first[0] != 0x01 || rest.size() != size_t(Kvprg::PACKET_SIZE - 1) || uint8_t(rest[0] + rest[1]) != 0xFF)
                break;
            numbers.push_back(rest[0]);
            const bool nak = rest[0] == nakNr && !naked;
            naked = naked || nak;
            unit({nak ? uint8_t(0x15) : uint8_t(0x06)});
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

    std::string image, packName;
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
    ASSERT_TRUE(waitFor([this] { return view.identity.find("KV-6.01") != std::string::npos; })) << view.identity;
}

TEST_F(KvctrlUpgradeTest, UnitThatResetsDuringTheImageIsLostThenComesBackThroughItsBootLoader)
{
    makePack(3000);
    view.choose = [this] { chooseImage(); };
    ASSERT_TRUE(sim.start({"--boot", "--reset-after", "5", "--image", sim.path("image.bin")}));
    start(sim.device);
    ASSERT_TRUE(waitFor([this] { return view.showed("RED Korvan niet aangesloten"); }, 10000));
    // Disconnected polls; the unit, still in its boot loader, asks again.
    for (int i = 0; i < 50 && dialogs.alerts.size() < 2; ++i) {
        advance(100);
        waitFor([this] { return dialogs.alerts.size() >= 2; }, 100);
    }
    EXPECT_EQ(dialogs.alerts.size(), 2u);
    ASSERT_TRUE(waitFor([this] { return simLogCount("image of 3072 bytes") == 1; }, 10000)) << view.last();
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
}

TEST_F(KvctrlUpgradeTest, PacketsResendTheirSegmentOnNakAndNumbersWrapAfter255)
{
    makePack(33000);
    connectOnPty();
    writtenNow();
    upgradeToWaitNak();
    unit({0x15});  // ready for packet 1
    const std::vector<int> numbers = takeImage(7);
    ASSERT_EQ(numbers.size(), 258u + 3u);
    EXPECT_EQ(std::vector<int>(numbers.begin(), numbers.begin() + 9), std::vector<int>({1, 2, 3, 4, 5, 6, 7, 5, 6}))
        << "a NAK for packet 7 goes back to packet 5, the start of its segment";
    EXPECT_EQ(numbers[257], 255);
    EXPECT_EQ(numbers[258], 0);
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
    connectOnPty();
    writtenNow();
    upgradeToWaitNak();
    unit({0x15});
    ASSERT_EQ(written(Kvprg::PACKET_SIZE).size(), size_t(Kvprg::PACKET_SIZE));
    unit({0x06});
    EXPECT_EQ(written(Kvprg::PACKET_SIZE), Bytes({0x04})) << "no packet beyond the image";
}

TEST_F(KvctrlUpgradeTest, TenNaksInARowOrThirtySilentSecondsEndTheUpgrade)
{
    makePack(1000);
    connectOnPty();
    writtenNow();
    upgradeToWaitNak();
    unit({0x15});
    int packets = written(Kvprg::PACKET_SIZE).size() == size_t(Kvprg::PACKET_SIZE) ? 1 : 0;
    for (int nak = 1; nak <= 10; ++nak) {
        unit({0x15});
        if (written(Kvprg::PACKET_SIZE, 200).size() == size_t(Kvprg::PACKET_SIZE)) ++packets;
    }
    EXPECT_EQ(packets, 10) << "the first packet and nine resends";
    EXPECT_EQ(view.last(), "RED Korvan niet aangesloten");

    // Found again, the next upgrade waits for a boot-loader request that never comes.
    advance(100);
    written(6);
    unit(statusRecord());
    ASSERT_EQ(view.last(), "Verbonden");
    post(new BLocalEvent(LOC_UPGRADE_REQ, true));
    advance(2999);
    EXPECT_EQ(view.last(), "Upgrading, wait boot request");
    advance(1);
    EXPECT_EQ(view.last(), "RED Korvan niet aangesloten");
}

}  // namespace
