// Re-routing through real bindings: a controller root whose binder binds a
// parser root, named like the application's components so their rows apply.

#include "TraceTestKit.h"

#include "helm/BBinderState.h"
#include "helm/BBinding.h"
#include "helm/BBindingEvent.h"
#include "helm/BScheduler.h"

namespace tracetest {
namespace {

const SignalId SIG_ASK = 61;   // controller to parser; the parser replies
const SignalId SIG_PONG = 70;  // parser to controller

int alive = 0;
std::vector<int> protGot, ctrlGot;

struct Evt : BBindingEvent {
    Evt(SignalId s, int tag) : BBindingEvent(s, true), tag(tag) { ++alive; }
    ~Evt() override { --alive; }
    int tag;
};

int tagOf(const BEvent* e) { return dynamic_cast<const Evt*>(e) ? static_cast<const Evt*>(e)->tag : -1; }

struct ProtRoot : BRootState {
    ProtRoot() : BRootState("Kvprot", KOR_PROG, 12, PRIO_4) { current = this; }
    ~ProtRoot() override { current = nullptr; }
    bool isPersistent() const override { return false; }
    void onSetup(BBinding* b) override { accept(b); }
    void onEvent(const BEvent* e) override
    {
        protGot.push_back(tagOf(e));
        if (e->signalId() == SIG_ASK) sendBack(static_cast<const BBindingEvent*>(e), new Evt(SIG_PONG, tagOf(e) + 100));
        transition(nullptr);
    }
    static inline ProtRoot* current = nullptr;
};

struct ProtBinding : BBinding {
    BRootState* createChild() override { return new ProtRoot(); }
};

// Without regions of its own, the binder takes the parser's replies itself.
struct CtrlBinder : BBinderState {
    explicit CtrlBinder(BCompositeState* enc) : BBinderState(enc, KOR_PROG, 11, FIRST_STATE, PRIO_4) {}
    bool isPersistent() const override { return false; }
    void onEntry(const BEvent*) override { addBinding(new ProtBinding()); }
    void onEvent(const BEvent* e) override
    {
        ctrlGot.push_back(tagOf(e));
        transition(nullptr);
    }
};

struct CtrlRoot : BRootState {
    CtrlRoot() : BRootState("Kvctrl", KOR_PROG, 11, PRIO_4) { addRegion(binder = new CtrlBinder(this)); }
    bool isPersistent() const override { return false; }
    CtrlBinder* binder;
};

void drain()
{
    for (int n = 0; n < 10000 && (BScheduler::activePrio() != 0 || BScheduler::activeQueues(PRIO_BACKGROUND) != 0); ++n)
        BScheduler::step();
}

class ReRout : public TraceTest {
protected:
    void SetUp() override
    {
        TraceTest::SetUp();
        alive = 0;
        protGot.clear();
        ctrlGot.clear();
        ctrl.initialize();
        drain();
        ASSERT_NE(ProtRoot::current, nullptr);
    }
    void TearDown() override
    {
        ctrl.abort();  // releases the binding; the parser goes with it
        drain();
        EXPECT_EQ(ProtRoot::current, nullptr);
        for (uint8_t p = 0; p < NR_OF_PRIORITIES; ++p) EXPECT_EQ(BScheduler::queueCount(p), 0u) << int(p);
        EXPECT_EQ(BScheduler::activePrio(), 0);
        EXPECT_EQ(alive, 0) << "events leaked or were freed twice";
        TraceTest::TearDown();
    }
    uint16_t ask(int tag) { return ctrl.binder->sendExternal(new Evt(SIG_ASK, tag), KOR_PROG, 12, nullptr); }
    uint16_t pong(int tag) { return ProtRoot::current->sendBack(new Evt(SIG_PONG, tag), nullptr); }
    CtrlRoot ctrl;
};

TEST_F(ReRout, NullDropsTheComponentsBindingEventsAndNoneRestoresThem)
{
    EXPECT_EQ(ask(1), 1);
    drain();
    EXPECT_EQ(protGot, std::vector<int>{1});
    EXPECT_EQ(ctrlGot, std::vector<int>{101});

    t->procDbgStr("Kvctrl rert null");
    EXPECT_EQ(ask(2), 0);
    drain();
    EXPECT_EQ(alive, 0) << "dropped once, not twice";
    t->procDbgStr("Kvctrl rert none");
    t->procDbgStr("Kvprot rert null");  // the parser's sends and replies
    ask(3);
    EXPECT_EQ(pong(4), 0);
    drain();
    EXPECT_EQ(protGot, (std::vector<int>{1, 3}));
    EXPECT_EQ(ctrlGot, std::vector<int>{101});
    EXPECT_EQ(alive, 0);

    t->procDbgStr("Kvprot rert none");
    ask(5);
    drain();
    EXPECT_EQ(ctrlGot, (std::vector<int>{101, 105}));
}

TEST_F(ReRout, QueueAndBypassPassEventsThroughTheTraceQueue)
{
    t->procDbgStr("Kvctrl rert que");
    ask(6);
    EXPECT_EQ(t->traceQueueCount(), 1u);
    drain();
    EXPECT_TRUE(protGot.empty());
    EXPECT_TRUE(traced("=rert>;evt[10:12:61;")) << trace;
    EXPECT_EQ(BScheduler::queueCount(PRIO_7), 0u) << "the trace queue leaves the scheduler once empty";

    t->procDbgStr("Kvctrl rert byps");
    t->procDbgStr("Kvprot rert byps");
    ask(7);
    drain();
    EXPECT_EQ(protGot, std::vector<int>{7});
    EXPECT_EQ(ctrlGot, std::vector<int>{107});
    EXPECT_TRUE(traced("=rert>;evt[10:12:70;"));
    EXPECT_EQ(alive, 0);

    t->procDbgStr("Kvctrl rert que");
    ask(8);
    EXPECT_EQ(alive, 1);
    BTrace::destroy();  // what the trace queue still holds goes with it
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(BScheduler::activeQueues(PRIO_7), 0);
    t = BTrace::instance();
}

}  // namespace
}  // namespace tracetest
