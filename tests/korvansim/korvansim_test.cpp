// The built simulator, driven from the program's side over its terminal.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "SimProcess.h"

using namespace Kvprg;
using namespace ksimtest;

namespace {

// The program's reading of the status record's text (comma split, empty
// pieces dropped, quotes removed).
std::vector<std::string> statusFields(const KvprgFrame& f)
{
    std::stringstream ss(std::string(reinterpret_cast<const char*>(f.data()) + STATUS_TEXT_OFS,
                                     static_cast<size_t>(f.dataSize() - STATUS_TEXT_OFS)));
    std::vector<std::string> out;
    for (std::string piece; std::getline(ss, piece, ',');) {
        if (piece.empty()) continue;
        piece.erase(std::remove(piece.begin(), piece.end(), '"'), piece.end());
        out.push_back(piece);
    }
    out.resize(STATUS_NR_FIELDS);
    return out;
}

} // namespace

TEST(Korvansim, StatusAndLifeCheckThroughALinkOnAPacedLine)
{
    SimProcess sim;
    std::string link = "/tmp/ks" + std::to_string(::getpid() % 10000000);
    ASSERT_TRUE(sim.start({"--link", link, "--baud", "9600", "--type", "KV4402WM-EB", "--software", "KV-5.03",
                           "--special", "X12", "--hardware", "F.48", "--imei", "359876543210987", "--error-status",
                           "33", "--entries", "150", "--protocol", "2"}));
    ASSERT_TRUE(sim.open(link)) << sim.log();
    KvprgFrame f = frame(sim.request(MSG_STATUS_REQ));
    ASSERT_TRUE(f.isWellFormed()) << sim.log();
    EXPECT_EQ(MSG_STATUS_INFO, f.type());
    EXPECT_EQ((std::vector<uint8_t>{2, 33, 150}), std::vector<uint8_t>(f.data(), f.data() + STATUS_TEXT_OFS));
    std::vector<std::string> fields = statusFields(f);
    fields[1].erase(0, STATUS_SW_SKIP); // the tool skips what comes before the version
    EXPECT_EQ((std::vector<std::string>{"KV4402WM-EB", "KV-5.03", "X12", "F.48", "359876543210987"}), fields);
    EXPECT_EQ(byte(ACK), sim.request(MSG_LIFE_CHECK));
    EXPECT_EQ(0, sim.stop());
    struct stat st;
    EXPECT_NE(0, ::lstat(link.c_str(), &st)) << "link left behind";
}

TEST(Korvansim, DownloadsAll200EntriesThenUploadChangesTheServedFile)
{
    SimProcess sim;
    std::ofstream adn(sim.path("unit.adn"));
    for (int k = 1; k <= NR_ENTRIES; ++k) adn << "Tekst\\" << k << "|06" << 1000 + k << "\n";
    adn.close();
    ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn")}));
    ASSERT_TRUE(sim.open());
    std::string m = sim.request(MSG_DOWNLOAD_REQ);
    for (int k = 1; k <= NR_ENTRIES; ++k) {
        uint8_t nr = 0;
        std::string text, number;
        ASSERT_TRUE(frame(m).entryFields(&nr, &text, &number)) << "entry " << k << "\n" << sim.log();
        EXPECT_EQ(k, nr);
        EXPECT_EQ("Tekst/" + std::to_string(k), text); // the unit's form of the backslash
        EXPECT_EQ("06" + std::to_string(1000 + k), number);
        sim.sendByte(ACK);
        m = sim.receive();
    }
    EXPECT_EQ(MSG_XFER_END, frame(m).type());

    // Upload: ACK for the request, for each entry and for the end.
    ASSERT_EQ(byte(ACK), sim.request(MSG_UPLOAD_REQ)) << sim.log();
    std::string expected;
    for (int k = 1; k <= NR_ENTRIES; ++k) {
        KvprgFrame f;
        std::string text = "Nieuw/" + std::to_string(k);
        f.settingEntry(static_cast<uint8_t>(k), text.c_str(), k == 7 ? "" : "12");
        sim.send(f);
        ASSERT_EQ(byte(ACK), sim.receive()) << "entry " << k;
        expected += "Nieuw\\" + std::to_string(k) + (k == 7 ? "|" : "|12") + "\n";
    }
    ASSERT_EQ(byte(ACK), sim.request(MSG_XFER_END));
    EXPECT_EQ(expected, readFile(sim.path("unit.adn")));
}

TEST(Korvansim, FirmwareExchangeWithOneForcedNak)
{
    // 300 packets: the numbers wrap past 255. Frames counted by the unit:
    // upgrade request (1), boot data (2), packets from 3 on; the 202nd is
    // packet 200, in the segment that starts with packet 197.
    const int packets = 300;
    std::string image(static_cast<size_t>(packets) * PACKET_DATA_SIZE, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>((i * 31 + i / 977) & 0xFF);
    image.replace(20000, 16, "VERSION: KV-6.01");
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--image", sim.path("received.bin"), "--nak-every", "202", "--boot-frame"}));
    ASSERT_TRUE(sim.open());
    ASSERT_EQ(MSG_BOOTLOAD_REQ, frame(sim.request(MSG_UPGRADE_REQ)).type()) << sim.log();

    std::vector<uint8_t> boot(1500);
    for (size_t i = 0; i < boot.size(); ++i) boot[i] = static_cast<uint8_t>(i % 7 == 0 ? ETX : i);
    KvprgFrame bd;
    ASSERT_TRUE(bd.bootloadData(boot.data(), static_cast<int>(boot.size())));
    sim.send(bd);
    KvprgFrame rec = frame(sim.receive());
    ASSERT_EQ(MSG_BOOT_INFO, rec.type()) << sim.log();
    EXPECT_EQ("KV8888GM-ED", rec.bootRecordField(BOOTREC_TYPE_OFS, TYPE_LEN));
    ASSERT_EQ(byte(NAK), sim.receive()) << "the unit asks for packet 1\n" << sim.log();

    // The program's way: on NAK go back to the start of the 512-byte segment.
    const uint8_t* img = reinterpret_cast<const uint8_t*>(image.data());
    int size = static_cast<int>(image.size()), bytePtr = 0, segmentPtr = 0, naks = 0, sent = 0;
    uint8_t packetNr = 1, segmentNr = 1;
    while (bytePtr < size) {
        if (bytePtr % 512 == 0) {
            segmentPtr = bytePtr;
            segmentNr = packetNr;
        }
        KvprgPacket p;
        bytePtr += p.fill(packetNr++, img, size, bytePtr);
        sim.sendPacket(p);
        ++sent;
        const std::string answer = sim.receive();
        ASSERT_TRUE(answer == byte(ACK) || answer == byte(NAK)) << "packet " << int(p.number()) << "\n" << sim.log();
        if (answer == byte(NAK)) {
            ++naks;
            bytePtr = segmentPtr;
            packetNr = segmentNr;
        }
    }
    EXPECT_EQ(1, naks);
    EXPECT_EQ(packets + 4, sent); // packets 197 to 199 again, and 200 twice
    sim.sendByte(EOT);
    ASSERT_EQ(byte(ACK), sim.receive()) << sim.log();
    EXPECT_EQ(image, readFile(sim.path("received.bin")));
    // Back as the application, with the image's version.
    EXPECT_EQ("KV-6.01", statusFields(frame(sim.request(MSG_STATUS_REQ)))[1].substr(STATUS_SW_SKIP, SWVERSION_LEN));
}

TEST(Korvansim, EndsWhenTheProgramClosesThePortForGoodButTakesWhatWasSentBefore)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--hangup-grace", "0", "--baud", "9600"}));
    EXPECT_EQ(-1, sim.waitExit(200)) << "it waits for the program to open the port";
    ASSERT_TRUE(sim.open());
    ASSERT_EQ(MSG_STATUS_INFO, frame(sim.request(MSG_STATUS_REQ)).type());
    // The last frame is still on the paced line when the port closes.
    sim.send(requestFrame(MSG_LIFE_CHECK));
    sim.serial.closePort();
    EXPECT_EQ(0, sim.waitExit(5000)) << sim.log();
    EXPECT_NE(sim.log().find("<- life check"), std::string::npos) << sim.log();
}

// The settings faults as the program meets them: an upload that is taken
// but stored otherwise, and no answer when the settings are asked for.
TEST(Korvansim, SettingsFaultsFromTheCommandLine)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn"), "--store-differs", "5", "--no-settings"}));
    ASSERT_TRUE(sim.open());
    const std::string entry5("\x01\x04\x0E\x02\x05\"Keuken\",\"12\"\x03\x97");
    sim.send(frame(std::string("\x01\x02\x00\x02\x03\x08", 6)));
    ASSERT_EQ(byte(ACK), sim.receive()) << sim.log();
    sim.send(frame(entry5));
    ASSERT_EQ(byte(ACK), sim.receive()) << sim.log();
    sim.send(frame(std::string("\x01\x05\x00\x02\x03\x0B", 6)));
    ASSERT_EQ(byte(ACK), sim.receive()) << sim.log();
    std::istringstream adn(readFile(sim.path("unit.adn")));
    std::string line;
    for (int k = 1; k <= 5; ++k) std::getline(adn, line);
    EXPECT_EQ("KeukeX|12", line);

    sim.send(frame(std::string("\x01\x03\x00\x02\x03\x09", 6)));
    EXPECT_EQ("", sim.receive(500)) << sim.log();
    EXPECT_EQ(MSG_STATUS_INFO, frame(sim.request(MSG_STATUS_REQ)).type());
    EXPECT_EQ(0, sim.stop());
}
