#ifndef TESTS_HELM_HELMTESTKIT_H
#define TESTS_HELM_HELMTESTKIT_H

// Small state machines and a driven clock for runtime tests.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bdebug/BTrace.h"
#include "helm/BBindingEvent.h"
#include "helm/BCompositeState.h"
#include "helm/BEvtQueue.h"
#include "helm/BLocalEvent.h"
#include "helm/BRootState.h"
#include "helm/BScheduler.h"
#include "helm/BSimpleState.h"
#include "helm/platform/BTimerTick.h"

namespace helmtest {

const ModuleId MOD = 40;
const ComponentId CMP = 41;

// What the states did, in order.
inline std::vector<std::string>& log()
{
    static std::vector<std::string> l;
    return l;
}

// The clock the tests drive.
struct FakeClock {
    static BTickType& now()
    {
        static BTickType t = 1000;
        return t;
    }
    static BTickType read() { return now(); }
    static void set(BTickType t) { now() = t; }
    static void advance(BTickType n) { now() += n; }
};

// Events that carry a tag for the log and count their deletions.
struct Tagged {
    int tag;
    static int& alive()
    {
        static int n = 0;
        return n;
    }
};

template <class Base>
class Counted : public Base, public Tagged {
public:
    explicit Counted(SignalId s, int t = 0) : Base(s, true), Tagged{t} { ++alive(); }
    ~Counted() override { --alive(); }
};
typedef Counted<BLocalEvent> CountedEvent;
typedef Counted<BBindingEvent> CountedBindingEvent;

inline int tagOf(const BEvent* e)
{
    auto* t = dynamic_cast<const Tagged*>(e);
    return t ? t->tag : -1;
}

inline void logGot(const std::string& who, const BEvent* e)
{
    log().push_back(who + " got " + std::to_string(int(e->signalId())) + "/" + std::to_string(tagOf(e)));
}

// A leaf whose reaction to an event is set by the test.
class Leaf : public BSimpleState {
public:
    Leaf(BCompositeState* enc, const std::string& name, StateId id = FIRST_STATE, bool persistent = false)
        : BSimpleState(enc, MOD, CMP, id), _name(name), _persistent(persistent)
    {
    }
    ~Leaf() override { log().push_back("delete " + _name); }
    bool isPersistent() const override { return _persistent; }
    void onEntry(const BEvent*) override { log().push_back("entry " + _name); }
    void onExit(const BEvent*) override { log().push_back("exit " + _name); }
    void onEvent(const BEvent* e) override
    {
        logGot(_name, e);
        if (react) react(this, e);
    }
    std::function<void(Leaf*, const BEvent*)> react;

private:
    std::string _name;
    bool _persistent;
};

// A composite whose regions and reactions are set by the test.
class Node : public BCompositeState {
public:
    Node(BCompositeState* enc, const std::string& name, StateId id, BPriority prio = PRIO_4)
        : BCompositeState(enc, MOD, CMP, id, prio, static_cast<BEvtQueue*>(nullptr)), _name(name)
    {
    }
    ~Node() override { log().push_back("delete " + _name); }
    bool isPersistent() const override { return false; }
    void onEntry(const BEvent*) override { log().push_back("entry " + _name); }
    void onExit(const BEvent*) override { log().push_back("exit " + _name); }
    void onEvent(const BEvent* e) override
    {
        logGot(_name, e);
        if (react) react(this, e);
    }
    void onDone(const BEvent* e, RegionId r) override
    {
        log().push_back(_name + " done " + std::to_string(int(r)));
        if (done) done(this, r);
        else BCompositeState::onDone(e, r);
    }
    std::function<void(Node*, const BEvent*)> react;
    std::function<void(Node*, RegionId)> done;

private:
    std::string _name;
};

class Root : public BRootState {
public:
    Root(const char* name, BPriority prio = PRIO_4, bool persistent = false, ModuleId mod = MOD, ComponentId cmp = CMP)
        : BRootState(name, mod, cmp, prio), _persistent(persistent)
    {
    }
    bool isPersistent() const override { return _persistent; }
    void onEvent(const BEvent* e) override
    {
        logGot(name(), e);
        if (react) react(this, e);
    }
    void onSetup(BBinding* b) override
    {
        log().push_back(std::string(name()) + " setup");
        if (autoAccept) accept(b);
    }
    void onRelease(BBinding*) override { log().push_back(std::string(name()) + " release"); }
    std::function<void(Root*, const BEvent*)> react;
    bool autoAccept = true;

private:
    bool _persistent;
};

// Steps until no queue holds work (never sleeps, bounded).
inline int drain(int limit = 10000)
{
    int n = 0;
    while ((BScheduler::activePrio() != 0 || BScheduler::activeQueues(PRIO_BACKGROUND) != 0) && n < limit) {
        BScheduler::step();
        ++n;
    }
    return n;
}

inline bool noQueueRegistered()
{
    for (uint8_t p = 0; p < NR_OF_PRIORITIES; ++p)
        if (BScheduler::queueCount(p) != 0) return false;
    return true;
}

inline BLocalEvent* local(SignalId s, int tag = 0) { return new CountedEvent(s, tag); }

// Captures the trace, drives the clock, and checks that a test leaves no
// queue registered and no event alive.
class HelmTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log().clear();
        trace.clear();
        BTrace::capture(&trace);
        FakeClock::set(1000);
        bSetTimerTickSource(&FakeClock::read);
        BScheduler::timerManager().resync();
        Tagged::alive() = 0;
    }
    void TearDown() override
    {
        EXPECT_TRUE(noQueueRegistered()) << "a test left a queue registered";
        EXPECT_EQ(Tagged::alive(), 0) << "events leaked or freed twice";
        EXPECT_EQ(BScheduler::activePrio(), 0);
        BTrace::capture(nullptr);
        bSetTimerTickSource(nullptr);
    }
    bool traced(const std::string& text) const { return trace.find(text) != std::string::npos; }
    std::string trace;
};

}  // namespace helmtest

#endif
