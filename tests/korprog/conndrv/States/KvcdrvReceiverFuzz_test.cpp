// Many random byte streams through the driver's receiver (fixed seeds). Run
// under the sanitizer build, they show that no stream makes it read or write
// outside its buffer; the checks below hold for every delivered message.

#include <random>

#include "support/KvLineTest.h"

using namespace Kvprg;

namespace {

class ReceiverFuzz : public KvLineTest {
protected:
    void SetUp() override
    {
        KvLineTest::SetUp();
        prot = parent("KvTestProt", PROT_PARSER, {new KvcdrvBinding()});
    }
    // Polls until every pending read is taken; the messages delivered.
    std::vector<Bytes> drainPending()
    {
        while (!pending.empty()) poll(pending);
        std::vector<Bytes> m = prot->strings();
        prot->clearReceived();
        return m;
    }
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    // A well-formed frame of a random type, with any data bytes.
    Bytes randomFrame(int maxData)
    {
        const uint8_t types[] = {MSG_STATUS_INFO, MSG_SET_ENTRY,    MSG_XFER_END,
                                 MSG_WAITING,     MSG_BOOTLOAD_REQ, MSG_BOOT_INFO};
        std::string data(pick(0, maxData), '\0');
        for (char& c : data) c = static_cast<char>(rng() & 0xFF);
        return frame(types[rng() % sizeof types], data);
    }

    KvTestComponent* prot = nullptr;
    std::deque<Bytes> pending;
    std::mt19937 rng{20240611u};
};

TEST_F(ReceiverFuzz, RandomStreamsOnlyEverDeliverFramedMessages)
{
    // Bytes that steer the receiver come often; the rest is any byte.
    const uint8_t steer[] = {SOH, STX, ETX, ACK, NAK, BOOTLOAD_REQ_BYTE, 0x05, 0x7F, 0x80, 0xFF};
    int delivered = 0;
    for (int stream = 0; stream < 4000 && !HasFailure(); ++stream) {
        Bytes s;
        for (int p = pick(1, 12); p > 0; --p) {
            Bytes f = randomFrame(127);
            switch (pick(0, 3)) {
            case 0: s = s + f; break;
            case 1:  // cut short, or with a byte changed
                if (pick(0, 1)) f.resize(pick(1, static_cast<int>(f.size())));
                else f[pick(0, static_cast<int>(f.size()) - 1)] = steer[pick(0, 9)];
                s = s + f;
                break;
            case 2:
                for (int i = pick(1, 40); i > 0; --i) s.push_back(pick(0, 2) ? steer[pick(0, 9)] : rng() & 0xFF);
                break;
            default:
                if (pick(0, 30) == 0) s = s + Bytes(pick(100, 2600), static_cast<uint8_t>(pick(0x20, 0x7E)));
                else s.push_back(pick(0, 1) ? ACK : NAK);
            }
        }
        // Cut the stream into reads and polls of random sizes.
        for (size_t at = 0; at < s.size();) {
            for (int r = pick(1, 3); r > 0 && at < s.size(); --r) {
                const size_t n = std::min(s.size() - at, static_cast<size_t>(pick(1, pick(0, 20) ? 64 : 2200)));
                pending.emplace_back(s.begin() + at, s.begin() + at + n);
                at += n;
            }
            poll(pending);
        }
        for (const Bytes& m : drainPending()) {
            ++delivered;
            ASSERT_FALSE(m.empty());
            if (m.size() == 1) {
                EXPECT_TRUE(m[0] == ACK || m[0] == NAK || m[0] == BOOTLOAD_REQ_BYTE) << "lone byte " << int(m[0]);
                continue;
            }
            ASSERT_GE(m.size(), 6u);
            EXPECT_LT(m.size(), static_cast<size_t>(Kvcdrv::MAXDATA));
            EXPECT_EQ(m[0], SOH);
            EXPECT_EQ(m[3], STX);
            EXPECT_LT(m[2], 0x80) << "a length byte of 128 or more never completes";
            EXPECT_GE(m.size(), 6u + m[2]);
            EXPECT_EQ(m[m.size() - 2], ETX);
        }
        trace.clear();
    }
    EXPECT_GT(delivered, 4000);
}

TEST_F(ReceiverFuzz, CleanLineDeliversEveryMessageWhateverTheReadBoundaries)
{
    // A clean line: one message at a time, each whole in its reads; a read
    // inside a frame never starts with what looks like a new message.
    const uint8_t lone[] = {ACK, NAK, BOOTLOAD_REQ_BYTE};
    for (int stream = 0; stream < 3000; ++stream) {
        std::vector<Bytes> sent;
        for (int i = pick(1, 8); i > 0; --i) {
            const Bytes m = pick(0, 4) ? randomFrame(120) : Bytes{lone[pick(0, 2)]};
            sent.push_back(m);
            size_t from = 0;
            for (size_t k = 1; k < m.size(); ++k)
                if (!looksLikeMsgStart(m.data() + k, static_cast<int>(m.size() - k)) && pick(0, 9) == 0) {
                    pending.emplace_back(m.begin() + from, m.begin() + k);
                    from = k;
                }
            pending.emplace_back(m.begin() + from, m.end());
            if (pick(0, 1)) poll(pending);  // a message may wait for the next poll
        }
        ASSERT_EQ(drainPending(), sent) << "stream " << stream;
        ASSERT_EQ(KvcdrvRoot::existing()->nrInvStarts(), 0);
    }
}

// A line at 9600 baud hands its bytes over one at a time: reads start
// anywhere in a frame, also at a data byte that looks like an ACK. Frame
// after frame, none is given up for it.
TEST_F(ReceiverFuzz, FramesReadByteByByteAreAllDeliveredHoweverManyLookLikeACKs)
{
    // Setting entry 6 with no text and no number: its length byte and its
    // number are 0x06, as an ACK.
    const Bytes entry6 = {0x01, 0x04, 0x06, 0x02, 0x06, 0x22, 0x22, 0x2C, 0x22, 0x22, 0x03, 0xCA};
    std::vector<Bytes> sent;
    for (int i = 0; i < 20; ++i) {
        sent.push_back(entry6);
        for (uint8_t b : entry6) pending.push_back({b});
    }
    EXPECT_EQ(drainPending(), sent);
}

}  // namespace
