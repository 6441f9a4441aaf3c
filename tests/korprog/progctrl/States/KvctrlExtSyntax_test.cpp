// The controller's events from the parser: their signals, limits and traces.

#include <gtest/gtest.h>

#include <string>

#include "bdebug/BTrace.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"

namespace {

std::string printed(const BEvent& e, DebugLevel level)
{
    std::string out;
    BTrace::capture(&out);
    e.printData(level);
    BTrace::capture(nullptr);
    return out;
}

TEST(KvctrlExtSyntax, StatusRecordHoldsFortyCharactersAndPrintsEveryField)
{
    KvctrlStiEvt sti;
    EXPECT_EQ(sti.signalId(), CTRL_STATUS_INFO);
    EXPECT_TRUE(sti.evtdbg());
    EXPECT_EQ(sti.prVer + sti.extraStat + sti.totalNrEntries, 0);
    EXPECT_STREQ(sti.imei, "");
    EXPECT_TRUE(KvctrlStiEvt::setText(sti.special, std::string(40, 's')));
    EXPECT_EQ(std::string(sti.special), std::string(40, 's'));
    EXPECT_FALSE(KvctrlStiEvt::setText(sti.special, std::string(41, 'x')));
    EXPECT_EQ(std::string(sti.special), std::string(40, 'x'));

    sti.prVer = 1;
    sti.extraStat = 255;
    sti.totalNrEntries = 200;
    KvctrlStiEvt::setText(sti.type, "KV8888GM-ED");
    KvctrlStiEvt::setText(sti.softw, "KV-4.12");
    KvctrlStiEvt::setText(sti.special, "");
    KvctrlStiEvt::setText(sti.hardw, "D.49");
    KvctrlStiEvt::setText(sti.imei, "351234567890123");
    const std::string out = printed(sti, BTrace::DATA);
    EXPECT_NE(out.find(";virtual void KvctrlStiEvt::printData(DebugLevel) const\n"
                       "stiEvt::prVer    : 1\nstiEvt::extraStat: 255\nstiEvt::nrEntries: 200\n"
                       "stiEvt::type     : KV8888GM-ED\nstiEvt::softw    : KV-4.12\nstiEvt::special  : \n"
                       "stiEvt::hardw    : D.49\nstiEvt::imei      : 351234567890123\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(printed(sti, BTrace::LOW), "");
}

TEST(KvctrlExtSyntax, BootRecordAndTheEventsWithoutData)
{
    KvctrlBootInf bti;
    EXPECT_EQ(bti.signalId(), CTRL_BOOT_INFO);
    KvctrlStiEvt::setText(bti.type, "KV8888GM-ED");
    KvctrlStiEvt::setText(bti.hardw, "D.49");
    const std::string out = printed(bti, BTrace::DATA);
    EXPECT_NE(out.find("virtual void KvctrlBootInf::printData(DebugLevel) const\ntype   : KV8888GM-ED\n"
                       "special: \nhardw  : D.49\n"),
              std::string::npos)
        << out;

    KvctrlBtlReq btl;
    KvctrlWaitEvt wait;
    KvctrlDldEndEvt end;
    EXPECT_EQ(btl.signalId(), CTRL_BOOTLOAD_REQ);
    EXPECT_EQ(wait.signalId(), CTRL_WAITING);
    EXPECT_EQ(end.signalId(), CTRL_END_DNLD);
    EXPECT_TRUE(btl.evtdbg() && wait.evtdbg() && end.evtdbg());
    EXPECT_NE(printed(wait, BTrace::DATA).find("KvctrlWaitEvt::printData"), std::string::npos);
    EXPECT_EQ(printed(end, 0), "");
}

}  // namespace
