// Random and mutated frames through the real driver's receiver and the
// parser (fixed seed). Under the sanitizer build this shows that no frame
// makes either read or write outside its buffers or leak an event; here
// every decoded field keeps within its limits.

#include <cstring>
#include <random>

#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "support/KvLineTest.h"

using namespace Kvprg;

namespace {

class ParserFuzz : public KvLineTest {
protected:
    void SetUp() override
    {
        KvLineTest::SetUp();
        ctrl = controller(pty.name);  // the parser's NAKs go out
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
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    std::string printable(int maxLen, const std::string& avoid = "\"")
    {
        std::string s(pick(0, maxLen), ' ');
        for (char& c : s) {
            do c = static_cast<char>(pick(0x20, 0x7E));
            while (avoid.find(c) != std::string::npos);
        }
        return s;
    }
    // Mostly the types the parser decodes (records twice as often), the rest any code.
    Bytes wellFormed()
    {
        KvprgFrame f;
        const uint8_t types[] = {MSG_STATUS_INFO, MSG_SET_ENTRY, MSG_BOOT_INFO,
                                 MSG_XFER_END,    MSG_WAITING,   MSG_BOOTLOAD_REQ};
        const int k = pick(0, 11);
        const uint8_t type = k < 9 ? types[k % 6] : static_cast<uint8_t>(pick(0, 255));
        if (type == MSG_STATUS_INFO)
            f.statusInfo(pick(0, 255), pick(0, 255), pick(0, 255), printable(14).c_str(), printable(20).c_str(),
                         printable(44).c_str(), printable(6).c_str(), printable(18).c_str());
        else if (type == MSG_BOOT_INFO)
            f.bootInfo(printable(4, "").c_str(), printable(11, "").c_str(), printable(5, "").c_str());
        else if (type == MSG_SET_ENTRY)
            f.settingEntry(pick(0, 255), printable(64).c_str(), printable(pick(0, 1) ? 20 : 30).c_str());
        else {
            Bytes d(pick(0, 127));
            for (uint8_t& c : d) c = static_cast<uint8_t>(pick(0, 255));
            f.build(type, d.data(), static_cast<int>(d.size()));
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

    KvTestComponent* ctrl = nullptr;
    std::mt19937 rng{7700013u};
};

TEST_F(ParserFuzz, RandomAndMutatedFramesKeepEveryFieldWithinItsLimits)
{
    for (int i = 0; i < 6000 && !HasFailure(); ++i) {
        Bytes f = wellFormed();
        if (pick(0, 2)) mutate(f);
        if (pick(0, 5) == 0) f = Bytes{static_cast<uint8_t>(pick(0, 255))};
        unit(f);
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
        trace.clear();
    }
}

}  // namespace
