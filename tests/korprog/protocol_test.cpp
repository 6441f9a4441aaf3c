#include "korprog/KvprgFrame.h"
#include "korprog/KvprgPacket.h"
#include "korprog/KvprgProtDefs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace Kvprg;

static std::vector<uint8_t> bytesOf(const KvprgFrame& f)
{
    return std::vector<uint8_t>(f.bytes(), f.bytes() + f.size());
}

TEST(ProtocolFrames, RequestFramesAreByteExact)
{
    const std::vector<std::vector<uint8_t>> frames = {
        {0x01, 0x00, 0x00, 0x02, 0x03, 0x06}, {0x01, 0x02, 0x00, 0x02, 0x03, 0x08},
        {0x01, 0x03, 0x00, 0x02, 0x03, 0x09}, {0x01, 0x05, 0x00, 0x02, 0x03, 0x0B},
        {0x01, 0x08, 0x00, 0x02, 0x03, 0x0E}, {0x01, 0x0A, 0x00, 0x02, 0x03, 0x10}};
    for (const auto& expected : frames) {
        KvprgFrame f;
        f.request(expected[1]);
        EXPECT_EQ(expected, bytesOf(f)) << int(expected[1]);
        EXPECT_TRUE(f.isWellFormed());
    }
}

TEST(ProtocolFrames, SettingEntryLayoutAndLimits)
{
    KvprgFrame f;
    ASSERT_TRUE(f.settingEntry(7, "ab", "12"));
    EXPECT_EQ((std::vector<uint8_t>{0x01, 0x04, 0x0A, 0x02, 0x07, 0x22, 0x61, 0x62, 0x22, 0x2C, 0x22, 0x31, 0x32,
                                    0x22, 0x03, 0xF5}),
              bytesOf(f));

    ASSERT_TRUE(f.settingEntry(200, "", nullptr));
    EXPECT_EQ(6, f.lengthByte());
    uint8_t nr = 0;
    std::string text = "x", number = "y";
    ASSERT_TRUE(f.entryFields(&nr, &text, &number));
    EXPECT_EQ(200, nr);
    EXPECT_EQ("", text + number);

    // Over-long fields are cut to what the line carries, keeping the length
    // byte below 128 (the receiver sign-extends it).
    EXPECT_FALSE(f.settingEntry(3, std::string(70, 't').c_str(), std::string(25, '9').c_str()));
    EXPECT_EQ(ENTRY_TEXT_MAX + ENTRY_NUMBER_MAX + ENTRY_OVERHEAD, f.lengthByte());
    ASSERT_TRUE(f.entryFields(&nr, &text, &number));
    EXPECT_EQ(std::string(64, 't'), text);
    EXPECT_EQ(std::string(20, '9'), number);
}

TEST(ProtocolFrames, StatusAndBootRecords)
{
    KvprgFrame f;
    ASSERT_TRUE(f.statusInfo(2, 0x40, 200, "KV8888GM-ED", "VERSION: KV-4.12", "     ", "D.49", "351234567890123"));
    EXPECT_TRUE(f.isWellFormed());
    EXPECT_EQ((std::vector<uint8_t>{2, 0x40, 200}), std::vector<uint8_t>(f.data(), f.data() + STATUS_TEXT_OFS));
    EXPECT_EQ("\"KV8888GM-ED\",\"VERSION: KV-4.12\",\"     \",\"D.49\",\"351234567890123\"",
              std::string(reinterpret_cast<const char*>(f.data()) + STATUS_TEXT_OFS,
                          static_cast<size_t>(f.dataSize() - STATUS_TEXT_OFS)));
    // A record the receiver could not take (L of 128 or more) is refused.
    std::string big(40, 'x');
    EXPECT_FALSE(f.statusInfo(1, 0, 0, big.c_str(), big.c_str(), big.c_str(), "D.49", "1"));
    EXPECT_EQ(0, f.size());

    ASSERT_TRUE(f.bootInfo("D.49", "KV8888GM-ED", "X1   "));
    EXPECT_TRUE(f.isWellFormed());
    EXPECT_EQ(BOOTREC_LEN + 2, f.lengthByte());
    EXPECT_EQ("D.49KV8888GM-EDX1   ", std::string(reinterpret_cast<const char*>(f.data()) + 1, BOOTREC_LEN));
    // Short fields are zero-padded (a zero ends a field), long ones cut.
    EXPECT_FALSE(f.bootInfo("D", "KV8888GM-ED-LONG", nullptr));
    EXPECT_EQ("D", f.bootRecordField(BOOTREC_HW_OFS, HWVERSION_LEN));
    EXPECT_EQ("KV8888GM-ED", f.bootRecordField(BOOTREC_TYPE_OFS, TYPE_LEN));
    EXPECT_EQ("", f.bootRecordField(BOOTREC_SPECIAL_OFS, BOOTREC_SPECIAL_LEN));
}

TEST(ProtocolFrames, BootDataFrameFitsTheDriversString)
{
    KvprgFrame f;
    std::vector<uint8_t> boot(MAX_BOOT_DATA + 1, 0x5A);
    ASSERT_TRUE(f.bootloadData(boot.data(), MAX_BOOT_DATA));
    EXPECT_TRUE(f.isWellFormed());
    EXPECT_EQ(MAXFRAME, f.size());
    EXPECT_FALSE(f.bootloadData(boot.data(), MAX_BOOT_DATA + 1));
    EXPECT_EQ(0, f.size());
    EXPECT_FALSE(f.build(MSG_WAITING, boot.data(), MAX_FRAME_DATA + 1));
}

TEST(ProtocolPackets, NumbersWrapAndTheLastPacketIsPadded)
{
    EXPECT_EQ(255, KvprgPacket::numberOf(254));
    EXPECT_EQ(0, KvprgPacket::numberOf(255));
    KvprgPacket p;
    p.fill(KvprgPacket::numberOf(255), nullptr, 0, 0);
    EXPECT_EQ(0, p.number());
    EXPECT_EQ(0xFF, p.complement());

    std::vector<uint8_t> image(130);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i + 3);
    EXPECT_EQ(2, KvprgPacket::packetCount(130));
    EXPECT_EQ(128, p.fill(1, image.data(), 130, 0));
    EXPECT_EQ(2, p.fill(2, image.data(), 130, 128));
    EXPECT_EQ(0, std::memcmp(p.data(), &image[128], 2));
    EXPECT_EQ(std::vector<uint8_t>(126, 0xFF), std::vector<uint8_t>(p.data() + 2, p.data() + PACKET_DATA_SIZE));
    EXPECT_EQ(static_cast<uint8_t>(image[128] + image[129] + 126 * 0xFF), p.checksum());

    // The unit's side takes the wire form back and notices damage.
    uint8_t wire[PACKET_SIZE];
    p.wire(wire);
    EXPECT_EQ((std::vector<uint8_t>{SOH, 2, 253, image[128]}), std::vector<uint8_t>(wire, wire + 4));
    KvprgPacket r;
    ASSERT_TRUE(r.parse(wire, PACKET_SIZE));
    EXPECT_TRUE(r.complementOk() && r.checksumOk());
    wire[2] = 252;
    wire[50] ^= 0x80;
    ASSERT_TRUE(r.parse(wire, PACKET_SIZE));
    EXPECT_FALSE(r.complementOk());
    EXPECT_FALSE(r.checksumOk());
    EXPECT_FALSE(r.parse(wire, PACKET_SIZE - 1));
}
