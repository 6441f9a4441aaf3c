// Driver and parser against the unit simulator, as the controller will use
// them: identity, a settings download, and a firmware upgrade.

#ifdef KORVANSIM_PATH

#include "korprog/KvprgPacket.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "korvansim/SimProcess.h"
#include "support/KvLineTest.h"

using namespace Kvprg;

namespace {

class WithKorvansim : public KvLineTest {
protected:
    void send(BBindingEvent* e) { ctrl->send(e, PROT_PARSER); }
    // The next event the parser sends up, polling as the main loop does.
    template <class T>
    const T* next()
    {
        for (int i = 0; i < 250 && ctrl->received.size() <= seen; ++i) {
            struct pollfd p = {fd(), POLLIN, 0};
            ::poll(&p, 1, 20);
            KvcdrvRoot::readCom();
            helmtest::drain();
        }
        if (ctrl->received.size() <= seen) return nullptr;
        const BEvent* e = ctrl->received[seen++];
        EXPECT_NE(dynamic_cast<const T*>(e), nullptr) << "signal " << int(e->signalId()) << "\n" << sim.log();
        return dynamic_cast<const T*>(e);
    }

    SimProcess sim;
    KvTestComponent* ctrl = nullptr;
    size_t seen = 0;
};

TEST_F(WithKorvansim, IdentityDownloadAndAnUpgradeThroughTheBootLoader)
{
    ASSERT_TRUE(
        sim.start({"--entries", "6", "--garbage", "5", "--wait-every", "4", "--image", sim.path("received.bin")}));
    ctrl = controller(sim.device);
    send(new KvprotSrqEvt());
    const KvctrlStiEvt* sti = next<KvctrlStiEvt>();
    ASSERT_NE(sti, nullptr);
    EXPECT_EQ(std::string(sti->type) + "|" + sti->softw + "|" + sti->special + "|" + sti->hardw + "|" + sti->imei,
              "KV8888GM-ED|KV-4.12|     |D.49|351234567890123");

    send(new KvprotDlrEvt());
    int entries = 0;
    for (const BEvent* e; (e = next<BEvent>()) && !dynamic_cast<const KvctrlDldEndEvt*>(e);) {
        if (dynamic_cast<const KvctrlWaitEvt*>(e)) {
            send(new KvprotDlrEvt());  // asked again, the unit carries on
            continue;
        }
        const KvprotSeeEvt* see = dynamic_cast<const KvprotSeeEvt*>(e);
        ASSERT_NE(see, nullptr);
        ASSERT_EQ(see->entryNr(), ++entries);
        send(new KvprotAckEvt());
    }
    EXPECT_EQ(entries, 6);

    // The unit restarts in its boot loader and asks with a lone 0x0B.
    send(new KvprotUpgradeReq());
    ASSERT_NE(next<KvctrlBtlReq>(), nullptr);
    auto* boot = new KvprotBootLoadData();
    boot->data(reinterpret_cast<const uint8_t*>("\x03\x01 boot"), 7);
    send(boot);
    const KvctrlBootInf* bti = next<KvctrlBootInf>();
    ASSERT_NE(bti, nullptr);
    EXPECT_STREQ(bti->type, "KV8888GM-ED");
    ASSERT_NE(next<KvprotNakEvt>(), nullptr) << "ready for packet 1";
    std::string image(100, '\x5A');
    image.replace(10, 16, "VERSION: KV-6.01");
    KvprgPacket p;
    p.fill(1, reinterpret_cast<const uint8_t*>(image.data()), static_cast<int>(image.size()), 0);
    auto* data = new KvprotUpgrData();
    data->data(p.data(), PACKET_DATA_SIZE);
    for (BBindingEvent* e : std::vector<BBindingEvent*>{new BBindingEvent(KVPROT_SOH, true), new KvprotPacknr(1),
                                                       new KvprotPacknr1cmpl(p.complement()), data,
                                                       new KvprotChecksum(p.checksum())})
        send(e);
    ASSERT_NE(next<KvprotAckEvt>(), nullptr) << sim.log();
    send(new BBindingEvent(KVPROT_EOT, true));
    ASSERT_NE(next<KvprotAckEvt>(), nullptr);
    send(new KvprotSrqEvt());
    sti = next<KvctrlStiEvt>();
    ASSERT_NE(sti, nullptr);
    EXPECT_STREQ(sti->softw, "KV-6.01");
}

}  // namespace

#endif
