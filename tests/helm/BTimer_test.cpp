#include "HelmTestKit.h"
#include "helm/BTimer.h"
#include "helm/BTimerManager.h"

using namespace helmtest;

namespace {

class TimerTest : public HelmTest {
protected:
    void SetUp() override
    {
        HelmTest::SetUp();
        root.initialize();
    }
    void TearDown() override
    {
        drain();
        root.abort();
        HelmTest::TearDown();
    }
    // Steps once at the given tick and returns the signals dispatched.
    std::vector<std::string> at(BTickType tick)
    {
        FakeClock::set(tick);
        log().clear();
        BScheduler::step();
        drain();
        return log();
    }
    Root root{"t"};
};

TEST_F(TimerTest, OneShotFiresOnceAtItsTickAndNotAfterDisarm)
{
    BTimer t;
    t.fireIn(root.queue(), 100, 150);
    EXPECT_TRUE(at(1099).empty());
    EXPECT_EQ(at(1100), (std::vector<std::string>{"t got 150/-1"}));
    EXPECT_FALSE(t.armed());
    EXPECT_TRUE(at(1300).empty());

    t.fireIn(root.queue(), 100, 150);
    t.disarm();
    EXPECT_TRUE(at(1500).empty());
    EXPECT_TRUE(BScheduler::timerManager().isEmpty());
}

TEST_F(TimerTest, RepeatingTimerThatFellBehindFiresOnceAndGoesOnFromNow)
{
    BTimer t;
    t.fireEvery(root.queue(), 5, 151);
    EXPECT_EQ(at(1004).size(), 0u);
    EXPECT_EQ(at(1007).size(), 1u) << "late by less than a period";
    EXPECT_EQ(at(1010).size(), 1u) << "keeps its beat";
    EXPECT_EQ(at(1040).size(), 1u) << "six periods missed: one event, no burst";
    EXPECT_EQ(at(1044).size(), 0u);
    EXPECT_EQ(at(1045).size(), 1u) << "the next one a period after the late one";
    EXPECT_TRUE(t.armed());
}

TEST_F(TimerTest, HeldClockStandsStillAndNoTimerCountsTheHeldTime)
{
    BTimer timeout;
    timeout.fireIn(root.queue(), 1000, 150);
    EXPECT_TRUE(at(1950).empty());
    bTimerTickHold();
    bTimerTickHold();  // a dialog opened from a dialog
    FakeClock::advance(3000);
    EXPECT_EQ(bTimerTick(), 1950u);
    EXPECT_TRUE(at(FakeClock::now()).empty());
    bTimerTickRelease();
    FakeClock::advance(3000);
    EXPECT_TRUE(at(FakeClock::now()).empty()) << "still held";
    bTimerTickRelease();
    EXPECT_EQ(bTimerTick(), 1950u) << "goes on from where it stood";
    EXPECT_TRUE(at(FakeClock::now() + 49).empty());
    EXPECT_EQ(at(FakeClock::now() + 1), (std::vector<std::string>{"t got 150/-1"}));
    bTimerTickRelease();  // one release too many changes nothing
    EXPECT_EQ(bTimerTick(), 2000u);
}

TEST_F(TimerTest, RearmingMovesTheExpiryAndGivesOneEvent)
{
    BTimer t;
    t.fireIn(root.queue(), 10, 150);
    FakeClock::set(1005);
    t.fireIn(root.queue(), 10, 152);
    EXPECT_TRUE(at(1010).empty());
    EXPECT_EQ(at(1015), (std::vector<std::string>{"t got 152/-1"}));
}

TEST_F(TimerTest, EqualExpiriesFireInArmingOrderExceptAgainstTheFirstEntry)
{
    BTimer first, a, b, c;
    first.fireIn(root.queue(), 5, 150);
    a.fireIn(root.queue(), 10, 151);
    b.fireIn(root.queue(), 10, 152);
    c.fireIn(root.queue(), 5, 153);  // equals the first entry: goes in front of it
    EXPECT_EQ(at(1010), (std::vector<std::string>{"t got 153/-1", "t got 150/-1", "t got 151/-1", "t got 152/-1"}));
}

TEST_F(TimerTest, TimersArmedAcrossTheTickWrapFireOnTime)
{
    const BTickType nearWrap = 0xFFFFFFF0u;
    FakeClock::set(nearWrap);
    BScheduler::step();  // the manager has now seen a tick just below the wrap
    BTimer beforeWrap, afterWrap, repeat;
    beforeWrap.fireIn(root.queue(), 8, 150);   // expires at 0xFFFFFFF8
    afterWrap.fireIn(root.queue(), 0x30, 151);  // expires at 0x20, past the wrap
    repeat.fireEvery(root.queue(), 0x10, 152);  // 0x0, 0x10, 0x20, ...
    EXPECT_TRUE(at(0xFFFFFFF7u).empty());
    EXPECT_EQ(at(0xFFFFFFF9u), (std::vector<std::string>{"t got 150/-1"}));
    EXPECT_EQ(at(0x5u), (std::vector<std::string>{"t got 152/-1"}));
    EXPECT_EQ(at(0x1Fu), (std::vector<std::string>{"t got 152/-1"}));
    EXPECT_EQ(at(0x20u), (std::vector<std::string>{"t got 152/-1", "t got 151/-1"}));
    repeat.disarm();
}

TEST_F(TimerTest, NextExpiryCountsFromNowAcrossTheWrapAndIsZeroOnceDue)
{
    BTimerManager& m = BScheduler::timerManager();
    BTickType left = 99;
    EXPECT_FALSE(m.ticksToNextExpiry(&left)) << "nothing armed";
    FakeClock::set(0xFFFFFFF0u);
    BScheduler::step();
    BTimer afterWrap, soon;
    afterWrap.fireIn(root.queue(), 0x30, 151);
    ASSERT_TRUE(m.ticksToNextExpiry(&left));
    EXPECT_EQ(left, 0x30u);
    soon.fireIn(root.queue(), 8, 150);
    m.ticksToNextExpiry(&left);
    EXPECT_EQ(left, 8u);
    FakeClock::set(0xFFFFFFFAu);  // overdue, not processed yet
    m.ticksToNextExpiry(&left);
    EXPECT_EQ(left, 0u);
}

TEST_F(TimerTest, TimerArmedAfterTheWrapButBeforeProcessingWaitsForItsTick)
{
    FakeClock::set(0xFFFFFF00u);
    BScheduler::step();
    FakeClock::set(0x10);  // wrapped, not yet seen by the manager
    BTimer t;
    t.fireIn(root.queue(), 0x20, 150);  // expires at 0x30
    EXPECT_TRUE(at(0x11).empty());
    EXPECT_EQ(at(0x30), (std::vector<std::string>{"t got 150/-1"}));
}

TEST_F(TimerTest, LoadUsesConstructionSettingsAndReportsMissingOnes)
{
    BTimer repeating(root.queue(), BTimer::REPEAT);
    repeating.load(10, 150);
    EXPECT_EQ(at(1010).size(), 1u);
    EXPECT_EQ(at(1020).size(), 1u) << "repeats";
    repeating.disarm();
    BTimer bare;
    bare.load(10, 151);
    EXPECT_TRUE(traced("Invalid settings sig=151"));
    EXPECT_TRUE(at(1100).empty()) << "a timer without queue posts nowhere";
    bare.fireIn(root.queue(), 0, 150);
    EXPECT_TRUE(traced("nTicks must not be zero"));
}

TEST_F(TimerTest, TimeOfDayTimersArmWithinADayOrAWeek)
{
    BTimer daily, weekly;
    daily.fireAt(root.queue(), 25, 0, 0, 150);
    EXPECT_TRUE(traced("invalid hour"));
    EXPECT_FALSE(daily.armed());
    daily.fireAt(root.queue(), 12, 30, 0, 150);
    ASSERT_TRUE(daily.armed());
    const BTickType inDay = daily.timeStamp() - FakeClock::now();
    EXPECT_GE(inDay, BTimer::nSecs(1));
    EXPECT_LE(inDay, BTimer::nDays(1));
    weekly.fireAt(root.queue(), BTimer::MONDAY, 8, 0, 0, 151);
    ASSERT_TRUE(weekly.armed());
    EXPECT_LE(weekly.timeStamp() - FakeClock::now(), BTimer::nDays(7));
}

TEST_F(TimerTest, WatchdogReportsThenResetsAfterTenSeconds)
{
    root.reloadWatchdog(2);
    EXPECT_TRUE(at(1199).empty());
    at(1200);
    EXPECT_TRUE(traced("Fatal: Watchdog timeout mod=40 cmp=41 (t:"));
    EXPECT_FALSE(traced("Watchdog not handled by parent"));
    at(2199);
    EXPECT_FALSE(traced("Watchdog not handled by parent"));
    at(2200);
    EXPECT_TRUE(traced("Fatal: Watchdog not handled by parent, now we reset. mod=40 cmp=41"));
    root.reloadWatchdog(0);
    EXPECT_TRUE(traced("watchdog reload time may not be 0"));
    root.watchdog()->disarm();
}

}  // namespace
