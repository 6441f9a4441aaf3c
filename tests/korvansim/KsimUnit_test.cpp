// The simulator's unit logic in-process, on a clock of the test's own: the
// faults and the boot loader's timers, without waiting for any of them.

#include "korvansim/KsimUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "korprog/KvprgPacket.h"

using namespace Kvprg;

namespace {

struct Harness {
    KsimOptions opt;
    KsimSettings settings;
    std::vector<std::string> logLines;
    int64_t now = 1000000;
    std::unique_ptr<KsimUnit> unit;

    void start()
    {
        unit.reset(new KsimUnit(opt, &settings, [this](const std::string& t) { logLines.push_back(t); }));
        unit->start(now);
        unit->lineOpened(now);
    }
    std::string feed(const std::string& bytes)
    {
        unit->receive(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()), now);
        return unit->takeOutput();
    }
    std::string feed(const KvprgFrame& f) { return feed(str(f)); }
    std::string request(uint8_t type)
    {
        KvprgFrame f;
        f.request(type);
        return feed(f);
    }
    std::string advance(int64_t us)
    {
        now += us;
        unit->poll(now);
        return unit->takeOutput();
    }
    static std::string str(const KvprgFrame& f) { return std::string(reinterpret_cast<const char*>(f.bytes()), f.size()); }
    static std::string byte(uint8_t b) { return std::string(1, static_cast<char>(b)); }
    static KvprgFrame frame(const std::string& s)
    {
        return KvprgFrame(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()));
    }
    static std::string packet(uint8_t nr, const std::string& data)
    {
        KvprgPacket p;
        p.fill(nr, reinterpret_cast<const uint8_t*>(data.data()), static_cast<int>(data.size()), 0);
        uint8_t w[PACKET_SIZE];
        p.wire(w);
        return std::string(reinterpret_cast<const char*>(w), PACKET_SIZE);
    }
    // Upgrade request, boot data, boot record, then the NAK for packet 1.
    void intoImageTransfer(bool request = true)
    {
        if (request) ASSERT_EQ(byte(BOOTLOAD_REQ_BYTE), this->request(MSG_UPGRADE_REQ));
        KvprgFrame bd;
        const uint8_t boot[] = {1, 2, 3};
        bd.bootloadData(boot, 3);
        EXPECT_EQ("", feed(bd));
        KvprgFrame rec = frame(advance(KsimUnit::QUIET_US));
        ASSERT_EQ(MSG_BOOT_INFO, rec.type());
        ASSERT_EQ(byte(NAK), advance(KsimUnit::NAK_DELAY_US));
    }
    static int entryNr(const std::string& out)
    {
        uint8_t nr = 0;
        return frame(out).entryFields(&nr, nullptr, nullptr) ? nr : -1;
    }
};

std::string tempPath(const std::string& name)
{
    return "/tmp/ksimunit-" + std::to_string(::getpid()) + "-" + name;
}

} // namespace

TEST(KsimUnit, DownloadWaitsEveryKEntriesAndResendsOnNak)
{
    Harness h;
    h.opt.entries = 5;
    h.opt.waitEvery = 2;
    h.start();
    EXPECT_EQ(1, h.entryNr(h.request(MSG_DOWNLOAD_REQ)));
    EXPECT_EQ(2, h.entryNr(h.feed(Harness::byte(ACK))));
    // The program's NAK brings the same entry again.
    EXPECT_EQ(2, h.entryNr(h.feed(Harness::byte(NAK))));
    EXPECT_EQ(MSG_WAITING, Harness::frame(h.feed(Harness::byte(ACK))).type());
    // The program answers a waiting frame with the download request: go on.
    EXPECT_EQ(3, h.entryNr(h.request(MSG_DOWNLOAD_REQ)));
    // A status request between entries does not disturb the download.
    EXPECT_EQ(MSG_STATUS_INFO, Harness::frame(h.request(MSG_STATUS_REQ)).type());
    EXPECT_EQ(4, h.entryNr(h.feed(Harness::byte(ACK))));
    EXPECT_EQ(MSG_WAITING, Harness::frame(h.feed(Harness::byte(ACK))).type());
    EXPECT_EQ(5, h.entryNr(h.request(MSG_DOWNLOAD_REQ)));
    EXPECT_EQ(MSG_XFER_END, Harness::frame(h.feed(Harness::byte(ACK))).type());
    EXPECT_EQ("", h.feed(Harness::byte(ACK)));
    // A new download starts again at entry 1.
    EXPECT_EQ(1, h.entryNr(h.request(MSG_DOWNLOAD_REQ)));
}

TEST(KsimUnit, UploadWaitsOnEveryKthEntryAndStoresTheResend)
{
    Harness h;
    h.opt.waitEvery = 2;
    h.opt.adnFile = tempPath("upload.adn");
    h.start();
    KvprgFrame e;
    e.settingEntry(1, "a", "1");
    EXPECT_EQ(Harness::byte(NAK), h.feed(e)) << "entry outside an upload";
    EXPECT_EQ(Harness::byte(ACK), h.request(MSG_UPLOAD_REQ));
    EXPECT_EQ(Harness::byte(ACK), h.feed(e));
    e.settingEntry(2, "b/c", "22");
    EXPECT_EQ(MSG_WAITING, Harness::frame(h.feed(e)).type());
    EXPECT_EQ("", h.settings.entry(2).text);
    EXPECT_EQ(Harness::byte(ACK), h.feed(e));
    EXPECT_EQ("b/c", h.settings.entry(2).text);
    KvprgFrame bad;
    const uint8_t junk[] = {0, '"', 'x'};
    bad.build(MSG_SET_ENTRY, junk, 3);
    EXPECT_EQ(Harness::byte(NAK), h.feed(bad));
    EXPECT_EQ(Harness::byte(ACK), h.request(MSG_XFER_END));

    std::ifstream in(h.opt.adnFile);
    std::string line1, line2;
    std::getline(in, line1);
    std::getline(in, line2);
    EXPECT_EQ("a|1", line1);
    EXPECT_EQ("b\\c|22", line2) << "the file holds the program's form";
    ::unlink(h.opt.adnFile.c_str());
}

TEST(KsimUnit, LineFaultsNakSilenceAndGarbage)
{
    Harness h;
    h.opt.nakEvery = 3;
    h.opt.silentAfter = 4;
    h.opt.garbage = 5;
    h.start();
    std::string out = h.request(MSG_STATUS_REQ);
    ASSERT_GT(out.size(), 5u);
    EXPECT_EQ("garba", out.substr(0, 5));
    EXPECT_TRUE(Harness::frame(out.substr(5)).isWellFormed());
    EXPECT_EQ(Harness::byte(ACK), h.request(MSG_LIFE_CHECK)) << "no garbage before lone bytes";
    EXPECT_EQ(Harness::byte(NAK), h.request(MSG_LIFE_CHECK)) << "third frame";
    EXPECT_EQ(Harness::byte(ACK), h.request(MSG_LIFE_CHECK));
    EXPECT_EQ("", h.request(MSG_STATUS_REQ)) << "fifth frame: silent";
    EXPECT_EQ("", h.request(MSG_LIFE_CHECK));
    EXPECT_EQ(-1, h.unit->nextDeadline());
}

TEST(KsimUnit, BadAndUnfinishedFramesGetNak)
{
    Harness h;
    h.start();
    KvprgFrame f;
    f.request(MSG_STATUS_REQ);
    std::string s = Harness::str(f);
    s.back() = static_cast<char>(s.back() + 1);
    EXPECT_EQ(Harness::byte(NAK), h.feed(s));
    EXPECT_EQ(MSG_STATUS_INFO, Harness::frame(h.feed("zz" + Harness::str(f))).type()) << "garbage skipped";
    // Half a frame is dropped after a long pause, with a NAK.
    EXPECT_EQ("", h.feed(Harness::str(f).substr(0, 3)));
    EXPECT_EQ("", h.advance(KsimUnit::QUIET_US));
    EXPECT_EQ(Harness::byte(NAK), h.advance(KsimUnit::STALE_US));
}

TEST(KsimUnit, BootDataFrameEndsAtThePauseEvenWithEtxInside)
{
    Harness h;
    h.opt.startInBoot = true;
    h.start();
    EXPECT_EQ(KsimUnit::BOOT_WAIT_DATA, h.unit->mode());
    // Its data hold ETX followed by the sum so far: only the pause ends it.
    std::vector<uint8_t> data = {0x10, 0x20};
    uint8_t sum = static_cast<uint8_t>(SOH + MSG_BOOTLOAD_DATA + STX + 0x10 + 0x20 + ETX);
    data.push_back(ETX);
    data.push_back(sum);
    data.push_back(0x55);
    KvprgFrame bd;
    bd.bootloadData(data.data(), static_cast<int>(data.size()));
    std::string s = Harness::str(bd);
    EXPECT_EQ("", h.feed(s.substr(0, 8)));
    EXPECT_EQ("", h.feed(s.substr(8)));
    KvprgFrame rec = Harness::frame(h.advance(KsimUnit::QUIET_US));
    EXPECT_EQ(MSG_BOOT_INFO, rec.type());
    EXPECT_EQ(KsimUnit::BOOT_WAIT_PACKET, h.unit->mode());
    std::string log;
    for (const std::string& l : h.logLines) log += l + "\n";
    EXPECT_NE(std::string::npos, log.find("boot data of 5 bytes")) << log;
}

TEST(KsimUnit, BootLoaderAsksForDataAndForPacketOneOnItsOwn)
{
    Harness h;
    h.opt.startInBoot = true;
    h.opt.bootReqFrame = true;
    h.start();
    // Application frames get the boot-loader request as answer.
    EXPECT_EQ(MSG_BOOTLOAD_REQ, Harness::frame(h.request(MSG_STATUS_REQ)).type());
    EXPECT_EQ("", h.advance(KsimUnit::BOOTREQ_REPEAT_US - 1));
    EXPECT_EQ(MSG_BOOTLOAD_REQ, Harness::frame(h.advance(1)).type());
    // Not while the port is closed.
    h.unit->lineClosed();
    EXPECT_EQ("", h.advance(10 * KsimUnit::BOOTREQ_REPEAT_US));

    h.unit->lineOpened(h.now);
    KvprgFrame bd;
    bd.bootloadData(nullptr, 0);
    h.feed(bd);
    EXPECT_EQ(MSG_BOOT_INFO, Harness::frame(h.advance(KsimUnit::QUIET_US)).type());
    // The NAK for packet 1 comes apart from the record, and again later.
    EXPECT_EQ("", h.advance(KsimUnit::NAK_DELAY_US - 1));
    EXPECT_EQ(Harness::byte(NAK), h.advance(1));
    EXPECT_EQ(Harness::byte(NAK), h.advance(KsimUnit::NAK_REPEAT_US));
    EXPECT_EQ(Harness::byte(NAK), h.feed(Harness::byte(EOT))) << "EOT before any packet";
}

TEST(KsimUnit, PacketsAreCheckedAndAResentSegmentIsTaken)
{
    Harness h;
    h.opt.imageFile = tempPath("image.bin");
    h.start();
    h.intoImageTransfer();
    std::string d1(128, 'a'), d2(128, 'b'), d3 = "VERSION: KV-7.77" + std::string(112, 'c');
    EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::packet(1, d1)));
    EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::packet(2, d2)));

    std::string p = Harness::packet(3, d3);
    std::string badCompl = p;
    badCompl[2] = 0x00;
    EXPECT_EQ(Harness::byte(NAK), h.feed(badCompl));
    std::string badSum = p;
    badSum[10] = 'X';
    EXPECT_EQ(Harness::byte(NAK), h.feed(badSum));
    EXPECT_EQ(Harness::byte(NAK), h.feed(Harness::packet(5, d3))) << "ahead of packet 3";
    // Sent again from the segment start: packet 1 overwrites, 2 and 3 follow.
    EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::packet(1, d2)));
    EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::packet(2, d1)));
    EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::packet(3, d3)));
    // A packet written in pieces, as the program does, is one packet.
    std::string last = Harness::packet(4, "tail");
    EXPECT_EQ("", h.feed(last.substr(0, 1)));
    EXPECT_EQ("", h.feed(last.substr(1, 2)));
    EXPECT_EQ(Harness::byte(ACK), h.feed(last.substr(3)));

    EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::byte(EOT)));
    EXPECT_EQ(KsimUnit::APPLICATION, h.unit->mode());
    EXPECT_EQ("KV-7.77", h.unit->software());
    std::ifstream in(h.opt.imageFile, std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(d2 + d1 + d3 + "tail" + std::string(124, '\xFF'), got.str()) << "the flash holds the padding too";
    ::unlink(h.opt.imageFile.c_str());
}

TEST(KsimUnit, ResetFaultRestartsTheBootLoaderOnceMidImage)
{
    Harness h;
    h.opt.resetAfter = 2;
    h.opt.imageFile = tempPath("reset.bin");
    h.start();
    h.intoImageTransfer();
    std::string d(128, 'x');
    EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::packet(1, d)));
    EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::packet(2, d)));
    EXPECT_EQ(Harness::byte(BOOTLOAD_REQ_BYTE), h.feed(Harness::packet(3, d)));
    EXPECT_EQ(KsimUnit::BOOT_WAIT_DATA, h.unit->mode());
    // Only once: the second attempt goes through.
    h.intoImageTransfer(false);
    for (int nr = 1; nr <= 3; ++nr) EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::packet(static_cast<uint8_t>(nr), d)));
    EXPECT_EQ(Harness::byte(ACK), h.feed(Harness::byte(EOT)));
    EXPECT_EQ(1, h.unit->imagesWritten());
    EXPECT_EQ("KV-4.12", h.unit->software()) << "no marker: the version stays";
    ::unlink(h.opt.imageFile.c_str());
}
