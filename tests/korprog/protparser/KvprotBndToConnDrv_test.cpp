// The protocol parser end to end: a stand-in controller binds the real
// driver and a parser, the unit is the test on a pseudo-terminal.

#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "support/KvLineTest.h"

using namespace Kvprg;

namespace {

class ParserTest : public KvLineTest {
protected:
    void SetUp() override
    {
        KvLineTest::SetUp();
        ctrl = controller(pty.name);
    }
    void toParser(BBindingEvent* e) { ctrl->send(e, PROT_PARSER); }
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
    const Bytes lastPacket = Bytes{0x11, 0x22} + Bytes(126, 0xFF);  // of a 130-byte image
    auto* upgr = new KvprotUpgrData();
    upgr->data(lastPacket.data(), PACKET_DATA_SIZE);
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
        {new KvprotSeeEvt(1, "a\\b", "9"),  // the unit's texts hold '/' for '\'
         {0x01, 0x04, 0x0A, 0x02, 0x01, 0x22, 'a', '/', 'b', 0x22, 0x2C, 0x22, '9', 0x22, 0x03, 0xF4}},
        {new KvprotDlrEvt(), {0x01, 0x03, 0x00, 0x02, 0x03, 0x09}},
        {plain(KVPROT_LIFE_CHECK), {0x01, 0x08, 0x00, 0x02, 0x03, 0x0E}},
        {new KvprotNakEvt(), {0x15}},
        {new KvprotSrqEvt(), {0x01, 0x00, 0x00, 0x02, 0x03, 0x06}},
        {new KvprotUprEvt(), {0x01, 0x02, 0x00, 0x02, 0x03, 0x08}},
        {new KvprotChecksum(0xB5), {0xB5}},
        {plain(KVPROT_EOT), {0x04}},
        {new KvprotPacknr(255), {0xFF}},
        {new KvprotPacknr1cmpl(0x00), {0x00}},
        {plain(KVPROT_SOH), {0x01}},
        {new KvprotUpgradeReq(), {0x01, 0x0A, 0x00, 0x02, 0x03, 0x10}},
        {upgr, lastPacket},
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
    // The frame has no escaping: a double quote would end a field early
    // and shift the text into the number. Whatever hands one over, it is
    // left out of either part.
    toParser(new KvprotSeeEvt(7, "ab\",\"cd", "5\"5"));
    EXPECT_EQ(pty.read(19), (Bytes{0x01, 0x04, 0x0D, 0x02, 0x07, 0x22, 'a', 'b', ',', 'c', 'd', 0x22, 0x2C, 0x22, '5',
                                   '5', 0x22, 0x03, 0xF2}));
    EXPECT_TRUE(traced("entry 7 cut to 64 and 20 characters, or a double quote left out"));
    EXPECT_TRUE(lineQuiet());
}

TEST_F(ParserTest, LoneBytesFromTheUnit)
{
    feed({ACK});
    feed({0x07});  // kept by the driver as garbage, so handed on here directly
    auto* e = new CdrvStrEvt();
    e->set(Bytes{0x07}.data(), 1);
    KvcdrvRoot::existing()->sendBack(e, KOR_PROG, PROT_PARSER, nullptr);
    helmtest::drain();
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

// An event the controller got, as text.
std::string decoded(const BEvent* e)
{
    if (auto* s = dynamic_cast<const KvprotSeeEvt*>(e))
        return "entry " + std::to_string(s->entryNr()) + "|" + s->f1data() + "|" + s->f2data();
    if (auto* s = dynamic_cast<const KvctrlStiEvt*>(e))
        return "status " + std::to_string(s->prVer) + "," + std::to_string(s->extraStat) + "," +
               std::to_string(s->totalNrEntries) + "|" + s->type + "|" + s->softw + "|" + s->special + "|" + s->hardw +
               "|" + s->imei;
    if (auto* b = dynamic_cast<const KvctrlBootInf*>(e))
        return std::string("boot ") + b->hardw + "|" + b->type + "|" + b->special;
    if (dynamic_cast<const KvctrlDldEndEvt*>(e)) return "end of download";
    if (dynamic_cast<const KvctrlWaitEvt*>(e)) return "waiting";
    if (dynamic_cast<const KvctrlBtlReq*>(e)) return "boot loader request";
    return "signal " + std::to_string(e->signalId());
}

TEST_F(ParserTest, FramesFromTheUnitAreDecodedWithTheirCuts)
{
    const std::string s45(45, 's');
    const struct {
        uint8_t type;
        std::string data, event, report;
    } cases[] = {
        {MSG_SET_ENTRY, "\x05\"\",\"\"", "entry 5||", ""},
        {MSG_SET_ENTRY, "\xC8\"Alarm/ingang, 1\",\"" + std::string(25, '7') + "\"",
         "entry 200|Alarm\\ingang, 1|" + std::string(20, '7'),
         "Assertion failed: (f2Len <= Kvprot::FIELD2MAX) invalid f2 size 25"},
        {MSG_SET_ENTRY, "\x09\"" + std::string(70, 'x') + "\",\"0612\"", "entry 9|" + std::string(64, 'x') + "|0612",
         ""},
        {MSG_SET_ENTRY, "\x09\"no end", "entry 9|no end|", ""},  // a field without its quotes
        {MSG_STATUS_INFO,
         std::string("\x01\x05\xC8", 3) +
             "\"KV8888GM-EDX\",\"123456789KV-4.12xyz\",\"SPEC1\",\"D.49b\",\"35123456789012345678\"",
         "status 1,5,200|KV8888GM-ED|KV-4.12|SPEC1|D.49|3512345678901234", ""},
        {MSG_STATUS_INFO, std::string("\x01\xFF\x00", 3) + "\"KV4000GM-ED\"", "status 1,255,0|KV4000GM-ED||||", ""},
        // Empty pieces go: the special moves into the software's place.
        {MSG_STATUS_INFO, std::string("\x01\x00\x00", 3) + "\"T\",,\"" + s45 + "\"", "status 1,0,0|T|sssssss|||", ""},
        {MSG_STATUS_INFO, std::string("\x01\x00\x00", 3) + "\"T\",\"\",\"" + s45 + "\"",  // keeps its first 40
         "status 1,0,0|T||" + std::string(40, 's') + "||",
         "Assertion failed: (spLen <= KvctrlStiEvt::STRSIZE) invalid spNrBytes size 45"},
        // Hardware "D\0.4" is short, the 11-character type makes it a boot record.
        {MSG_BOOT_INFO, std::string("?D\0.4KV8888GM-EDSP   !", 22), "boot D|KV8888GM-ED|SP   ", ""},
        {MSG_BOOT_INFO, std::string("?D.4\0KV8888\0\0\0\0\0\0\0\0\0\0!", 22), "", ""},  // neither field whole
        {MSG_XFER_END, "ignored", "end of download", ""},
        {MSG_WAITING, "", "waiting", ""},
        {MSG_BOOTLOAD_REQ, "", "boot loader request", ""},
        {MSG_UPLOAD_REQ, "", "", "Exception: Unknown data:1"},
    };
    for (const auto& c : cases) {
        unit(c.type, c.data);
        EXPECT_EQ(ctrl->received.empty() ? "" : decoded(ctrl->received.back()), c.event) << int(c.type);
        EXPECT_LE(ctrl->received.size(), 1u);
        EXPECT_TRUE(traced(c.report)) << c.report;
        ctrl->clearReceived();
        trace.clear();
    }
    FrmKorProgImpl::CREATE_REVPACK = true;
    unit(MSG_UPLOAD_REQ, "");
    FrmKorProgImpl::CREATE_REVPACK = false;
    EXPECT_FALSE(traced("Unknown data:"));
    EXPECT_TRUE(ctrl->received.empty());
    EXPECT_TRUE(lineQuiet()) << "good frames are not answered";
}

}  // namespace
