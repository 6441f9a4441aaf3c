#include "korprog/KvprgFrame.h"
#include "korprog/KvprgPacket.h"
#include "korprog/KvprgProtDefs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace Kvprg;

namespace {

std::vector<uint8_t> bytesOf(const KvprgFrame& f)
{
    return std::vector<uint8_t>(f.bytes(), f.bytes() + f.size());
}

// The tool's reading of a status record: split at commas, drop empty pieces,
// strip double quotes, then cut the fields.
std::vector<std::string> statusFields(const KvprgFrame& f)
{
    std::string text(reinterpret_cast<const char*>(f.data()) + STATUS_TEXT_OFS,
                     static_cast<size_t>(f.dataSize() - STATUS_TEXT_OFS));
    std::vector<std::string> pieces;
    std::string cur;
    for (char c : text + ",") {
        if (c == ',') {
            if (!cur.empty()) pieces.push_back(cur);
            cur.clear();
        } else if (c != '"') {
            cur += c;
        } else {
            cur += '\x01'; // a quoted empty field is still a piece
        }
    }
    std::vector<std::string> out;
    for (std::string p : pieces) {
        std::string clean;
        for (char c : p)
            if (c != '\x01') clean += c;
        out.push_back(clean);
    }
    out.resize(STATUS_NR_FIELDS);
    return out;
}

} // namespace

TEST(ProtocolFrames, RequestFramesAreByteExact)
{
    struct {
        uint8_t type;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {MSG_STATUS_REQ, {0x01, 0x00, 0x00, 0x02, 0x03, 0x06}},
        {MSG_UPLOAD_REQ, {0x01, 0x02, 0x00, 0x02, 0x03, 0x08}},
        {MSG_DOWNLOAD_REQ, {0x01, 0x03, 0x00, 0x02, 0x03, 0x09}},
        {MSG_XFER_END, {0x01, 0x05, 0x00, 0x02, 0x03, 0x0B}},
        {MSG_LIFE_CHECK, {0x01, 0x08, 0x00, 0x02, 0x03, 0x0E}},
        {MSG_UPGRADE_REQ, {0x01, 0x0A, 0x00, 0x02, 0x03, 0x10}},
    };
    for (const auto& c : cases) {
        KvprgFrame f;
        f.request(c.type);
        EXPECT_EQ(c.bytes, bytesOf(f)) << int(c.type);
        EXPECT_TRUE(f.isWellFormed());
        EXPECT_EQ(c.type, f.type());
        EXPECT_EQ(0, f.dataSize());
    }
}

TEST(ProtocolFrames, SettingEntryLayoutAndLimits)
{
    KvprgFrame f;
    ASSERT_TRUE(f.settingEntry(7, "ab", "12"));
    std::vector<uint8_t> expected = {0x01, 0x04, 0x0A, 0x02, 0x07, 0x22, 0x61, 0x62,
                                     0x22, 0x2C, 0x22, 0x31, 0x32, 0x22, 0x03, 0xF5};
    EXPECT_EQ(expected, bytesOf(f));

    ASSERT_TRUE(f.settingEntry(200, "", nullptr));
    EXPECT_EQ(6, f.lengthByte());
    EXPECT_EQ((std::vector<uint8_t>{0x01, 0x04, 0x06, 0x02, 200, '"', '"', ',', '"', '"', 0x03}),
              std::vector<uint8_t>(f.bytes(), f.bytes() + 11));
    EXPECT_TRUE(f.isWellFormed());
    uint8_t nr = 0;
    std::string text = "x", number = "y";
    ASSERT_TRUE(f.entryFields(&nr, &text, &number));
    EXPECT_EQ(200, nr);
    EXPECT_EQ("", text);
    EXPECT_EQ("", number);

    // Over-long fields are cut to what the line can carry; the length byte
    // stays below 128 so the receiver's sign extension cannot bite.
    std::string longText(70, 't'), longNumber(25, '9');
    EXPECT_FALSE(f.settingEntry(3, longText.c_str(), longNumber.c_str()));
    EXPECT_EQ(ENTRY_TEXT_MAX + ENTRY_NUMBER_MAX + ENTRY_OVERHEAD, f.lengthByte());
    EXPECT_LT(f.lengthByte(), 128);
    EXPECT_TRUE(f.isWellFormed());
    ASSERT_TRUE(f.entryFields(&nr, &text, &number));
    EXPECT_EQ(std::string(64, 't'), text);
    EXPECT_EQ(std::string(20, '9'), number);

    ASSERT_TRUE(f.settingEntry(12, "Alarm/1 ,x", "0612"));
    ASSERT_TRUE(f.entryFields(&nr, &text, &number));
    EXPECT_EQ(12, nr);
    EXPECT_EQ("Alarm/1 ,x", text);
    EXPECT_EQ("0612", number);
}

TEST(ProtocolFrames, ReceivedFramesAreCheckedLikeTheTool)
{
    KvprgFrame good;
    good.settingEntry(7, "ab", "12");
    EXPECT_TRUE(good.isValid());

    std::vector<uint8_t> b = bytesOf(good);
    b.back() ^= 0x01;
    KvprgFrame badSum(b.data(), static_cast<int>(b.size()));
    EXPECT_TRUE(badSum.startsWithSoh());
    EXPECT_FALSE(badSum.checksumOk());
    EXPECT_FALSE(badSum.isValid());
    EXPECT_FALSE(badSum.entryFields(nullptr, nullptr, nullptr));

    b = bytesOf(good);
    b[0] = 0x7E;
    b.back() = KvprgFrame::checksum(b.data(), static_cast<int>(b.size()) - 1);
    KvprgFrame noSoh(b.data(), static_cast<int>(b.size()));
    EXPECT_TRUE(noSoh.checksumOk());
    EXPECT_FALSE(noSoh.isValid());

    // Valid checksum but a length byte that disagrees with the frame.
    b = bytesOf(good);
    b[2] = 9;
    b.back() = KvprgFrame::checksum(b.data(), static_cast<int>(b.size()) - 1);
    KvprgFrame badLen(b.data(), static_cast<int>(b.size()));
    EXPECT_TRUE(badLen.isValid());
    EXPECT_FALSE(badLen.isWellFormed());

    // A quote missing between the fields: not an entry.
    const uint8_t raw[] = {SOH, MSG_SET_ENTRY, 7, STX, 1, '"', 'a', '"', ',', 'b', '"', ETX, 0};
    std::vector<uint8_t> r(raw, raw + sizeof raw);
    r.back() = KvprgFrame::checksum(r.data(), static_cast<int>(r.size()) - 1);
    KvprgFrame notEntry(r.data(), static_cast<int>(r.size()));
    EXPECT_TRUE(notEntry.isWellFormed());
    EXPECT_FALSE(notEntry.entryFields(nullptr, nullptr, nullptr));

    KvprgFrame empty(nullptr, 0);
    EXPECT_FALSE(empty.isValid());
    EXPECT_EQ(0xFF, empty.type());
    std::vector<uint8_t> huge(3000, 0x55);
    KvprgFrame cut(huge.data(), static_cast<int>(huge.size()));
    EXPECT_EQ(MAXFRAME, cut.size());
}

TEST(ProtocolFrames, StatusRecordDecodesToTheUnitsIdentity)
{
    KvprgFrame f;
    ASSERT_TRUE(f.statusInfo(2, 0x40, 200, "KV8888GM-ED", "VERSION: KV-4.12", "     ", "D.49", "351234567890123"));
    EXPECT_TRUE(f.isWellFormed());
    EXPECT_EQ(MSG_STATUS_INFO, f.type());
    EXPECT_EQ(2, f.data()[STATUS_PRVER_OFS]);
    EXPECT_EQ(0x40, f.data()[STATUS_EXTRA_OFS]);
    EXPECT_EQ(200, f.data()[STATUS_NRENTRIES_OFS]);
    std::vector<std::string> fields = statusFields(f);
    EXPECT_EQ("KV8888GM-ED", fields[0]);
    EXPECT_EQ("KV-4.12", fields[1].substr(STATUS_SW_SKIP, SWVERSION_LEN));
    EXPECT_EQ("     ", fields[2]);
    EXPECT_EQ("D.49", fields[3]);
    EXPECT_EQ("351234567890123", fields[4]);

    // Empty fields stay in place because they are quoted.
    ASSERT_TRUE(f.statusInfo(1, 0, 0, "KV1000GS-EA", "", "", "", ""));
    fields = statusFields(f);
    EXPECT_EQ("KV1000GS-EA", fields[0]);
    EXPECT_EQ("", fields[3]);

    // A record the receiver could not take (L of 128 or more) is refused.
    std::string big(40, 'x');
    EXPECT_FALSE(f.statusInfo(1, 0, 0, big.c_str(), big.c_str(), big.c_str(), "D.49", "1"));
    EXPECT_EQ(0, f.size());
}

TEST(ProtocolFrames, BootRecordFieldsSitAtFixedPositions)
{
    KvprgFrame f;
    ASSERT_TRUE(f.bootInfo("D.49", "KV8888GM-ED", "X1   "));
    EXPECT_TRUE(f.isWellFormed());
    EXPECT_EQ(MSG_BOOT_INFO, f.type());
    EXPECT_EQ(BOOTREC_LEN + 2, f.lengthByte());
    const uint8_t* rec = f.data() + 1;
    EXPECT_EQ("D.49", std::string(reinterpret_cast<const char*>(rec + BOOTREC_HW_OFS), 4));
    EXPECT_EQ("KV8888GM-ED", std::string(reinterpret_cast<const char*>(rec + BOOTREC_TYPE_OFS), 11));
    EXPECT_EQ("X1   ", std::string(reinterpret_cast<const char*>(rec + BOOTREC_SPECIAL_OFS), 5));
    EXPECT_EQ("KV8888GM-ED", f.bootRecordField(BOOTREC_TYPE_OFS, TYPE_LEN));

    // Short fields are zero-padded (a zero shortens the field), long ones cut.
    EXPECT_FALSE(f.bootInfo("D", "KV8888GM-ED-LONG", nullptr));
    EXPECT_EQ("D", f.bootRecordField(BOOTREC_HW_OFS, HWVERSION_LEN));
    EXPECT_EQ("KV8888GM-ED", f.bootRecordField(BOOTREC_TYPE_OFS, TYPE_LEN));
    EXPECT_EQ("", f.bootRecordField(BOOTREC_SPECIAL_OFS, BOOTREC_SPECIAL_LEN));
    EXPECT_EQ(0, f.data()[BOOTREC_HW_OFS + 2]);
}

TEST(ProtocolFrames, BootDataFrameHasLengthZeroAndFitsTheDriversString)
{
    std::vector<uint8_t> boot(MAX_BOOT_DATA);
    for (size_t i = 0; i < boot.size(); ++i) boot[i] = static_cast<uint8_t>(i * 7);
    KvprgFrame f;
    ASSERT_TRUE(f.bootloadData(boot.data(), static_cast<int>(boot.size())));
    EXPECT_EQ(MAXFRAME, f.size());
    EXPECT_EQ(0, f.lengthByte());
    EXPECT_EQ(MSG_BOOTLOAD_DATA, f.type());
    EXPECT_TRUE(f.isWellFormed());
    EXPECT_EQ(static_cast<int>(boot.size()), f.dataSize());
    EXPECT_EQ(boot, std::vector<uint8_t>(f.data(), f.data() + f.dataSize()));

    const uint8_t three[] = {0xAA, ETX, 0x00};
    ASSERT_TRUE(f.bootloadData(three, 3));
    EXPECT_EQ((std::vector<uint8_t>{SOH, 0x0C, 0x00, STX, 0xAA, ETX, 0x00, ETX,
                                    static_cast<uint8_t>(SOH + 0x0C + STX + 0xAA + ETX + ETX)}),
              bytesOf(f));

    EXPECT_FALSE(f.bootloadData(boot.data(), MAX_BOOT_DATA + 1));
    EXPECT_EQ(0, f.size());
    uint8_t data[MAX_FRAME_DATA + 1] = {};
    EXPECT_TRUE(f.build(MSG_WAITING, data, MAX_FRAME_DATA));
    EXPECT_FALSE(f.build(MSG_WAITING, data, MAX_FRAME_DATA + 1));
}

TEST(ProtocolFrames, MessageTypesKnownToTheReceiver)
{
    for (int c = 0; c < 256; ++c) {
        bool known = (c >= 0 && c <= 5) || (c >= 8 && c <= 13);
        EXPECT_EQ(known, isMsgType(static_cast<uint8_t>(c))) << c;
    }
}

TEST(ProtocolPackets, NumbersWrapAndComplementFollows)
{
    EXPECT_EQ(1, KvprgPacket::numberOf(0));
    EXPECT_EQ(255, KvprgPacket::numberOf(254));
    EXPECT_EQ(0, KvprgPacket::numberOf(255));
    EXPECT_EQ(1, KvprgPacket::numberOf(256));
    KvprgPacket p;
    std::vector<uint8_t> image(128 * 300, 0x11);
    p.fill(KvprgPacket::numberOf(254), image.data(), static_cast<int>(image.size()), 254 * 128);
    EXPECT_EQ(255, p.number());
    EXPECT_EQ(0x00, p.complement());
    p.fill(KvprgPacket::numberOf(255), image.data(), static_cast<int>(image.size()), 255 * 128);
    EXPECT_EQ(0, p.number());
    EXPECT_EQ(0xFF, p.complement());
    EXPECT_TRUE(p.complementOk());
}

TEST(ProtocolPackets, LastPacketIsPaddedAndItsChecksumCountsThePad)
{
    std::vector<uint8_t> image(130);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i + 3);
    EXPECT_EQ(2, KvprgPacket::packetCount(130));
    EXPECT_EQ(1, KvprgPacket::packetCount(128));
    EXPECT_EQ(0, KvprgPacket::packetCount(0));

    KvprgPacket p;
    EXPECT_EQ(128, p.fill(1, image.data(), 130, 0));
    EXPECT_EQ(2, p.fill(2, image.data(), 130, 128));
    EXPECT_EQ(image[128], p.data()[0]);
    EXPECT_EQ(image[129], p.data()[1]);
    for (int i = 2; i < PACKET_DATA_SIZE; ++i) ASSERT_EQ(0xFF, p.data()[i]) << i;
    EXPECT_EQ(static_cast<uint8_t>(image[128] + image[129] + 126 * 0xFF), p.checksum());
    EXPECT_TRUE(p.checksumOk());

    uint8_t wire[PACKET_SIZE];
    p.wire(wire);
    EXPECT_EQ(SOH, wire[0]);
    EXPECT_EQ(2, wire[1]);
    EXPECT_EQ(253, wire[2]);
    EXPECT_EQ(image[128], wire[3]);
    EXPECT_EQ(p.checksum(), wire[PACKET_SIZE - 1]);

    // The receiving side takes it back and notices each kind of damage.
    KvprgPacket r;
    ASSERT_TRUE(r.parse(wire, PACKET_SIZE));
    EXPECT_TRUE(r.complementOk());
    EXPECT_TRUE(r.checksumOk());
    EXPECT_EQ(0, std::memcmp(r.data(), p.data(), PACKET_DATA_SIZE));
    wire[2] = 252;
    ASSERT_TRUE(r.parse(wire, PACKET_SIZE));
    EXPECT_FALSE(r.complementOk());
    wire[2] = 253;
    wire[50] ^= 0x80;
    ASSERT_TRUE(r.parse(wire, PACKET_SIZE));
    EXPECT_FALSE(r.checksumOk());
    EXPECT_FALSE(r.parse(wire, PACKET_SIZE - 1));
    wire[0] = STX;
    EXPECT_FALSE(r.parse(wire, PACKET_SIZE));

    // An offset past the image gives an all-pad packet.
    EXPECT_EQ(0, p.fill(3, image.data(), 130, 256));
    EXPECT_EQ(0xFF, p.data()[0]);
}
