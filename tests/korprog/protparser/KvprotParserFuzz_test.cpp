// Random and mutated frames through the real driver's receiver and the
// parser (fixed seed). Under the sanitizer build this shows that no frame
// makes either read or write outside its buffers or leak an event; here
// every decoded field keeps within its limits and unmutated entries decode
// to what the unit sent.

#include <algorithm>
#include <cstring>
#include <random>

#include "korprog/KvprgCompList.h"
#include "korprog/conndrv/States/KvcdrvBinding.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "korprog/protparser/States/KvprotBinding.h"
#include "support/KvLineTest.h"

using namespace Kvprg;

namespace {

class ParserFuzz : public KvLineTest {
protected:
    void SetUp() override
    {
        KvLineTest::SetUp();
        ctrl = parent("KvTestCtrl", PROG_CTRL, {new KvcdrvBinding(), new KvprotBinding()});
        ctrl->send(new CdrvPortSetEvt(pty.name.c_str()), CONN_DRV);  // the parser's NAKs go out
        helmtest::drain();
        ctrl->clearReceived();
    }
    // The unit sends these bytes in one read of the driver.
    void unit(const Bytes& b)
    {
        std::deque<Bytes> reads{b};
        poll(reads);
        char sink[4096];  // the NAKs, so the line never fills up
        struct pollfd p = {pty.master, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) && ::read(pty.master, sink, sizeof sink) > 0) {
        }
    }
    std::string printable(int maxLen, const std::string& avoid)
    {
        std::string s(pick(0, maxLen), ' ');
        for (char& c : s) {
            do c = static_cast<char>(pick(0x20, 0x7E));
            while (avoid.find(c) != std::string::npos);
        }
        return s;
    }
    Bytes wellFormed()
    {
        KvprgFrame f;
        // Mostly the types the parser decodes, the rest any code.
        const uint8_t types[] = {MSG_STATUS_INFO, MSG_SET_ENTRY, MSG_BOOT_INFO, MSG_STATUS_INFO, MSG_SET_ENTRY,
                                 MSG_BOOT_INFO,   MSG_XFER_END,  MSG_WAITING,   MSG_BOOTLOAD_REQ};
        const int k = pick(0, 11);
        const uint8_t type = k < 9 ? types[k] : static_cast<uint8_t>(pick(0, 255));
        switch (type) {
        case MSG_STATUS_INFO:
            f.statusInfo(pick(0, 255), pick(0, 255), pick(0, 255), printable(14, "\"").c_str(),
                         printable(20, "\"").c_str(), printable(44, "\"").c_str(), printable(6, "\"").c_str(),
                         printable(18, "\"").c_str());
            break;
        case MSG_BOOT_INFO:
            f.bootInfo(printable(4, "").c_str(), printable(11, "").c_str(), printable(5, "").c_str());
            break;
        case MSG_SET_ENTRY:
            f.settingEntry(pick(0, 255), printable(64, "\"").c_str(), printable(pick(0, 1) ? 20 : 30, "\"").c_str());
            break;
        default: {
            std::string d(pick(0, 127), '\0');
            for (char& c : d) c = static_cast<char>(pick(0, 255));
            f.build(type, reinterpret_cast<const uint8_t*>(d.data()), static_cast<int>(d.size()));
        }
        }
        return Bytes(f.bytes(), f.bytes() + f.size());
    }
    void mutate(Bytes& f)
    {
        for (int i = pick(1, 4); i > 0; --i) {
            const size_t at = static_cast<size_t>(pick(1, static_cast<int>(f.size()) - 1));
            switch (pick(0, 3)) {
            case 0: f[at] = static_cast<uint8_t>(pick(0, 255)); break;
            case 1: f.insert(f.begin() + static_cast<long>(at), static_cast<uint8_t>(pick(0, 255))); break;
            case 2:
                if (f.size() > 7) f.erase(f.begin() + static_cast<long>(at));
                break;
            default: f[FRAME_LEN_OFS] = static_cast<uint8_t>(pick(0, 127));
            }
        }
        // Mostly a valid checksum, so the decoders see the damage.
        if (pick(0, 3)) f.back() = KvprgFrame::checksum(f.data(), static_cast<int>(f.size()) - 1);
    }
    void checkLimits()
    {
        for (const BEvent* e : ctrl->received) {
            if (auto* s = dynamic_cast<const KvctrlStiEvt*>(e)) {
                for (const char* t : {s->type, s->softw, s->special, s->hardw, s->imei})
                    ASSERT_LE(strnlen(t, KvctrlStiEvt::STRSIZE + 1), size_t(KvctrlStiEvt::STRSIZE));
                EXPECT_LE(std::strlen(s->type), size_t(TYPE_LEN));
                EXPECT_LE(std::strlen(s->hardw), size_t(HWVERSION_LEN));
            } else if (auto* b = dynamic_cast<const KvctrlBootInf*>(e)) {
                EXPECT_TRUE(std::strlen(b->hardw) == size_t(HWVERSION_LEN) || std::strlen(b->type) == size_t(TYPE_LEN));
                EXPECT_LE(std::strlen(b->special), size_t(BOOTREC_SPECIAL_LEN));
            } else if (auto* see = dynamic_cast<const KvprotSeeEvt*>(e)) {
                EXPECT_LE(std::strlen(see->f1data()), size_t(Kvprot::FIELD1_READ_MAX));
                EXPECT_LE(std::strlen(see->f2data()), size_t(Kvprot::FIELD2MAX));
            } else {
                const int sig = e->signalId();
                EXPECT_TRUE(sig == KVPROT_ACK || sig == KVPROT_NAK || sig == CTRL_END_DNLD || sig == CTRL_WAITING ||
                            sig == CTRL_BOOTLOAD_REQ)
                    << "signal " << sig;
            }
        }
        ctrl->clearReceived();
    }

    KvTestComponent* ctrl = nullptr;
    std::mt19937 rng{7700013u};
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
};

TEST_F(ParserFuzz, RandomAndMutatedFramesKeepEveryFieldWithinItsLimits)
{
    for (int i = 0; i < 6000; ++i) {
        Bytes f = wellFormed();
        if (pick(0, 2)) mutate(f);
        if (pick(0, 5) == 0) f = Bytes{static_cast<uint8_t>(pick(0, 255))};
        unit(f);
        checkLimits();
        if (HasFailure()) break;
        trace.clear();
    }
}

TEST_F(ParserFuzz, EntriesDecodeToWhatTheUnitSent)
{
    for (int i = 0; i < 2000; ++i) {
        const uint8_t nr = static_cast<uint8_t>(pick(0, 255));
        const std::string t = printable(64, "\"\\");
        const std::string n = printable(20, "\"");
        KvprgFrame f;
        f.settingEntry(nr, t.c_str(), n.c_str());
        unit(Bytes(f.bytes(), f.bytes() + f.size()));
        auto got = ctrl->receivedOf<KvprotSeeEvt>();
        ASSERT_EQ(got.size(), 1u) << "entry " << i;
        std::string expected = t;
        std::replace(expected.begin(), expected.end(), '/', '\\');
        ASSERT_EQ(got[0]->entryNr(), nr);
        ASSERT_EQ(got[0]->f1data(), expected);
        ASSERT_EQ(got[0]->f2data(), n);
        ctrl->clearReceived();
    }
}

}  // namespace
