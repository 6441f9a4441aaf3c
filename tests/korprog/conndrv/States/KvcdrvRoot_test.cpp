// The connection driver over a pseudo-terminal, between two stand-ins: "prot"
// in the parser's place (writes strings, receives messages) and "ctrl" in the
// controller's (chooses the port, receives port errors).

#include <cstdlib>

#include <fcntl.h>

#include "support/KvLineTest.h"
#include "support/TempDir.h"

using namespace Kvprg;

namespace {

const Bytes STATUS_REQ = {0x01, 0x00, 0x00, 0x02, 0x03, 0x06};

class DriverTest : public KvLineTest {
protected:
    void SetUp() override
    {
        KvLineTest::SetUp();
        prot = parent("KvTestProt", PROT_PARSER, {new KvcdrvBinding()});
        ctrl = parent("KvTestCtrl", PROG_CTRL, {new KvcdrvBinding()});
    }
    // By value: the driver must keep its own copy of the name.
    void setPort(std::string name) { ctrl->send(new CdrvPortSetEvt(name.c_str()), CONN_DRV); }
    void write(const Bytes& b)
    {
        auto* e = new CdrvStrEvt();
        e->set(b.data(), static_cast<int>(b.size()));
        prot->send(e, CONN_DRV);
    }
    std::vector<int> errors() const
    {
        std::vector<int> out;
        for (const CdrvErrorEvt* e : ctrl->receivedOf<CdrvErrorEvt>()) out.push_back(e->error());
        return out;
    }
    void tick(BTickType n)
    {
        helmtest::FakeClock::advance(n);
        BScheduler::step();
        helmtest::drain();
    }
    KvcdrvRoot* root() const { return KvcdrvRoot::existing(); }

    KvTestComponent* prot = nullptr;
    KvTestComponent* ctrl = nullptr;
};

TEST_F(DriverTest, StringBeforePortSettingsIsReportedThenSettingsOpenThePortOnceWithoutPolling)
{
    write(STATUS_REQ);
    EXPECT_TRUE(traced("Assertion failed: _actComPort != NULL"));
    EXPECT_TRUE(traced("Unsuccessful result event=51"));
    EXPECT_FALSE(KvcdrvRoot::portOpen());
    EXPECT_TRUE(errors().empty());

    root()->debugLevel(BTrace::LOW);
    setPort(pty.name);
    EXPECT_EQ(errors(), std::vector<int>{CDRV_CLEAR_COM_NOT_OPEN});
    EXPECT_TRUE(traced("KvcdrvRoot::portSettings result=1 \"" + pty.name + "\" (Kvcdrv:"));
    write(STATUS_REQ);
    EXPECT_EQ(pty.read(STATUS_REQ.size()), STATUS_REQ);
    EXPECT_EQ(errors().size(), 1u) << "no second CDRV_ERROR for an open port";
    EXPECT_EQ(trace.find(" result=1 \""), trace.rfind(" result=1 \"")) << "the port is opened once";

    // Only the main loop's readCom reads: a second of driven time reads nothing.
    ASSERT_TRUE(pty.deliver({ACK}, fd()));
    tick(100);
    EXPECT_TRUE(prot->strings().empty());
    KvcdrvRoot::readCom();
    helmtest::drain();
    EXPECT_EQ(prot->strings(), std::vector<Bytes>{{ACK}});
}

TEST_F(DriverTest, MissingPortIsReportedAndTheFirstStringAfterItAppearsOpensItAndStartsPolling)
{
    // A stable name as a USB adapter gets it, far longer than "COM16".
    TempDir dir("kvcdrv");
    ASSERT_TRUE(dir.ok());
    const std::string link = dir.path() + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0-" + std::string(150, 'x');
    setPort(link);
    EXPECT_EQ(errors(), std::vector<int>{CDRV_SET_COM_NOT_OPEN});
    write(STATUS_REQ);
    EXPECT_TRUE(traced("Assertion failed: _portOpen cdrvString: port " + link + " is not open."));
    EXPECT_EQ(errors().size(), 1u) << "a failed lazy open sends nothing";

    ASSERT_EQ(::symlink(pty.name.c_str(), link.c_str()), 0);
    write(STATUS_REQ);
    EXPECT_EQ(errors(), (std::vector<int>{CDRV_SET_COM_NOT_OPEN, CDRV_CLEAR_COM_NOT_OPEN}));
    EXPECT_EQ(pty.read(STATUS_REQ.size()), STATUS_REQ);
    // From now on the poll timer reads every 100 ms.
    const Bytes reply = frame(MSG_STATUS_INFO, "abc");
    ASSERT_TRUE(pty.deliver(reply, fd()));
    tick(9);
    EXPECT_TRUE(prot->strings().empty());
    tick(1);
    EXPECT_EQ(prot->strings(), std::vector<Bytes>{reply});
    ASSERT_TRUE(pty.deliver({NAK}, fd()));
    tick(10);
    EXPECT_EQ(prot->strings().size(), 2u);
}

// A unit that stopped reading, or a hung adapter: the program goes on, the
// line later gets whole messages in order, and the port stays open for the
// time-outs of whoever waits for an answer to give the unit up.
TEST_F(DriverTest, APortThatTakesNoBytesHoldsNothingUpAndLaterGetsWholeMessagesInOrder)
{
    const int stuffer = ::open(pty.name.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(stuffer, 0);
    setPort(pty.name);
    const size_t stuffed = stuffUntilFull(stuffer, pty.master);
    // Whole messages wait until one no longer fits behind them.
    Bytes accepted;
    int refusedAt = -1;
    for (int i = 0; i < 8 && refusedAt < 0; ++i) {
        const Bytes m = i == 0 ? STATUS_REQ : Bytes(2000, static_cast<uint8_t>('A' + i));
        write(m);
        if (traced("Assertion failed")) refusedAt = i;
        else accepted = accepted + m;
    }
    ASSERT_GE(refusedAt, 2);
    EXPECT_TRUE(traced("not all bytes written 0 of 2000"));
    EXPECT_TRUE(KvcdrvRoot::portOpen());
    EXPECT_EQ(errors(), std::vector<int>{CDRV_CLEAR_COM_NOT_OPEN});

    // The unit reads again; the main loop's reads write what waits.
    Bytes got;
    const size_t all = stuffed + accepted.size();
    for (int i = 0; i < 2000 && got.size() < all; ++i) {
        KvcdrvRoot::readCom();
        const Bytes more = pty.read(all - got.size(), 20);
        got.insert(got.end(), more.begin(), more.end());
    }
    ASSERT_EQ(got.size(), all);
    EXPECT_EQ(Bytes(got.begin() + static_cast<long>(stuffed), got.end()), accepted);
    write(STATUS_REQ);
    EXPECT_EQ(pty.read(STATUS_REQ.size()), STATUS_REQ);

    // A line that is gone is closed and reported.
    ::close(stuffer);
    ::close(pty.master);
    pty.master = -1;
    write(STATUS_REQ);
    EXPECT_FALSE(KvcdrvRoot::portOpen());
    EXPECT_EQ(errors(), (std::vector<int>{CDRV_CLEAR_COM_NOT_OPEN, CDRV_SET_COM_NOT_OPEN}));
}

// A USB adapter pulled out while the unit is quiet and plugged in again: the
// driver sees the hang-up on its next read and opens the same name again
// as soon as it is back, without waiting for a write.
TEST_F(DriverTest, PortThatHangsUpIsReportedAndOpenedAgainWhenItsNameIsBack)
{
    TempDir dir("kvcdrv");
    ASSERT_TRUE(dir.ok());
    const std::string link = dir.path() + "/usb-adapter";
    ASSERT_EQ(::symlink(pty.name.c_str(), link.c_str()), 0);
    setPort(link);
    ASSERT_EQ(errors(), std::vector<int>{CDRV_CLEAR_COM_NOT_OPEN});

    ::close(pty.master);  // pulled out
    pty.master = -1;
    ::unlink(link.c_str());
    KvcdrvRoot::readCom();
    helmtest::drain();
    EXPECT_EQ(errors(), (std::vector<int>{CDRV_CLEAR_COM_NOT_OPEN, CDRV_SET_COM_NOT_OPEN}));
    EXPECT_FALSE(KvcdrvRoot::portOpen());
    tick(100);
    EXPECT_EQ(errors().size(), 2u) << "a name that is not there yet is only tried again";

    KvPty back;
    ASSERT_EQ(::symlink(back.name.c_str(), link.c_str()), 0);
    tick(9);
    EXPECT_FALSE(KvcdrvRoot::portOpen());
    tick(1);
    EXPECT_TRUE(KvcdrvRoot::portOpen());
    EXPECT_EQ(errors(), (std::vector<int>{CDRV_CLEAR_COM_NOT_OPEN, CDRV_SET_COM_NOT_OPEN, CDRV_CLEAR_COM_NOT_OPEN}));
    write(STATUS_REQ);
    EXPECT_EQ(back.read(STATUS_REQ.size()), STATUS_REQ);
    tick(100);
    EXPECT_EQ(errors().size(), 3u) << "an open port is not opened again";
}

TEST_F(DriverTest, ReceiveRulesCutTheReadsIntoMessages)
{
    // SOH, ETX, ACK and NAK in the data are data.
    const Bytes f = frame(MSG_STATUS_INFO, std::string("\x01\x03\x06\x15\"KV\",\"x\"", 13));
    const Bytes b = frame(MSG_BOOT_INFO, "0D.49KV8888GM-ED     0");
    const Bytes w = frame(MSG_WAITING, "");  // length 0: from STX straight to ETX
    const Bytes ackX = {ACK, 'x'};
    // One case after the other: each leaves the receiver idle. An empty read
    // is one more poll of the port.
    const struct {
        const char* what;
        std::vector<Bytes> reads, messages;
    } cases[] = {
        {"frame split over reads",
         {Bytes(f.begin(), f.begin() + 2), Bytes(f.begin() + 2, f.begin() + 9), {}, Bytes(f.begin() + 9, f.end())},
         {f}},
        {"messages one behind the other in one read are each taken",
         {Bytes{ACK} + w, {}, text("zz") + Bytes{NAK}, {BOOTLOAD_REQ_BYTE, 'x'}, b + Bytes{NAK}},
         {{ACK}, w, {NAK}, {BOOTLOAD_REQ_BYTE}, b, {NAK}}},
        // Only a unit in its boot loader sends 0x0B alone; behind other
        // bytes it is the tail of a frame whose start was lost.
        {"0x0B behind other bytes is no message", {text("z") + Bytes{BOOTLOAD_REQ_BYTE}, Bytes{BOOTLOAD_REQ_BYTE}, w},
         {w}},
        {"seven garbage bytes are dropped", {text("garbage") + b}, {b}},
        {"eight, kept over several reads, drop the frame", {text("gar"), text("bage!") + b, b}, {b}},
        // A frame whose end never comes, a read without a message type (not
        // counted), then five that look like a new start are taken as data;
        // the sixth starts the receiver over.
        {"a frame without STX in its place is dropped",
         {Bytes{SOH, MSG_STATUS_INFO, 3, 'x', STX, 'a', 'b', 'c', ETX, 0x10} + b, Bytes{SOH, MSG_WAITING, 0, 0x7F} + w},
         {b, w}},
        {"sixth new start", {{SOH, MSG_STATUS_INFO, 0x7F, STX}, {SOH, 7, 'x'}, ackX, ackX, ackX, ackX, w, w}, {w}},
    };
    setPort(pty.name);
    for (const auto& c : cases) {
        for (const Bytes& r : c.reads) feed(r);
        EXPECT_EQ(prot->strings(), c.messages) << c.what;
        prot->clearReceived();
    }

    // A frame being assembled when we write is no answer: it is read to its
    // end and dropped, and the message behind it is taken.
    feed(Bytes(f.begin(), f.end() - 4));
    write(STATUS_REQ);
    feed(Bytes(f.end() - 4, f.end()));
    feed(w);
    EXPECT_EQ(prot->strings(), std::vector<Bytes>{w});
}

TEST_F(DriverTest, ReceiveBufferWrapsWithoutDeliveringAFrameWhoseStartWasOverwritten)
{
    setPort(pty.name);
    feed(Bytes(1020, 'x'));
    feed(Bytes(1020, 'y'));
    feed({SOH, MSG_SET_ENTRY, 5, STX});  // 4 bytes of space left: back to the start
    EXPECT_EQ(root()->readState(), KvcdrvRoot::READDATA_ST);
    feed({SOH, 'b', 'c', 'd', 'e', ETX, 0x42});
    EXPECT_TRUE(prot->strings().empty());
    const Bytes w = frame(MSG_WAITING, "");
    feed(Bytes(1022, 'x'));
    feed(Bytes(1022, 'x'));  // garbage that fills the buffer is forgotten
    feed(w);
    EXPECT_EQ(prot->strings(), std::vector<Bytes>{w});
}

TEST_F(DriverTest, TheDriverLivesWhileOneParentIsBound)
{
    setPort(pty.name);
    ctrl->stop();
    helmtest::drain();
    ASSERT_NE(root(), nullptr);
    feed({ACK});
    EXPECT_EQ(prot->strings().size(), 1u);
    prot->stop();
    helmtest::drain();
    EXPECT_EQ(root(), nullptr);
    EXPECT_EQ(KvcdrvRoot::actComPort(), nullptr) << "a later driver waits for new port settings";
    KvcdrvRoot::readCom();
}

TEST_F(DriverTest, MessageTraceAndStringPrintShowEveryByte)
{
    setPort(pty.name);
    root()->debugLevel(BTrace::LOW | BTrace::DATA | DBG_SEND);
    feed(text("ab") + frame(MSG_WAITING, ""));
    EXPECT_TRUE(traced("-->KvcdrvRoot::readSerialPort bytes read:8"));
    EXPECT_TRUE(traced("0x61:0 0x62:0 0x1:0 0x9:1 0x0:2 dataNrBytes=0 0x2:3 0x3:5 0xf:6 "));
    EXPECT_TRUE(traced("==> msg rcvd == nrBytes:6"));
    EXPECT_TRUE(traced("01 09 00 02 03 0f \n"));
    EXPECT_TRUE(traced("nrBytes=6\ndata=\"~01~~09~~00~~02~~03~~0f~\"\n"));
    // A frame without its STX is dropped where it breaks; a lone ACK is a line of its own.
    feed({0x01, 0x09, 0x00, 0x41});
    EXPECT_TRUE(traced("0x1:0 0x9:1 0x0:2 dataNrBytes=0 0x41:3  frame dropped: no STX"));
    EXPECT_TRUE(traced("0x41:0 \n"));
    feed({0x06});
    EXPECT_TRUE(traced("0x6:0 \n"));

    CdrvStrEvt e;
    Bytes b(300);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i % 2 ? 'A' + i % 26 : 0x07);
    ASSERT_TRUE(e.set(b.data(), 300));
    EXPECT_EQ(e.dataLine().size(), 6u + 150 * 4 + 150 + 1);
    EXPECT_EQ(e.dataLine().substr(0, 12), "data=\"~07~B~");
    Bytes all(Kvcdrv::MAXDATA, 0x01);
    ASSERT_TRUE(e.set(all.data(), Kvcdrv::MAXDATA));
    EXPECT_EQ(e.dataLine().size(), static_cast<size_t>(Kvcdrv::PRINT_MAX));
}

}  // namespace
