// The protocol parser end to end: a stand-in controller binds the real
// driver and a parser, the unit is the test on a pseudo-terminal.

#include <cstring>

#include "korprog/KvprgCompList.h"
#include "korprog/KvprgPacket.h"
#include "korprog/conndrv/States/KvcdrvBinding.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "korprog/protparser/States/KvprotBinding.h"
#include "support/KvLineTest.h"

using namespace Kvprg;

namespace {

class ParserTest : public KvLineTest {
protected:
    void SetUp() override
    {
        KvLineTest::SetUp();
        ctrl = parent("KvTestCtrl", PROG_CTRL, {new KvcdrvBinding(), new KvprotBinding()});
        ctrl->send(new CdrvPortSetEvt(pty.name.c_str()), CONN_DRV);
        helmtest::drain();
        ctrl->clearReceived();
    }
    void toParser(BBindingEvent* e)
    {
        ctrl->send(e, PROT_PARSER);
        helmtest::drain();
    }
    // A message as the driver hands it on, whatever its receive rules let through.
    void fromDriver(const Bytes& b)
    {
        auto* e = new CdrvStrEvt();
        e->set(b.data(), static_cast<int>(b.size()));
        KvcdrvRoot::existing()->sendBack(e, KOR_PROG, PROT_PARSER, nullptr);
        helmtest::drain();
    }
    // The unit sends a frame with this type and data.
    void unit(uint8_t type, const std::string& data) { feed(frame(type, data)); }
    template <class T>
    const T* last() const
    {
        auto all = ctrl->receivedOf<T>();
        return all.empty() ? nullptr : all.back();
    }
    // Nothing more arrives on the line within a short while.
    bool lineQuiet() const { return pty.read(1, 100).empty(); }

    KvTestComponent* ctrl = nullptr;
};

BBindingEvent* plain(SignalId s) { return new BBindingEvent(s, true); }

TEST_F(ParserTest, EveryEventIsWrittenAsItsExactBytes)
{
    auto* upgr = new KvprotUpgrData();
    KvprgPacket last;  // the last packet of a 130-byte image: 2 bytes and 126 pad bytes
    uint8_t image[130] = {};
    image[128] = 0x11;
    image[129] = 0x22;
    last.fill(2, image, 130, 128);
    upgr->data(last.data(), PACKET_DATA_SIZE);
    auto* boot = new KvprotBootLoadData();
    boot->data(reinterpret_cast<const uint8_t*>("abc"), 3);

    const struct {
        BBindingEvent* e;
        Bytes wire;
    } cases[] = {
        {new KvprotAckEvt(), {0x06}},
        {new KvprotUplEndEvt(), {0x01, 0x05, 0x00, 0x02, 0x03, 0x0B}},
        {new KvprotSeeEvt(7, "ab", "12"),
         {0x01, 0x04, 0x0A, 0x02, 0x07, 0x22, 0x61, 0x62, 0x22, 0x2C, 0x22, 0x31, 0x32, 0x22, 0x03, 0xF5}},
        {new KvprotSeeEvt(3, "", ""), {0x01, 0x04, 0x06, 0x02, 0x03, 0x22, 0x22, 0x2C, 0x22, 0x22, 0x03, 0xC7}},
        {new KvprotSeeEvt(1, "a\\b", "9"),  // the unit's texts hold '/' for '\'
         {0x01, 0x04, 0x0A, 0x02, 0x01, 0x22, 'a', '/', 'b', 0x22, 0x2C, 0x22, '9', 0x22, 0x03, 0xF4}},
        {new KvprotDlrEvt(), {0x01, 0x03, 0x00, 0x02, 0x03, 0x09}},
        {plain(KVPROT_LIFE_CHECK), {0x01, 0x08, 0x00, 0x02, 0x03, 0x0E}},
        {new KvprotNakEvt(), {0x15}},
        {new KvprotSrqEvt(), {0x01, 0x00, 0x00, 0x02, 0x03, 0x06}},
        {new KvprotUprEvt(), {0x01, 0x02, 0x00, 0x02, 0x03, 0x08}},
        {new KvprotChecksum(last.checksum()), {0xB5}},
        {plain(KVPROT_EOT), {0x04}},
        {new KvprotPacknr(255), {0xFF}},
        {new KvprotPacknr1cmpl(0x00), {0x00}},
        {plain(KVPROT_SOH), {0x01}},
        {new KvprotUpgradeReq(), {0x01, 0x0A, 0x00, 0x02, 0x03, 0x10}},
        {upgr, Bytes{0x11, 0x22} + Bytes(126, 0xFF)},
        {boot, {0x01, 0x0C, 0x00, 0x02, 'a', 'b', 'c', 0x03, 0x38}},
    };
    for (const auto& c : cases) {
        const int sig = c.e->signalId();
        toParser(c.e);
        EXPECT_EQ(pty.read(c.wire.size()), c.wire) << "signal " << sig;
    }
    EXPECT_TRUE(lineQuiet());
    EXPECT_FALSE(traced("Unsuccessful result"));
    EXPECT_FALSE(traced("Assertion failed"));
}

TEST_F(ParserTest, OversizedDataAreRefusedOrCutNeverReadPastTheirFields)
{
    auto* boot = new KvprotBootLoadData();
    boot->_nrBytes = MAX_BOOT_DATA + 1;
    toParser(boot);
    EXPECT_TRUE(traced("Unsuccessful result event=65"));
    auto* upgr = new KvprotUpgrData();
    upgr->_nrBytes = 200;
    toParser(upgr);
    EXPECT_EQ(pty.read(KvprotUpgrData::MAX).size(), static_cast<size_t>(KvprotUpgrData::MAX));
    toParser(new KvprotSeeEvt(1, std::string(70, 't').c_str(), std::string(25, '5').c_str()));
    EXPECT_EQ(pty.read(64 + 20 + 12).size(), 96u);
    EXPECT_TRUE(traced("entry 1 cut to 64 and 20 characters"));
    EXPECT_TRUE(lineQuiet());
}

TEST_F(ParserTest, LoneBytesFromTheUnit)
{
    feed({ACK});
    feed({0x07});  // kept by the driver as garbage
    fromDriver({0x07});
    feed({NAK});
    feed({BOOTLOAD_REQ_BYTE});
    ASSERT_EQ(ctrl->received.size(), 3u);
    EXPECT_NE(dynamic_cast<const KvprotAckEvt*>(ctrl->received[0]), nullptr);
    EXPECT_EQ(ctrl->received[0]->signalId(), KVPROT_ACK);
    EXPECT_NE(dynamic_cast<const KvprotNakEvt*>(ctrl->received[1]), nullptr);
    EXPECT_NE(dynamic_cast<const KvctrlBtlReq*>(ctrl->received[2]), nullptr);
    EXPECT_TRUE(traced("Assertion failed: false Unknown data:7"));
    EXPECT_FALSE(traced("Unsuccessful result"));
    EXPECT_TRUE(lineQuiet());
}

TEST_F(ParserTest, BadFramesAreAnsweredWithNakFourTimesInARow)
{
    Bytes bad = frame(MSG_WAITING, "");
    bad.back() ^= 0x55;
    for (int i = 1; i <= 5; ++i) {
        feed(bad);
        EXPECT_EQ(pty.read(1, i <= 4 ? 3000 : 100), i <= 4 ? Bytes{NAK} : Bytes()) << "bad frame " << i;
    }
    EXPECT_TRUE(traced("checksum error read:"));
    EXPECT_TRUE(ctrl->received.empty());
    unit(MSG_WAITING, "");
    EXPECT_NE(last<KvctrlWaitEvt>(), nullptr);
    feed(bad);  // the count starts again
    EXPECT_EQ(pty.read(1), Bytes{NAK});
}

TEST_F(ParserTest, SettingEntriesAreDecodedWithTheirCuts)
{
    unit(MSG_SET_ENTRY, "\x05\"\",\"\"");
    const KvprotSeeEvt* e = last<KvprotSeeEvt>();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->entryNr(), 5);
    EXPECT_STREQ(e->f1data(), "");
    EXPECT_STREQ(e->f2data(), "");

    unit(MSG_SET_ENTRY, "\xC8\"Alarm/ingang 1\",\"" + std::string(25, '7') + "\"");
    e = last<KvprotSeeEvt>();
    EXPECT_EQ(e->entryNr(), 200);
    EXPECT_STREQ(e->f1data(), "Alarm\\ingang 1");
    EXPECT_EQ(std::string(e->f2data()), std::string(20, '7'));
    EXPECT_TRUE(traced("Assertion failed: (f2Len <= Kvprot::FIELD2MAX) invalid f2 size 25"));

    unit(MSG_SET_ENTRY, "\x09\"" + std::string(70, 'x') + "\",\"0612\"");
    EXPECT_EQ(std::string(last<KvprotSeeEvt>()->f1data()), std::string(64, 'x'));
    unit(MSG_SET_ENTRY, "\x09\"no end");  // a field without its quotes
    EXPECT_STREQ(last<KvprotSeeEvt>()->f2data(), "");
    EXPECT_EQ(ctrl->receivedOf<KvprotSeeEvt>().size(), 4u);
}

TEST_F(ParserTest, StatusRecordsAreSplitAndCut)
{
    unit(MSG_STATUS_INFO, std::string("\x01\x05\xC8", 3) +
                              "\"KV8888GM-EDX\",\"123456789KV-4.12xyz\",\"SPEC1\",\"D.49b\",\"35123456789012345678\"");
    const KvctrlStiEvt* s = last<KvctrlStiEvt>();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->prVer, 1);
    EXPECT_EQ(s->extraStat, 5);
    EXPECT_EQ(s->totalNrEntries, 200);
    EXPECT_STREQ(s->type, "KV8888GM-ED");
    EXPECT_STREQ(s->softw, "KV-4.12");
    EXPECT_STREQ(s->special, "SPEC1");
    EXPECT_STREQ(s->hardw, "D.49");
    EXPECT_STREQ(s->imei, "3512345678901234");

    unit(MSG_STATUS_INFO, std::string("\x01\xFF\x00", 3) + "\"KV4000GM-ED\"");
    s = last<KvctrlStiEvt>();
    EXPECT_STREQ(s->type, "KV4000GM-ED");
    EXPECT_STREQ(s->softw, "");
    EXPECT_STREQ(s->special, "");
    EXPECT_STREQ(s->hardw, "");
    EXPECT_STREQ(s->imei, "");

    unit(MSG_STATUS_INFO, std::string("\x02\x00\x07", 3) + "\"\",\"\",\"\",\"\",\"\"");
    s = last<KvctrlStiEvt>();
    EXPECT_EQ(s->prVer + s->extraStat + s->totalNrEntries, 9);
    EXPECT_EQ(std::string(s->type) + s->softw + s->special + s->hardw + s->imei, "");

    // Empty pieces go: the special moves into the software's place.
    unit(MSG_STATUS_INFO, std::string("\x01\x00\x00", 3) + "\"T\",,\"" + std::string(45, 's') + "\"");
    s = last<KvctrlStiEvt>();
    EXPECT_EQ(std::string(s->softw), std::string(7, 's'));
    unit(MSG_STATUS_INFO, std::string("\x01\x00\x00", 3) + "\"T\",\"\",\"" + std::string(45, 's') + "\"");
    s = last<KvctrlStiEvt>();
    EXPECT_EQ(std::string(s->special), std::string(40, 's')) << "a long field keeps its first 40";
    EXPECT_TRUE(traced("Assertion failed: (spLen <= KvctrlStiEvt::STRSIZE) invalid spNrBytes size 45"));
}

TEST_F(ParserTest, BootRecordsAndOtherFrameTypes)
{
    // Hardware "D\0.4" is short, the 11-character type makes it a boot record.
    unit(MSG_BOOT_INFO, std::string("?D\0.4KV8888GM-EDSP   !", 22));
    const KvctrlBootInf* b = last<KvctrlBootInf>();
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->hardw, "D");
    EXPECT_STREQ(b->type, "KV8888GM-ED");
    EXPECT_STREQ(b->special, "SP   ");
    unit(MSG_BOOT_INFO, std::string("?D.4\0KV8888\0\0\0\0\0\0\0\0\0\0!", 22));  // 3 and 6 characters
    EXPECT_EQ(ctrl->receivedOf<KvctrlBootInf>().size(), 1u) << "neither field whole: dropped";

    unit(MSG_XFER_END, "ignored");
    unit(MSG_WAITING, "");
    unit(MSG_BOOTLOAD_REQ, "");
    EXPECT_NE(last<KvctrlDldEndEvt>(), nullptr);
    EXPECT_NE(last<KvctrlWaitEvt>(), nullptr);
    EXPECT_NE(last<KvctrlBtlReq>(), nullptr);

    const size_t before = ctrl->received.size();
    unit(MSG_UPLOAD_REQ, "");
    EXPECT_TRUE(traced("Exception: Unknown data:1"));
    trace.clear();
    FrmKorProgImpl::CREATE_REVPACK = true;
    unit(MSG_UPLOAD_REQ, "");
    FrmKorProgImpl::CREATE_REVPACK = false;
    EXPECT_FALSE(traced("Unknown data:"));
    EXPECT_EQ(ctrl->received.size(), before);
    EXPECT_TRUE(lineQuiet()) << "good frames of other types are not answered";
}

}  // namespace
