// The controller's events from the parser: their signals, limits and traces.

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    KvctrlBootInf bti;
    EXPECT_EQ((std::vector<int>{sti.signalId(), bti.signalId(), KvctrlBtlReq().signalId(), KvctrlWaitEvt().signalId(),
                                KvctrlDldEndEvt().signalId()}),
              (std::vector<int>{CTRL_STATUS_INFO, CTRL_BOOT_INFO, CTRL_BOOTLOAD_REQ, CTRL_WAITING, CTRL_END_DNLD}));
    EXPECT_TRUE(sti.evtdbg() && bti.evtdbg());
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

}  // namespace
