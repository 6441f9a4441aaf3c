// Many random byte streams through the driver's receiver (fixed seeds). Run
// under the sanitizer build, they show that no stream makes it read or write
// outside its buffer; the checks below hold for every delivered message.

#include <random>

#include "korprog/KvprgCompList.h"
#include "korprog/KvprgProtDefs.h"
#include "korprog/conndrv/States/KvcdrvBinding.h"
#include "support/KvLineTest.h"

using namespace Kvprg;

namespace {

class ReceiverFuzz : public KvLineTest {
protected:
    void SetUp() override
    {
        KvLineTest::SetUp();
        prot = parent("KvTestProt", PROT_PARSER, {new KvcdrvBinding()});
        root = KvcdrvRoot::existing();
    }
    void poll() { KvLineTest::poll(pending); }
    std::vector<Bytes> takeMessages()
    {
        std::vector<Bytes> m;
        for (const CdrvStrEvt* e : prot->receivedOf<CdrvStrEvt>()) m.emplace_back(e->bytes(), e->bytes() + e->nrBytes);
        prot->clearReceived();
        return m;
    }

    KvTestComponent* prot = nullptr;
    KvcdrvRoot* root = nullptr;
    std::deque<Bytes> pending;
    std::mt19937 rng{20240611u};
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
};

// A well-formed frame of a random type, with any data bytes.
Bytes randomFrame(std::mt19937& rng, int maxData)
{
    const uint8_t types[] = {MSG_STATUS_INFO, MSG_SET_ENTRY, MSG_XFER_END, MSG_WAITING, MSG_BOOTLOAD_REQ, MSG_BOOT_INFO};
    std::string data(std::uniform_int_distribution<int>(0, maxData)(rng), '\0');
    for (char& c : data) c = static_cast<char>(rng() & 0xFF);
    return frame(types[rng() % sizeof types], data);
}

TEST_F(ReceiverFuzz, RandomStreamsOnlyEverDeliverFramedMessages)
{
    // Bytes that steer the receiver come often; the rest is any byte.
    const uint8_t steer[] = {SOH, STX, ETX, ACK, NAK, BOOTLOAD_REQ_BYTE, 0x05, 0x7F, 0x80, 0xFF};
    int delivered = 0;
    for (int stream = 0; stream < 4000; ++stream) {
        Bytes s;
        const int parts = pick(1, 12);
        for (int p = 0; p < parts; ++p) {
            switch (pick(0, 3)) {
            case 0: s = s + randomFrame(rng, 127); break;
            case 1: {
                Bytes f = randomFrame(rng, 127);  // cut short, or with a byte changed
                if (pick(0, 1)) f.resize(pick(1, static_cast<int>(f.size())));
                else f[pick(0, static_cast<int>(f.size()) - 1)] = steer[pick(0, 9)];
                s = s + f;
                break;
            }
            case 2:
                for (int i = pick(1, 40); i > 0; --i) s.push_back(pick(0, 2) ? steer[pick(0, 9)] : rng() & 0xFF);
                break;
            default:
                if (pick(0, 30) == 0) s = s + Bytes(pick(100, 2600), static_cast<uint8_t>(pick(0x20, 0x7E)));
                else s.push_back(pick(0, 1) ? ACK : NAK);
            }
        }
        // Cut the stream into reads and polls of random sizes.
        size_t at = 0;
        while (at < s.size()) {
            const int reads = pick(1, 3);
            for (int r = 0; r < reads && at < s.size(); ++r) {
                const size_t n = std::min(s.size() - at, static_cast<size_t>(pick(1, pick(0, 20) ? 64 : 2200)));
                pending.emplace_back(s.begin() + at, s.begin() + at + n);
                at += n;
            }
            poll();
        }
        while (!pending.empty()) poll();

        for (const Bytes& m : takeMessages()) {
            ++delivered;
            ASSERT_FALSE(m.empty());
            if (m.size() == 1) {
                EXPECT_TRUE(m[0] == ACK || m[0] == NAK || m[0] == BOOTLOAD_REQ_BYTE) << "lone byte " << int(m[0]);
                continue;
            }
            ASSERT_GE(m.size(), 6u);
            EXPECT_LT(m.size(), static_cast<size_t>(Kvcdrv::MAXDATA));
            EXPECT_EQ(m[0], SOH);
            EXPECT_LT(m[2], 0x80) << "a length byte of 128 or more never completes";
            EXPECT_GE(m.size(), 6u + m[2]);
            EXPECT_EQ(m[m.size() - 2], ETX);
        }
        if (::testing::Test::HasFailure()) break;
        trace.clear();
    }
    EXPECT_GT(delivered, 4000);
}

TEST_F(ReceiverFuzz, CleanLineDeliversEveryMessageWhateverTheReadBoundaries)
{
    // A clean line: one message at a time, each whole in its reads; a read
    // inside a frame never starts with what looks like a new message.
    for (int stream = 0; stream < 3000; ++stream) {
        std::vector<Bytes> sent;
        for (int i = pick(1, 8); i > 0; --i) {
            const uint8_t lone[] = {ACK, NAK, BOOTLOAD_REQ_BYTE};
            sent.push_back(pick(0, 4) ? randomFrame(rng, 120) : Bytes{lone[pick(0, 2)]});
            const Bytes& m = sent.back();
            std::vector<size_t> cuts;
            for (size_t k = 1; k < m.size(); ++k)
                if (!looksLikeMsgStart(m.data() + k, static_cast<int>(m.size() - k)) && pick(0, 9) == 0)
                    cuts.push_back(k);
            size_t from = 0;
            for (size_t c : cuts) {
                pending.emplace_back(m.begin() + from, m.begin() + c);
                from = c;
            }
            pending.emplace_back(m.begin() + from, m.end());
            if (pick(0, 1)) poll();  // a message may wait for the next poll
        }
        while (!pending.empty()) poll();
        ASSERT_EQ(takeMessages(), sent) << "stream " << stream;
        ASSERT_EQ(root->nrInvStarts(), 0);
    }
}

}  // namespace
