#include <unistd.h>

#include <cstdlib>

#include "HelmTestKit.h"
#include "helm/BMainLoop.h"
#include "helm/BMainState.h"
#include "helm/BTimer.h"
#include "helm/platform/BNamedMutex.h"

using namespace helmtest;

namespace {

class TestMain : public BMainState {
public:
    void onSleep() override { ++sleeps; }
    int sleeps = 0;
};

class SchedulerTest : public HelmTest {
protected:
    void SetUp() override
    {
        HelmTest::SetUp();
        BMainState::_mutexId = "HelmTest_" + std::to_string(getpid());
    }
};

TEST_F(SchedulerTest, TimeCriticalQueuesAreServedBeforeComponentQueues)
{
    Root slow("slow", PRIO_4), fast("fast", PRIO_TIMECRITICAL);
    slow.initialize();
    fast.initialize();
    slow.sendLocal(local(110, 1), STATE_ROOT);
    fast.sendLocal(local(110, 2), STATE_ROOT);
    drain();
    EXPECT_EQ(log(), (std::vector<std::string>{"fast got 110/2", "slow got 110/1"}));
    slow.abort();
    fast.abort();
}

TEST_F(SchedulerTest, QueuesOfOnePriorityTakeTurns)
{
    Root a("a"), b("b");
    a.initialize();
    b.initialize();
    for (int i = 0; i < 3; ++i) {
        a.sendLocal(local(110, i), STATE_ROOT);
        b.sendLocal(local(110, i), STATE_ROOT);
    }
    drain();
    ASSERT_EQ(log().size(), 6u);
    for (size_t i = 1; i < log().size(); ++i) EXPECT_NE(log()[i].substr(0, 1), log()[i - 1].substr(0, 1));
    a.abort();
    b.abort();
}

TEST_F(SchedulerTest, EventInTwoQueuesLivesUntilBothDispatched)
{
    Root a("a"), b("b");
    a.initialize();
    b.initialize();
    BLocalEvent* e = local(110);
    e->copy();
    a.queue()->post(e);
    b.queue()->post(e);
    BScheduler::step();
    EXPECT_EQ(Tagged::alive(), 1);
    BScheduler::step();
    EXPECT_EQ(Tagged::alive(), 0);
    a.abort();
    b.abort();
}

TEST_F(SchedulerTest, IdleStepSleepsAndNextPostWakes)
{
    TestMain main;
    main.startup();
    ASSERT_EQ(BScheduler::systemStatus(), SYSTEM_SLEEPING);
    main.sendLocal(local(110), STATE_ROOT);
    EXPECT_EQ(BScheduler::systemStatus(), SYSTEM_ACTIVE);
    BScheduler::step();  // serves the event
    EXPECT_EQ(BScheduler::systemStatus(), SYSTEM_ACTIVE);
    BScheduler::step();  // nothing left: SIG_SLEEP to the main state
    EXPECT_EQ(BScheduler::systemStatus(), SYSTEM_SLEEPING);
    EXPECT_EQ(main.sleeps, 1);
    main.sendLocal(local(110), STATE_ROOT);
    EXPECT_EQ(BScheduler::systemStatus(), SYSTEM_ACTIVE);
    main.shutdown();
    while (!BScheduler::terminated()) BScheduler::step();
}

TEST_F(SchedulerTest, ShutdownEndsOnlyWhenLastQueueAndTimerAreGone)
{
    TestMain main;
    main.startup();
    Root other("other");
    other.initialize();
    BTimer timer;
    timer.fireIn(other.queue(), 500, 150);

    main.shutdown();
    EXPECT_EQ(BScheduler::systemStatus(), SYSTEM_TERMINATING);
    BScheduler::step();
    EXPECT_FALSE(BScheduler::terminated()) << "a queue is still registered";
    other.abort();
    BScheduler::step();
    EXPECT_FALSE(BScheduler::terminated()) << "a timer is still armed";
    timer.disarm();
    BScheduler::step();
    EXPECT_TRUE(BScheduler::terminated());
    EXPECT_TRUE(traced("Destroy mutexId:" + BMainState::_mutexId));
    EXPECT_FALSE(BScheduler::helmMutex().valid());
}

TEST_F(SchedulerTest, SecondInstanceOfSameNameEntersNothing)
{
    BNamedMutex first;
    ASSERT_EQ(first.create(BMainState::_mutexId), BNamedMutex::CREATED);
    TestMain main;
    main.addRegion(new Leaf(&main, "A"));
    main.startup();
    EXPECT_TRUE(traced("Error!! mutexID " + BMainState::_mutexId + "Already exists. Assign other Id"));
    EXPECT_EQ(BScheduler::systemStatus(), SYSTEM_TERMINATING);
    EXPECT_FALSE(main.isInitialised());
    EXPECT_TRUE(log().empty());
    BScheduler::step();
    EXPECT_TRUE(BScheduler::terminated());

    // Once the first lets go, the name is free again.
    first.close();
    BNamedMutex again;
    EXPECT_EQ(again.create(BMainState::_mutexId), BNamedMutex::CREATED);
}

TEST_F(SchedulerTest, LockThatCannotBeMadeEntersNothing)
{
    const char* previous = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = previous ? previous : "";
    setenv("XDG_RUNTIME_DIR", "/proc/self/status", 1);  // a file, no directory
    TestMain main;
    main.addRegion(new Leaf(&main, "A"));
    main.startup();
    if (previous) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(traced("cannot create lock file /proc/self/status/" + BMainState::_mutexId +
                       ".lock: Not a directory; not started"));
    EXPECT_FALSE(main.isInitialised());
    EXPECT_TRUE(log().empty());
    BScheduler::step();
    EXPECT_TRUE(BScheduler::terminated());
}

TEST_F(SchedulerTest, ShortMutexNameAborts)
{
    BMainState::_mutexId = "short";
    TestMain main;
    main.startup();
    EXPECT_TRUE(traced("Error!! BMainState::_mutexId not set by Application !!"));
    EXPECT_EQ(BScheduler::systemStatus(), SYSTEM_TERMINATING);
    BScheduler::step();
    EXPECT_TRUE(BScheduler::terminated());
}

TEST_F(SchedulerTest, MainLoopStopsOnShutdownFlagAndPollsEveryPass)
{
    TestMain main;
    bool shutdown = false;
    int polls = 0, waits = 0;
    main.startup();
    BMainLoop::Hooks hooks;
    hooks.pollInput = [&] { ++polls; };
    hooks.waitEvents = [&](double) {
        if (++waits == 3) shutdown = true;
    };
    BMainLoop::run(main, shutdown, hooks);
    EXPECT_EQ(polls, 3);
    EXPECT_TRUE(BScheduler::terminated());
    EXPECT_TRUE(traced("Main: entering Shutdown ... "));
}

TEST_F(SchedulerTest, MainLoopWaitsUntilTheNextTimerButNotOnceAStepEndedTheProgram)
{
    TestMain main;
    main.startup();
    Root r("r");
    r.initialize();
    BTimer timer;
    bool shutdown = false;
    std::vector<double> waits;
    BMainLoop::Hooks hooks;
    hooks.waitEvents = [&](double s) {
        waits.push_back(s);
        if (waits.size() == 1) timer.fireIn(r.queue(), 20, 110);
        else FakeClock::advance(20);
    };
    r.react = [&](Root*, const BEvent*) { shutdown = true; };
    bool left = false;
    hooks.afterStep = [&] {
        if (shutdown && !left) r.abort();
        left = shutdown;
    };
    BMainLoop::run(main, shutdown, hooks);
    ASSERT_EQ(waits.size(), 2u);
    EXPECT_DOUBLE_EQ(waits[0], BMainLoop::MAX_WAIT_S) << "nothing armed";
    EXPECT_DOUBLE_EQ(waits[1], 0.2) << "a timer 20 ticks on";
    EXPECT_EQ(log(), (std::vector<std::string>{"r got 110/-1"}));
    EXPECT_TRUE(BScheduler::terminated());
}

TEST_F(SchedulerTest, HelmCommandAnswersItsActions)
{
    Root a("a");
    a.initialize();
    a.sendLocal(local(110), STATE_ROOT);
    auto run = [](std::vector<std::string> words) {
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(&w[0]);
        return BScheduler::helmProcDbgStr(int(argv.size()), argv.data());
    };
    EXPECT_TRUE(run({"helm", "queue", "40"}));
    EXPECT_TRUE(traced("events:1"));
    EXPECT_TRUE(run({"helm", "help"}));
    EXPECT_TRUE(traced("       - Print Helm internal data."));
    EXPECT_FALSE(run({"helm", "ssm", "-name", "a"}));
    EXPECT_TRUE(run({"helm", "prio"}));
    EXPECT_TRUE(traced("prio:4 queues:1 active:1"));
    drain();
    a.abort();
}

}  // namespace
