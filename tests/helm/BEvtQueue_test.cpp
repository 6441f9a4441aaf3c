#include "HelmTestKit.h"
#include "helm/BBinding.h"
#include "helm/BEvtQueueFixed.h"
#include "helm/BEvtQueueFlex.h"

using namespace helmtest;

namespace {

const uint8_t PRIO4_BIT = 0x08;

class NoChildBinding : public BBinding {
public:
    BRootState* createChild() override { return nullptr; }
};

class QueueTest : public HelmTest {};

TEST_F(QueueTest, WakeAndSleepStayPairedThroughPostGetDeferAndPurge)
{
    Root root("q");
    root.initialize();
    BEvtQueue* q = root.queue();
    EXPECT_EQ(BScheduler::activePrio() & PRIO4_BIT, 0);

    q->post(local(110, 1));
    q->post(local(110, 2));
    EXPECT_EQ(BScheduler::activeQueues(PRIO_4), 1) << "second post into a non-empty queue must not wake again";
    EXPECT_NE(BScheduler::activePrio() & PRIO4_BIT, 0);

    BEvent* e1 = q->get();
    EXPECT_NE(BScheduler::activePrio() & PRIO4_BIT, 0);
    BEvent* e2 = q->get();
    EXPECT_EQ(BScheduler::activePrio() & PRIO4_BIT, 0) << "taking the last event puts the priority to sleep";
    EXPECT_EQ(BScheduler::activeQueues(PRIO_4), 0);
    EXPECT_EQ(q->get(), nullptr);
    EXPECT_EQ(BScheduler::activeQueues(PRIO_4), 0) << "get on an empty queue must not sleep twice";

    // Deferred events are invisible until retried; a retry into an empty queue wakes once.
    q->postDefered(e1);
    q->postDefered(e2);
    EXPECT_EQ(BScheduler::activePrio() & PRIO4_BIT, 0);
    q->retryDeferedEvts();
    EXPECT_EQ(BScheduler::activeQueues(PRIO_4), 1);
    EXPECT_EQ(q->count(), 2);

    // Purging every event of a binding leaves the queue empty and asleep.
    NoChildBinding b;
    for (int i = 0; i < 2; ++i) {
        BEvent* e = q->get();
        e->destroy();
    }
    auto* be = new CountedBindingEvent(60, 3);
    be->binding(&b);
    q->post(be);
    q->removeBindingEvts(&b);
    EXPECT_TRUE(q->isEmpty());
    EXPECT_EQ(BScheduler::activeQueues(PRIO_4), 0);
    EXPECT_TRUE(traced("cleanup event: 60"));
    root.abort();
}

TEST_F(QueueTest, EventPostedBeforeRegistrationWakesOnce)
{
    Root root("q");
    root.queue()->post(local(110));
    root.initialize();
    EXPECT_EQ(BScheduler::activeQueues(PRIO_4), 1);
    drain();
    EXPECT_EQ(BScheduler::activeQueues(PRIO_4), 0);
    root.abort();
}

TEST_F(QueueTest, RemoveBindingEvtsKeepsOtherEventsInOrder)
{
    Root root("q");
    root.initialize();
    NoChildBinding mine, other;
    BEvtQueue* q = root.queue();
    auto bound = [](BBinding* b, int tag) {
        auto* e = new CountedBindingEvent(60, tag);
        e->binding(b);
        return e;
    };
    q->post(bound(&mine, 1));
    q->post(local(110, 2));
    q->post(bound(&other, 3));
    q->post(bound(&mine, 4));
    q->postDefered(bound(&mine, 5));
    q->postDefered(bound(&other, 6));
    q->removeBindingEvts(&mine);
    EXPECT_TRUE(traced("cleanup defered event: 60"));
    std::vector<int> left;
    while (BEvent* e = q->get()) {
        left.push_back(tagOf(e));
        e->destroy();
    }
    EXPECT_EQ(left, (std::vector<int>{2, 3}));
    q->retryDeferedEvts();
    BEvent* e = q->get();
    EXPECT_EQ(tagOf(e), 6);
    e->destroy();
    root.abort();
}

TEST_F(QueueTest, HandshakeSignalsTakeTheFastBindingQueueWhenAsked)
{
    Root root("q");
    root.useFastBndQueue(true);
    root.initialize();
    root.queue()->post(new CountedBindingEvent(SIG_RELEASE_BINDING, 1));
    root.queue()->post(new CountedBindingEvent(SIG_WATCHDOG_RESET, 2));
    EXPECT_EQ(root.bndqueue()->count(), 1);
    EXPECT_EQ(root.queue()->count(), 1);
    EXPECT_NE(BScheduler::activePrio() & 0x80, 0);
    root.abort();
}

TEST_F(QueueTest, FixedQueueHoldsSizeMinusOneAndBuildsStampedEvents)
{
    Root root("q");
    BEvtQueueFixed q(&root, PRIO_4, 16);
    for (int i = 0; i < 15; ++i) EXPECT_TRUE(q.post(SignalId(100 + i)));
    EXPECT_FALSE(q.post(SignalId(150)));
    EXPECT_TRUE(traced("Evt NOT posted"));
    EXPECT_EQ(q.count(), 15);
    // Wrap the ring a few times: order and count stay right.
    for (int round = 0; round < 40; ++round) {
        BEvent* e = q.get();
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->signalId(), SignalId(100 + round % 15));
        EXPECT_EQ(e->moduleId(), MOD);
        e->destroy();
        EXPECT_TRUE(q.post(SignalId(100 + round % 15)));
        EXPECT_EQ(q.count(), 15);
    }
    while (BEvent* e = q.count() ? q.get() : nullptr) e->destroy();
    EXPECT_EQ(BScheduler::activeQueues(PRIO_4), 0);
    EXPECT_FALSE(q.post(static_cast<BEvent*>(nullptr)));
}

TEST_F(QueueTest, EventReportsItsSignalRangeAndDoubleRelease)
{
    BLocalEvent* bad = new BLocalEvent(60, true);
    EXPECT_TRUE(traced("signal must be in local or system range, sig=60"));
    bad->destroy();
    BBindingEvent* badB = new BBindingEvent(150, true);
    EXPECT_TRUE(traced("Signal must be in external or system range, sig=150"));
    EXPECT_EQ(badB->key(), nullptr);
    EXPECT_TRUE(traced("No key available"));
    badB->destroy();
}

}  // namespace
