// The simulator's unit logic in-process, on a clock of the test's own: the
// faults and the boot loader's timers, without waiting for any of them.

#include "korvansim/KsimUnit.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "SimProcess.h"  // the line helpers
#include "korprog/KvprgPacket.h"

using namespace Kvprg;
using namespace ksimtest;

namespace {

// Frames as they are on the line, written out: SOH, type, length, STX,
// data, ETX, sum. Zero bytes included.
template <size_t N>
std::string bytes(const char (&s)[N])
{
    return std::string(s, N - 1);
}
const std::string UPLOAD_REQ = bytes("\x01\x02\x00\x02\x03\x08");
const std::string DOWNLOAD_REQ = bytes("\x01\x03\x00\x02\x03\x09");
const std::string XFER_END = bytes("\x01\x05\x00\x02\x03\x0B");
const std::string STATUS_REQ = bytes("\x01\x00\x00\x02\x03\x06");
const std::string ENTRY_4 = bytes("\x01\x04\x10\x02\x04\"Kelder\",\"0612\"\x03\xF2");
const std::string ENTRY_5_SENT = bytes("\x01\x04\x0E\x02\x05\"Keuken\",\"12\"\x03\x97");
const std::string ENTRY_5_STORED = bytes("\x01\x04\x0E\x02\x05\"KeukeX\",\"12\"\x03\x81");
const std::string STATUS_KV412 = bytes("\x01\x01"
                                       "D\x02\x01\x00\xC8\"KV8888GM-ED\",\"VERSION: KV-4.12\",\"     \",\"D.49\","
                                       "\"351234567890123\"\x03\x80");

class KsimUnitTest : public ::testing::Test {
protected:
    KsimUnitTest() { opt.imageFile = "/tmp/ksimunit-" + std::to_string(::getpid()) + "-image.bin"; }
    void TearDown() override { ::unlink(opt.imageFile.c_str()); }
    void start()
    {
        unit.reset(new KsimUnit(opt, &settings, [this](const std::string& t) { log += t + "\n"; }));
        unit->start(now);
        unit->lineOpened(now);
    }
    std::string feed(const std::string& bytes)
    {
        unit->receive(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()), now);
        return unit->takeOutput();
    }
    std::string feed(const KvprgFrame& f) { return feed(str(f)); }
    std::string request(uint8_t type) { return feed(requestFrame(type)); }
    std::string advance(int64_t us)
    {
        unit->poll(now += us);
        return unit->takeOutput();
    }
    static uint8_t type(const std::string& s) { return frame(s).type(); }
    static int entryNr(const std::string& s)
    {
        uint8_t nr = 0;
        return frame(s).entryFields(&nr, nullptr, nullptr) ? nr : -1;
    }
    static std::string packet(uint8_t nr, const std::string& data)
    {
        KvprgPacket p;
        p.fill(nr, reinterpret_cast<const uint8_t*>(data.data()), static_cast<int>(data.size()), 0);
        uint8_t w[PACKET_SIZE];
        p.wire(w);
        return std::string(reinterpret_cast<const char*>(w), PACKET_SIZE);
    }
    // Boot data, boot record, then the NAK for packet 1.
    void intoImageTransfer()
    {
        KvprgFrame bd;
        const uint8_t boot[] = {1, 2, 3};
        bd.bootloadData(boot, 3);
        EXPECT_EQ("", feed(bd));
        ASSERT_EQ(MSG_BOOT_INFO, type(advance(KsimUnit::QUIET_US)));
        ASSERT_EQ(byte(NAK), advance(KsimUnit::NAK_DELAY_US));
    }

    KsimOptions opt;
    KsimSettings settings;
    std::string log;
    int64_t now = 1000000;
    std::unique_ptr<KsimUnit> unit;
};

} // namespace

TEST_F(KsimUnitTest, DownloadWaitsEveryKEntriesAndResendsOnNak)
{
    opt.entries = 5;
    opt.waitEvery = 2;
    start();
    EXPECT_EQ(1, entryNr(request(MSG_DOWNLOAD_REQ)));
    EXPECT_EQ(2, entryNr(feed(byte(ACK))));
    EXPECT_EQ(2, entryNr(feed(byte(NAK)))) << "the program's NAK brings the same entry again";
    EXPECT_EQ(MSG_WAITING, type(feed(byte(ACK))));
    // The program answers a waiting frame with the download request: go on.
    EXPECT_EQ(3, entryNr(request(MSG_DOWNLOAD_REQ)));
    EXPECT_EQ(MSG_STATUS_INFO, type(request(MSG_STATUS_REQ))) << "between entries, without disturbing them";
    EXPECT_EQ(4, entryNr(feed(byte(ACK))));
    EXPECT_EQ(MSG_WAITING, type(feed(byte(ACK))));
    EXPECT_EQ(5, entryNr(request(MSG_DOWNLOAD_REQ)));
    EXPECT_EQ(MSG_XFER_END, type(feed(byte(ACK))));
    EXPECT_EQ("", feed(byte(ACK)));
    EXPECT_EQ(1, entryNr(request(MSG_DOWNLOAD_REQ))) << "a new download starts again at entry 1";
}

TEST_F(KsimUnitTest, UploadWaitsOnEveryKthEntryAndStoresTheResend)
{
    opt.waitEvery = 2;
    start();
    KvprgFrame e;
    e.settingEntry(1, "a", "1");
    EXPECT_EQ(byte(NAK), feed(e)) << "entry outside an upload";
    EXPECT_EQ(byte(ACK), request(MSG_UPLOAD_REQ));
    EXPECT_EQ(byte(ACK), feed(e));
    e.settingEntry(2, "b/c", "22");
    EXPECT_EQ(MSG_WAITING, type(feed(e)));
    EXPECT_EQ("", settings.entry(2).text);
    EXPECT_EQ(byte(ACK), feed(e));
    EXPECT_EQ("b/c", settings.entry(2).text);
    KvprgFrame bad;
    const uint8_t junk[] = {0, '"', 'x'};
    bad.build(MSG_SET_ENTRY, junk, 3);
    EXPECT_EQ(byte(NAK), feed(bad));
    EXPECT_EQ(byte(ACK), request(MSG_XFER_END));
    EXPECT_EQ("a", settings.entry(1).text);
}

TEST_F(KsimUnitTest, LineFaultsNakSilenceAndGarbage)
{
    opt.nakEvery = 3;
    opt.silentAfter = 4;
    opt.garbage = 5;
    start();
    std::string out = request(MSG_STATUS_REQ);
    ASSERT_GT(out.size(), 5u);
    EXPECT_EQ("garba", out.substr(0, 5));
    EXPECT_TRUE(frame(out.substr(5)).isWellFormed());
    EXPECT_EQ(byte(ACK), request(MSG_LIFE_CHECK)) << "no garbage before lone bytes";
    EXPECT_EQ(byte(NAK), request(MSG_LIFE_CHECK)) << "third frame";
    EXPECT_EQ(byte(ACK), request(MSG_LIFE_CHECK));
    EXPECT_EQ("", request(MSG_STATUS_REQ)) << "fifth frame: silent";
    EXPECT_EQ("", request(MSG_LIFE_CHECK));
    EXPECT_EQ(-1, unit->nextDeadline());
}

TEST_F(KsimUnitTest, BadAndUnfinishedFramesGetNak)
{
    start();
    const std::string status = str(requestFrame(MSG_STATUS_REQ));
    std::string badSum = status;
    badSum.back() = static_cast<char>(badSum.back() + 1);
    EXPECT_EQ(byte(NAK), feed(badSum));
    EXPECT_EQ(MSG_STATUS_INFO, type(feed("zz" + status))) << "garbage skipped";
    // Half a frame is dropped after a long pause, with a NAK.
    EXPECT_EQ("", feed(status.substr(0, 3)));
    EXPECT_EQ("", advance(KsimUnit::QUIET_US));
    EXPECT_EQ(byte(NAK), advance(KsimUnit::STALE_US));
}

TEST_F(KsimUnitTest, BootLoaderAsksForDataAndPacketOneOnItsOwnAndEndsBootDataAtThePause)
{
    opt.startInBoot = true;
    opt.bootReqFrame = true;
    start();
    EXPECT_EQ(MSG_BOOTLOAD_REQ, type(request(MSG_STATUS_REQ))) << "the answer to application frames";
    EXPECT_EQ("", advance(KsimUnit::BOOTREQ_REPEAT_US - 1));
    EXPECT_EQ(MSG_BOOTLOAD_REQ, type(advance(1)));
    unit->lineClosed();
    EXPECT_EQ("", advance(10 * KsimUnit::BOOTREQ_REPEAT_US)) << "not while the port is closed";
    unit->lineOpened(now);

    // The data hold ETX followed by the sum so far: only the pause ends the frame.
    const uint8_t sum = static_cast<uint8_t>(SOH + MSG_BOOTLOAD_DATA + STX + 0x10 + 0x20 + ETX);
    const uint8_t data[] = {0x10, 0x20, ETX, sum, 0x55};
    KvprgFrame bd;
    bd.bootloadData(data, 5);
    EXPECT_EQ("", feed(str(bd).substr(0, 8)));
    EXPECT_EQ("", feed(str(bd).substr(8)));
    EXPECT_EQ(KsimUnit::BOOT_WAIT_DATA, unit->mode());
    EXPECT_EQ(MSG_BOOT_INFO, type(advance(KsimUnit::QUIET_US)));
    EXPECT_EQ(KsimUnit::BOOT_WAIT_PACKET, unit->mode());
    EXPECT_NE(std::string::npos, log.find("boot data of 5 bytes")) << log;
    // The NAK for packet 1 comes apart from the record, and again later.
    EXPECT_EQ("", advance(KsimUnit::NAK_DELAY_US - 1));
    EXPECT_EQ(byte(NAK), advance(1));
    EXPECT_EQ(byte(NAK), advance(KsimUnit::NAK_REPEAT_US));
    EXPECT_EQ(byte(NAK), feed(byte(EOT))) << "EOT before any packet";
}

TEST_F(KsimUnitTest, PacketsAreCheckedAndAResentSegmentIsTaken)
{
    start();
    ASSERT_EQ(MSG_STATUS_INFO, type(request(MSG_STATUS_REQ)));
    ASSERT_EQ(byte(BOOTLOAD_REQ_BYTE), request(MSG_UPGRADE_REQ));
    EXPECT_EQ("", feed(byte(NAK))) << "the boot loader repeats nothing the application sent";
    intoImageTransfer();
    std::string d1(128, 'a'), d2(128, 'b'), d3 = "VERSION: KV-7.77" + std::string(112, 'c');
    EXPECT_EQ(byte(ACK), feed(packet(1, d1)));
    EXPECT_EQ(byte(ACK), feed(packet(2, d2)));

    std::string badCompl = packet(3, d3), badSum = packet(3, d3);
    badCompl[2] = 0x00;
    badSum[10] = 'X';
    EXPECT_EQ(byte(NAK), feed(badCompl));
    EXPECT_EQ(byte(NAK), feed(badSum));
    EXPECT_EQ(byte(NAK), feed(packet(5, d3))) << "ahead of packet 3";
    // Sent again from the segment start: packet 1 overwrites, 2 and 3 follow.
    EXPECT_EQ(byte(ACK), feed(packet(1, d2)));
    EXPECT_EQ(byte(ACK), feed(packet(2, d1)));
    EXPECT_EQ(byte(ACK), feed(packet(3, d3)));
    // A packet written in pieces, as the program does, is one packet.
    std::string last = packet(4, "tail");
    EXPECT_EQ("", feed(last.substr(0, 1)));
    EXPECT_EQ("", feed(last.substr(1, 2)));
    EXPECT_EQ(byte(ACK), feed(last.substr(3)));

    EXPECT_EQ(byte(ACK), feed(byte(EOT)));
    EXPECT_EQ(KsimUnit::APPLICATION, unit->mode());
    EXPECT_EQ("KV-7.77", unit->software());
    EXPECT_EQ(d2 + d1 + d3 + "tail" + std::string(124, '\xFF'), readFile(opt.imageFile))
        << "the flash holds the padding too";
}

TEST_F(KsimUnitTest, ResetFaultRestartsTheBootLoaderOnceMidImage)
{
    opt.resetAfter = 2;
    start();
    ASSERT_EQ(byte(BOOTLOAD_REQ_BYTE), request(MSG_UPGRADE_REQ));
    intoImageTransfer();
    std::string d(128, 'x');
    EXPECT_EQ(byte(ACK), feed(packet(1, d)));
    EXPECT_EQ(byte(ACK), feed(packet(2, d)));
    EXPECT_EQ(byte(BOOTLOAD_REQ_BYTE), feed(packet(3, d)));
    EXPECT_EQ(KsimUnit::BOOT_WAIT_DATA, unit->mode());
    intoImageTransfer();  // only once: the second attempt goes through
    for (uint8_t nr = 1; nr <= 3; ++nr) EXPECT_EQ(byte(ACK), feed(packet(nr, d)));
    EXPECT_EQ(byte(ACK), feed(byte(EOT)));
    EXPECT_EQ(1, unit->imagesWritten());
    EXPECT_EQ("KV-4.12", unit->software()) << "no marker: the version stays";
}

TEST_F(KsimUnitTest, IgnoredEotsAndALineThatGoesAwayAfterAPacketKeepTheImage)
{
    opt.ignoreEot = 2;
    opt.unplugAfter = 2;
    start();
    ASSERT_EQ(byte(BOOTLOAD_REQ_BYTE), request(MSG_UPGRADE_REQ));
    intoImageTransfer();
    std::string d(128, 'x');
    EXPECT_EQ(byte(ACK), feed(packet(1, d)));
    EXPECT_FALSE(unit->takeUnplug());
    EXPECT_EQ(byte(ACK), feed(packet(2, d)));
    EXPECT_TRUE(unit->takeUnplug()) << "after packet 2, before its ACK reaches the program";
    EXPECT_FALSE(unit->takeUnplug()) << "once";
    unit->lineClosed();
    unit->lineOpened(now);
    // The program sends its segment again: the unit takes it and goes on.
    for (uint8_t nr = 1; nr <= 3; ++nr) EXPECT_EQ(byte(ACK), feed(packet(nr, d)));
    EXPECT_EQ("", feed(byte(EOT)));
    EXPECT_EQ("", feed(byte(EOT)));
    EXPECT_EQ(0, unit->imagesWritten());
    EXPECT_EQ(byte(ACK), feed(byte(EOT)));
    EXPECT_EQ(std::string(3 * 128, 'x'), readFile(opt.imageFile));
}

TEST_F(KsimUnitTest, StoreDiffersKeepsOneEntryOtherThanSentSoAReadBackSeesIt)
{
    opt.entries = 5;
    opt.storeDiffers = 5;
    start();
    EXPECT_EQ(byte(ACK), feed(UPLOAD_REQ));
    EXPECT_EQ(byte(ACK), feed(ENTRY_4));
    EXPECT_EQ(byte(ACK), feed(ENTRY_5_SENT)) << "taken as if stored";
    EXPECT_EQ(byte(ACK), feed(XFER_END));
    EXPECT_EQ(1, entryNr(feed(DOWNLOAD_REQ)));
    EXPECT_EQ(2, entryNr(feed(byte(ACK))));
    EXPECT_EQ(3, entryNr(feed(byte(ACK))));
    EXPECT_EQ(ENTRY_4, feed(byte(ACK)));
    EXPECT_EQ(ENTRY_5_STORED, feed(byte(ACK)));
}

TEST_F(KsimUnitTest, NoSettingsLeavesOnlyTheSettingsRequestUnanswered)
{
    opt.noSettings = true;
    start();
    EXPECT_EQ("", feed(DOWNLOAD_REQ));
    EXPECT_EQ("", advance(10 * KsimUnit::STALE_US));
    EXPECT_EQ(STATUS_KV412, feed(STATUS_REQ)) << "the unit is there";
    EXPECT_EQ(byte(ACK), feed(UPLOAD_REQ)) << "and takes settings";
}

TEST_F(KsimUnitTest, KeepVersionReportsTheOldSoftwareAfterAnImage)
{
    opt.keepVersion = true;
    start();
    ASSERT_EQ(byte(BOOTLOAD_REQ_BYTE), request(MSG_UPGRADE_REQ));
    intoImageTransfer();
    EXPECT_EQ(byte(ACK), feed(packet(1, "VERSION: KV-7.77" + std::string(112, 'c'))));
    EXPECT_EQ(byte(ACK), feed(byte(EOT)));
    EXPECT_EQ(1, unit->imagesWritten());
    EXPECT_EQ(STATUS_KV412, feed(STATUS_REQ));
}
