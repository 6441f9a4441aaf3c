#include <unistd.h>

#include "HelmTestKit.h"
#include "helm/BBinderState.h"
#include "helm/BBinding.h"
#include "helm/BMainState.h"
#include "helm/BTimer.h"

using namespace helmtest;

namespace {

const ModuleId CHILD_MOD = 50;

// A binding whose child the test hands over (shared) or that makes a new one.
class TestBinding : public BBinding {
public:
    TestBinding(ComponentId cmp, Root* shared = nullptr)
        : _cmp(cmp), _shared(shared), _childName("child" + std::to_string(int(cmp)))
    {
    }
    BRootState* createChild() override
    {
        if (_shared) return _shared;
        auto* r = new Root(_childName.c_str(), PRIO_4, false, CHILD_MOD, _cmp);
        r->autoAccept = autoAccept;
        lastChild = r;
        return r;
    }
    void destroyChild() override { log().push_back("destroyChild " + std::to_string(int(_cmp))); }
    bool autoAccept = true;
    Root* lastChild = nullptr;

private:
    ComponentId _cmp;
    Root* _shared;
    std::string _childName;  // the child's name lives as long as the binding
};

class Binder : public BBinderState {
public:
    explicit Binder(BCompositeState* enc, StateId id = 20) : BBinderState(enc, MOD, CMP, id, PRIO_4) {}
    bool isPersistent() const override { return false; }
    void onEntry(const BEvent*) override { log().push_back("binder entry"); }
    void onRejected() override { log().push_back("binder rejected"); }
    void onWatchdogError(BBinding*) override { log().push_back("binder wd error"); }
    void onEvent(const BEvent* e) override
    {
        log().push_back("binder got " + std::to_string(int(e->signalId())) + "/" + std::to_string(tagOf(e)));
    }
};

// A binder as the parent's only region, optionally with a sub-state "work" (id 30).
Binder* binderIn(BCompositeState& parent, bool withWork)
{
    auto* binder = new Binder(&parent);
    if (withWork) binder->addRegion(new Leaf(binder, "work", 30));
    parent.addRegion(binder);
    return binder;
}

class BindingTest : public HelmTest {
protected:
    void TearDown() override
    {
        drain();
        HelmTest::TearDown();
    }
};

TEST_F(BindingTest, SubStatesStartOnlyAfterEveryBindingIsAccepted)
{
    Root parent("p");
    auto* binder = binderIn(parent, true);
    auto* b1 = new TestBinding(1);
    auto* b2 = new TestBinding(2);
    b2->autoAccept = false;
    binder->addBinding(b1);
    binder->addBinding(b2);
    parent.initialize();
    drain();
    EXPECT_EQ(std::count(log().begin(), log().end(), "entry work"), 0);
    EXPECT_TRUE(b1->isAccepted());
    b2->lastChild->accept(b2);
    drain();
    EXPECT_EQ(std::count(log().begin(), log().end(), "entry work"), 1);
    EXPECT_TRUE(b1->isActivated() && b2->isActivated());
    parent.abort();
}

TEST_F(BindingTest, AnswerSentBeforeActivationArrivesRightAfterItAheadOfLaterEvents)
{
    Root parent("p");
    auto* binder = binderIn(parent, false);
    auto* b1 = new TestBinding(1);
    auto* b2 = new TestBinding(2);
    b2->autoAccept = false;
    binder->addBinding(b1);
    binder->addBinding(b2);
    parent.initialize();
    drain();
    ASSERT_TRUE(b1->isAccepted());
    EXPECT_EQ(b1->lastChild->sendBack(new CountedBindingEvent(60, 1), nullptr), 1);
    drain();
    EXPECT_EQ(std::count(log().begin(), log().end(), "binder got 60/1"), 0) << "only accepted: held back";
    b2->lastChild->accept(b2);
    binder->sendLocal(local(110, 2), 20);  // queued after the acceptance
    drain();
    auto at = [](const std::string& s) { return std::find(log().begin(), log().end(), s) - log().begin(); };
    EXPECT_LT(at("binder got 60/1"), at("binder got 110/2"));
    EXPECT_LT(at("binder got 110/2"), long(log().size()));
    parent.abort();
}

TEST_F(BindingTest, SendExternalReachesEveryActivatedChildAndEventLivesUntilBothServed)
{
    Root parent("p");
    auto* binder = binderIn(parent, true);
    auto* b1 = new TestBinding(1);
    auto* b2 = new TestBinding(2);
    binder->addBinding(b1);
    binder->addBinding(b2);
    parent.initialize();
    drain();
    log().clear();
    BState* work = parent.getState(30);
    EXPECT_EQ(work->sendExternal(new CountedBindingEvent(60, 7), CHILD_MOD, 0, nullptr), 2);
    BScheduler::step();
    EXPECT_EQ(Tagged::alive(), 1);
    BScheduler::step();
    EXPECT_EQ(Tagged::alive(), 0);
    std::sort(log().begin(), log().end());
    EXPECT_EQ(log(), (std::vector<std::string>{"child1 got 60/7", "child2 got 60/7"}));

    EXPECT_EQ(work->sendExternal(new CountedBindingEvent(61), 99, 0, nullptr), 0);
    EXPECT_TRUE(traced("Event not send, no mathing childs found"));
    EXPECT_EQ(work->sendExternal(new CountedBindingEvent(62), CHILD_MOD, 2, nullptr), 1);
    drain();
    parent.abort();
}

TEST_F(BindingTest, ReplyTravelsBackOverTheBindingItCameFrom)
{
    Root parent("p");
    auto* binder = binderIn(parent, true);
    auto* b1 = new TestBinding(1);
    binder->addBinding(b1);
    parent.initialize();
    drain();
    b1->lastChild->react = [](Root* r, const BEvent* e) {
        auto* be = dynamic_cast<const BBindingEvent*>(e);
        if (be && e->signalId() == 60) {
            EXPECT_TRUE(r->sendBack(be, new CountedBindingEvent(70, 9)));
        }
    };
    parent.getState(30)->sendExternal(new CountedBindingEvent(60), CHILD_MOD, 1, nullptr);
    drain();
    EXPECT_NE(std::find(log().begin(), log().end(), "work got 70/9"), log().end());
    parent.abort();
}

TEST_F(BindingTest, ReleasingOneParentLeavesSharedPersistentChildRunningForTheOther)
{
    Root shared("drv", PRIO_4, true, CHILD_MOD, 1);
    shared.initialize();
    Root p1("p1"), p2("p2");
    auto* binder1 = binderIn(p1, false);
    auto* binder2 = binderIn(p2, false);
    binder1->addBinding(new TestBinding(1, &shared));
    auto* keep = new TestBinding(1, &shared);
    binder2->addBinding(keep);
    p1.initialize();
    p2.initialize();
    drain();
    ASSERT_EQ(shared.parentList().count(), 2u);
    char bnd[] = "bnd";
    char* args[] = {bnd};
    shared.printData(1, args);
    EXPECT_TRUE(traced("BRootState bindings:"));
    EXPECT_TRUE(traced("#parent bindings=2"));
    EXPECT_TRUE(traced("status:ACTIVATED mod:40 comp:41"));

    p1.abort();
    drain();
    EXPECT_TRUE(shared.isInitialised());
    EXPECT_EQ(shared.parentList().count(), 1u);
    EXPECT_TRUE(keep->isActivated());
    EXPECT_EQ(shared.sendBack(new CountedBindingEvent(60, 4), nullptr), 1);
    drain();
    EXPECT_NE(std::find(log().begin(), log().end(), "binder got 60/4"), log().end());
    p2.abort();
    drain();
    EXPECT_TRUE(shared.parentList().isEmpty());
    shared.abort();
}

TEST_F(BindingTest, EventQueuedForAReleasedBindingIsReleasedUndispatched)
{
    Root shared("drv", PRIO_4, true, CHILD_MOD, 1);
    shared.useFastBndQueue(true);  // the release overtakes the waiting event
    shared.initialize();
    Root parent("p");
    auto* binder = binderIn(parent, true);
    binder->addBinding(new TestBinding(1, &shared));
    parent.initialize();
    drain();
    log().clear();
    parent.getState(30)->sendExternal(new CountedBindingEvent(60, 5), CHILD_MOD, 1, nullptr);
    parent.abort();  // releases the binding while the event still waits
    drain();
    EXPECT_EQ(std::count(log().begin(), log().end(), "drv got 60/5"), 0);
    EXPECT_TRUE(traced("cleanup event: 60"));
    EXPECT_EQ(Tagged::alive(), 0);
    shared.abort();
}

TEST_F(BindingTest, NonPersistentChildIsLeftAndDeletedOnRelease)
{
    Root parent("p");
    auto* binder = binderIn(parent, false);
    auto* b = new TestBinding(3);
    binder->addBinding(b);
    parent.initialize();
    drain();
    parent.abort();
    drain();
    EXPECT_NE(std::find(log().begin(), log().end(), "destroyChild 3"), log().end());
    EXPECT_TRUE(noQueueRegistered());
}

TEST_F(BindingTest, RejectionReleasesAllBindingsAndCallsOnRejected)
{
    class Rejecting : public Root {
    public:
        Rejecting() : Root("rej", PRIO_4, true, CHILD_MOD, 9) {}
        void onSetup(BBinding* b) override { reject(b); }
    } rej;
    rej.initialize();
    Root parent("p");
    auto* binder = binderIn(parent, true);
    binder->addBinding(new TestBinding(9, &rej));
    binder->addBinding(new TestBinding(4));
    parent.initialize();
    drain();
    EXPECT_NE(std::find(log().begin(), log().end(), "binder rejected"), log().end());
    EXPECT_EQ(std::count(log().begin(), log().end(), "entry work"), 0);
    EXPECT_TRUE(binder->childList().isEmpty());
    EXPECT_TRUE(rej.parentList().isEmpty());
    parent.abort();
    drain();
    rej.abort();
}

TEST_F(BindingTest, ChildWatchdogTellsTheParent)
{
    Root parent("p");
    auto* binder = binderIn(parent, false);
    auto* b = new TestBinding(5);
    binder->addBinding(b);
    parent.initialize();
    drain();
    b->lastChild->reloadWatchdog(1);
    FakeClock::advance(100);
    drain();
    BScheduler::step();
    drain();
    EXPECT_TRUE(traced("Watchdog timeout mod=50 cmp=5"));
    EXPECT_NE(std::find(log().begin(), log().end(), "binder wd error"), log().end());
    b->lastChild->watchdog()->disarm();
    parent.abort();
}

TEST_F(BindingTest, EveryReleasedBindingIsFinishedAndASecondReleaseIsIgnored)
{
    class NoChild : public BBinding {
        BRootState* createChild() override { return nullptr; }
    };
    Root parent("p");
    auto* binder = binderIn(parent, false);
    binder->addBinding(new NoChild);
    binder->addBinding(new NoChild);
    auto* b = new TestBinding(6);
    binder->addBinding(b);
    parent.initialize();
    EXPECT_TRUE(traced("child must be defined in createChild"));
    drain();
    b->release();
    b->release();
    EXPECT_EQ(b->lastChild->queue()->count(), 1) << "one release event only";
    parent.abort();  // both childless bindings are finished in one step, without leaking
    drain();
    BScheduler::step();
}

TEST_F(BindingTest, SubStatesRunOnlyWhileTheBindingsAreActive)
{
    // A sub-state that talks to the child as soon as it is entered, and
    // once more as it is left.
    class Talker : public Leaf {
    public:
        using Leaf::Leaf;
        void onEntry(const BEvent* e) override
        {
            Leaf::onEntry(e);
            sendExternal(new CountedBindingEvent(60, 1), CHILD_MOD, 0, nullptr);
        }
        void onExit(const BEvent* e) override
        {
            Leaf::onExit(e);
            sendExternal(new CountedBindingEvent(60, 2), CHILD_MOD, 0, nullptr);
        }
    };
    Root parent("p");
    auto* binder = binderIn(parent, false);
    binder->addRegion(new Talker(binder, "work", 30));
    binder->addBinding(new TestBinding(1));
    parent.initialize();
    drain();
    parent.abort();
    drain();
    EXPECT_FALSE(traced("Binding not activated"));
    EXPECT_EQ(std::count(log().begin(), log().end(), "child1 got 60/1"), 1);
    EXPECT_EQ(std::count(log().begin(), log().end(), "child1 got 60/2"), 1);
}

TEST_F(BindingTest, ShutdownWhileABindingIsReleasedEndsWithoutWakingTheSystem)
{
    BMainState::_mutexId = "HelmBinding_" + std::to_string(::getpid());
    BMainState main;
    binderIn(main, true)->addBinding(new TestBinding(1));
    main.startup();
    drain();
    main.shutdown();  // releases the binding: its release event wakes the child's empty queue
    EXPECT_EQ(BScheduler::systemStatus(), SYSTEM_TERMINATING);
    for (int i = 0; i < 100 && !BScheduler::terminated(); ++i) {
        BScheduler::step();
        ASSERT_NE(BScheduler::systemStatus(), SYSTEM_ACTIVE) << "step " << i;
    }
    EXPECT_TRUE(BScheduler::terminated());
    EXPECT_NE(std::find(log().begin(), log().end(), "destroyChild 1"), log().end());
}

// A local event that prints its tag as its data.
class PrintingEvent : public CountedEvent {
public:
    using CountedEvent::CountedEvent;
    void printData(uint16_t level) const override
    {
        if (level & DBG_SEND_DATA) BTrace::instance()->dbgPrint("data of " + std::to_string(tag));
    }
};

TEST_F(BindingTest, EachTraceLineAppearsWithItsFieldsAtItsOwnBit)
{
    // A send with data, a target transition, a final one, an event nobody
    // consumes, exits, and a binding's activation and deletion.
    auto run = [](DebugLevel bits) {
        Root parent("t");
        auto* binder = binderIn(parent, true);
        auto* b = new TestBinding(1);
        binder->addBinding(b);
        parent.initialize();
        parent.debugLevel(bits);
        b->lastChild->debugLevel(bits);
        drain();
        auto* work = static_cast<Leaf*>(parent.getState(30));
        work->react = [binder](Leaf* l, const BEvent*) {
            auto* next = new Leaf(binder, "B", 31);
            next->react = [](Leaf* n, const BEvent*) { n->transition(B_DONE); };
            l->transition(next);
        };
        parent.sendLocal(new PrintingEvent(110, 7), STATE_ROOT);
        drain();
        parent.sendLocal(local(111), STATE_ROOT);
        drain();
        parent.sendLocal(local(112), STATE_ROOT);
        drain();
        parent.abort();
        drain();
    };
    const struct {
        DebugLevel bit;
        std::vector<std::string> lines;
    } rows[] = {
        {DBG_SEND, {"=sl>;40:41:2;dst:40:41;evt[40:41:110;"}},
        {DBG_SEND_DATA, {"data of 7"}},
        {DBG_TRAN_INTERNAL, {"=ti>;40:41:2;evt[40:41:112;", "]processed (t:"}},
        {DBG_TRAN_TARGET, {"=tt>;40:41:20;region:0;from:30;evt[40:41:110;", "=td>;40:41:20;region:0;from:31;evt[40:41:111;"}},
        {DBG_EXIT, {"=ext>;40:41:30 (t:", "=ext>;40:41:31 (t:"}},
        {DBG_BINDING, {"=actbnd>;bnd:", "=delbnd>;bnd:", " parent:40:41 child:50:1 (child1:"}},
    };
    for (const auto& row : rows) {
        trace.clear();
        run(row.bit);
        for (const auto& other : rows)
            for (const std::string& line : other.lines)
                EXPECT_EQ(traced(line), &other == &row) << "bit " << row.bit << ": " << line << "\n" << trace;
    }
}

}  // namespace
