#include "HelmTestKit.h"

using namespace helmtest;

namespace {

class StateTest : public HelmTest {};

const StateId NODE = 20;
const StateId INNER = 30;

TEST_F(StateTest, EventReachesEnclosingUnlessInnerStateConsumedIt)
{
    Root root("r");
    auto* leaf = new Leaf(&root, "A");
    leaf->react = [](Leaf* l, const BEvent* e) {
        if (e->signalId() == 111) l->transition(static_cast<BState*>(nullptr));
    };
    root.addRegion(leaf);
    root.initialize();
    root.sendLocal(local(110), STATE_ROOT);
    root.sendLocal(local(111), STATE_ROOT);
    drain();
    EXPECT_EQ(log(), (std::vector<std::string>{"entry A", "A got 110/0", "r got 110/0", "A got 111/0"}));
    root.abort();
}

TEST_F(StateTest, TransitionLeavesInnermostFirstDeletesAndThenEnters)
{
    Root root("r");
    auto* node = new Node(&root, "N", NODE);
    auto* inner = new Leaf(node, "A", INNER);
    node->addRegion(inner);
    root.addRegion(node);
    node->react = [&root](Node* n, const BEvent*) { n->transition(new Leaf(&root, "B")); };
    root.initialize();
    log().clear();
    root.sendLocal(local(110), STATE_ROOT);
    drain();
    EXPECT_EQ(log(), (std::vector<std::string>{"A got 110/0", "N got 110/0", "exit A", "delete A", "exit N",
                                               "delete N", "entry B"}));
    (void)inner;
    root.abort();
}

TEST_F(StateTest, RetriedDeferredEventRunsBeforeLaterOne)
{
    Root root("r");
    auto* a = new Leaf(&root, "A");
    a->react = [&root](Leaf* l, const BEvent* e) {
        if (e->signalId() == 110) e->defer();
        if (e->signalId() == 120) l->transition(new Leaf(&root, "B", FIRST_STATE + 1));
    };
    root.addRegion(a);
    root.initialize();
    root.sendLocal(local(110, 1), STATE_ROOT);
    root.sendLocal(local(120), STATE_ROOT);
    root.sendLocal(local(110, 2), STATE_ROOT);
    drain();
    // A does not consume 110 with a transition, so the root sees it too.
    EXPECT_EQ(log(), (std::vector<std::string>{"entry A", "A got 110/1", "r got 110/1", "A got 120/0", "exit A",
                                               "delete A", "entry B", "B got 110/1", "r got 110/1", "B got 110/2",
                                               "r got 110/2"}));
    root.abort();
}

TEST_F(StateTest, DoneCallsOnDoneWithRegionAndConsumesEvent)
{
    Root root("r");
    auto* node = new Node(&root, "N", NODE);
    node->addRegion(new Leaf(node, "A", INNER));
    auto* b = new Leaf(node, "B", INNER + 1);
    b->react = [](Leaf* l, const BEvent*) { l->transition(B_DONE); };
    node->addRegion(b);
    root.addRegion(node);
    root.initialize();
    log().clear();
    root.sendLocal(local(110), STATE_ROOT);
    drain();
    EXPECT_EQ(log(), (std::vector<std::string>{"A got 110/0", "B got 110/0", "exit B", "delete B", "N done 1"}));
    EXPECT_EQ(node->regionState(1), nullptr);
    // The emptied region no longer sees events.
    log().clear();
    root.sendLocal(local(111), STATE_ROOT);
    drain();
    EXPECT_EQ(log(), (std::vector<std::string>{"A got 111/0", "N got 111/0", "r got 111/0"}));
    root.abort();
}

TEST_F(StateTest, TwoRegionsAskingOnOneEventKeepTheFirstAndReportShadow)
{
    Root root("r");
    auto* node = new Node(&root, "N", NODE);
    for (int i = 0; i < 2; ++i) {
        auto* l = new Leaf(node, "L" + std::to_string(i), StateId(INNER + i));
        l->react = [](Leaf* s, const BEvent*) { s->transition(B_DONE); };
        node->addRegion(l);
    }
    std::vector<Leaf*> targets;
    node->done = [&](Node* n, RegionId r) {
        targets.push_back(new Leaf(&root, "T" + std::to_string(int(r)), StateId(50 + r)));
        n->transition(targets.back());
    };
    root.addRegion(node);
    root.initialize();
    root.sendLocal(local(110), STATE_ROOT);
    drain();
    EXPECT_TRUE(traced("Shadow transition already set"));
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(root.regionState(0), targets[0]);
    root.abort();
    delete targets[1];  // the shadowed target was never entered
}

TEST_F(StateTest, NestedQueueOwnerTransitionIsCompletedInTheSameStep)
{
    Root root("r");
    auto* node = new Node(&root, "N", NODE);
    node->addRegion(new Leaf(node, "A", INNER));
    node->react = [&root](Node* n, const BEvent*) { n->transition(new Leaf(&root, "S", 60)); };
    root.addRegion(node);
    root.initialize();
    log().clear();
    ASSERT_TRUE(root.getState(INNER)->sendLocal(local(110), NODE));
    BScheduler::step();
    EXPECT_EQ(log(), (std::vector<std::string>{"A got 110/0", "N got 110/0", "exit A", "delete A", "exit N",
                                               "delete N", "entry S"}));
    root.abort();
}

TEST_F(StateTest, DoneAskedByOnDoneTwoLevelsUpIsCompletedInTheSameStep)
{
    // Through the nested queue owner (the scheduler's walk up) and through
    // the root's queue (the dispatch loops).
    for (StateId queueOwner : {StateId(NODE + 1), StateId(STATE_ROOT)}) {
        log().clear();
        Root root("r");
        auto* outer = new Node(&root, "N1", NODE);
        auto* inner = new Node(outer, "N2", NODE + 1);
        auto* a = new Leaf(inner, "A", INNER);
        a->react = [](Leaf* l, const BEvent*) { l->transition(B_DONE); };
        inner->addRegion(a);
        inner->done = [](Node* n, RegionId) { n->transition(B_DONE); };
        outer->addRegion(inner);
        outer->done = [&root](Node* n, RegionId) { n->transition(new Leaf(&root, "S", 60)); };
        root.addRegion(outer);
        root.initialize();
        log().clear();
        ASSERT_TRUE(a->sendLocal(local(110), queueOwner));
        BScheduler::step();
        EXPECT_EQ(log(), (std::vector<std::string>{"A got 110/0", "exit A", "delete A", "N2 done 0", "exit N2",
                                                   "delete N2", "N1 done 0", "exit N1", "delete N1", "entry S"}))
            << "queue of " << int(queueOwner);
        root.abort();
    }
}

TEST_F(StateTest, AnAbortedRootIsGoneFromTheTraceTable)
{
    auto* root = new Root("gone");
    root->addRegion(new Leaf(root, "A"));
    root->initialize();
    const std::string inst = root->instName();
    root->abort();
    delete root;
    for (const char* line : {"help", "helm ssm", "helm ssm -name gone", "gone lvl all", "all lvl sig", "gone bnd",
                             "all lvl off"})
        BTrace::instance()->procDbgStr(line);
    EXPECT_TRUE(traced("Currently supported components:"));
    EXPECT_FALSE(traced(inst)) << "no listing names it";
    EXPECT_FALSE(traced("PrintStateData: gone"));
}

TEST_F(StateTest, MisuseIsReportedAndReleasesTheEvent)
{
    Root root("r");
    auto* a = new Leaf(&root, "A");
    root.addRegion(a);
    root.initialize();
    EXPECT_FALSE(a->sendLocal(local(110), 99));
    EXPECT_TRUE(traced("Event cannot be send, root reached"));
    EXPECT_FALSE(a->sendLocal(nullptr, STATE_ROOT));
    EXPECT_TRUE(traced("event undefined"));
    Leaf refused(&root, "X");
    root.transition(&refused);
    EXPECT_TRUE(traced("RootState cannot transit."));
    root.transition(B_DONE);
    EXPECT_TRUE(traced("Nonpersistent rootState cannot transit to final."));
    a->transition(static_cast<BState*>(nullptr));
    a->transition(static_cast<BState*>(nullptr));
    EXPECT_TRUE(traced("triggerless transition not suported, mod:comp:state=40:41:10"));
    BScheduler::resetTarget();
    root.abort();
    EXPECT_EQ(log().back(), "delete A");
    EXPECT_EQ(BScheduler::transitionMode(), TRAN_NONE);
}

TEST_F(StateTest, DebugLevelZeroTracesNothingAndEntryBitTracesEntry)
{
    Root root("r");
    root.addRegion(new Leaf(&root, "A"));
    root.initialize();
    root.sendLocal(local(110), STATE_ROOT);
    drain();
    root.abort();
    EXPECT_EQ(trace, "");

    // A root takes its level from the trace table when it registers.
    BTrace::instance()->procDbgStr("t lvl ent");
    BTrace::instance()->procDbgStr("t lvl sig");
    Root traced_root("t");
    traced_root.addRegion(new Leaf(&traced_root, "A"));
    traced_root.initialize();
    traced_root.sendLocal(local(110), STATE_ROOT);
    drain();
    traced_root.abort();
    BTrace::instance()->procDbgStr("t lvl off");
    EXPECT_TRUE(traced("=ent>;40:41:10"));
    EXPECT_TRUE(traced("=entrt>;40:41:2"));
    EXPECT_TRUE(traced("=sl>;40:41:2"));
}

}  // namespace
