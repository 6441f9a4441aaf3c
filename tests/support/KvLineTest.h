#ifndef TESTS_SUPPORT_KVLINETEST_H
#define TESTS_SUPPORT_KVLINETEST_H

// The serial line's components under test: the unit is the test, on the
// master side of a pseudo-terminal; KvTestComponent stands in for a missing
// parent component.

#include <algorithm>
#include <deque>

#include "helm/BBinderState.h"
#include "helm/BBinding.h"
#include "helm/HelmTestKit.h"
#include "korprog/KvprgCompList.h"
#include "korprog/KvprgFrame.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/conndrv/States/KvcdrvBinding.h"
#include "korprog/conndrv/States/KvcdrvRoot.h"
#include "korprog/protparser/States/KvprotBinding.h"
#include "support/KvPty.h"

inline Bytes frame(uint8_t type, const std::string& data)
{
    KvprgFrame f;
    f.build(type, reinterpret_cast<const uint8_t*>(data.data()), static_cast<int>(data.size()));
    return Bytes(f.bytes(), f.bytes() + f.size());
}

// A root of module KOR_PROG with one binder: it binds what the test gives it,
// sends events down, and keeps a reference to every event that comes up.
class KvTestComponent : public BRootState {
    struct Binder : BBinderState {
        Binder(KvTestComponent* owner, ComponentId cmp) : BBinderState(owner, 10, cmp, 10, PRIO_4), owner(owner) {}
        bool isPersistent() const override { return false; }
        void onEntry(const BEvent*) override
        {
            for (BBinding* b : owner->_pending) addBinding(b);
            owner->_pending.clear();
        }
        void onEvent(const BEvent* e) override
        {
            const_cast<BEvent*>(e)->copy();
            owner->received.push_back(e);
            transition(static_cast<BState*>(nullptr));
        }
        KvTestComponent* owner;
    };

public:
    KvTestComponent(const char* name, ComponentId cmp, std::vector<BBinding*> bindings)
        : BRootState(name, 10, cmp, PRIO_4), _pending(bindings)
    {
        addRegion(_binder = new Binder(this, cmp));
        initialize();
    }
    ~KvTestComponent() override
    {
        stop();
        clearReceived();
    }
    bool isPersistent() const override { return false; }
    void onSetup(BBinding* b) override { accept(b); }
    // Leaves the component; its bindings go with the following steps.
    void stop()
    {
        if (isInitialised()) abort();
        _binder = nullptr;
    }
    // Sends down and serves everything that follows from it.
    void send(BBindingEvent* e, ComponentId cmp)
    {
        _binder->sendExternal(e, 10, cmp, nullptr);
        helmtest::drain();
    }
    void clearReceived()
    {
        for (const BEvent* e : received) const_cast<BEvent*>(e)->destroy();
        received.clear();
    }
    template <class T>
    std::vector<const T*> receivedOf() const
    {
        std::vector<const T*> out;
        for (const BEvent* e : received)
            if (auto* t = dynamic_cast<const T*>(e)) out.push_back(t);
        return out;
    }
    // The messages the driver delivered, in order.
    std::vector<Bytes> strings() const
    {
        std::vector<Bytes> out;
        for (const CdrvStrEvt* e : receivedOf<CdrvStrEvt>()) out.emplace_back(e->bytes(), e->bytes() + e->nrBytes);
        return out;
    }

    std::vector<const BEvent*> received;

private:
    Binder* _binder;
    std::vector<BBinding*> _pending;
};

// Captures the trace and drives the clock; at the end every component must
// be gone with its driver, and no queue or timer may be left.
class KvLineTest : public helmtest::HelmTest {
protected:
    void SetUp() override
    {
        HelmTest::SetUp();
        ASSERT_GE(pty.master, 0);
    }
    void TearDown() override
    {
        for (KvTestComponent* c : parents) c->stop();
        helmtest::drain();
        EXPECT_EQ(KvcdrvRoot::existing(), nullptr) << "the driver outlived its bindings";
        EXPECT_EQ(KvcdrvRoot::instances(), 0);
        EXPECT_TRUE(BScheduler::timerManager().isEmpty()) << "a timer is still armed";
        for (KvTestComponent* c : parents) delete c;
        HelmTest::TearDown();
    }
    KvTestComponent* parent(const char* name, ComponentId cmp, std::vector<BBinding*> bindings)
    {
        parents.push_back(new KvTestComponent(name, cmp, bindings));
        helmtest::drain();
        return parents.back();
    }
    // A stand-in controller bound to the driver and a parser, the port set.
    KvTestComponent* controller(const std::string& port)
    {
        KvTestComponent* c = parent("KvTestCtrl", PROG_CTRL, {new KvcdrvBinding(), new KvprotBinding()});
        c->send(new CdrvPortSetEvt(port.c_str()), CONN_DRV);
        EXPECT_TRUE(KvcdrvRoot::portOpen()) << port;
        c->clearReceived();
        return c;
    }
    static int fd() { return KvcdrvRoot::serial() ? KvcdrvRoot::serial()->handle() : -1; }
    // The unit sends bytes; the main loop's next poll reads them in one read.
    void feed(const Bytes& b)
    {
        ASSERT_TRUE(pty.deliver(b, fd()));
        KvcdrvRoot::readCom();
        helmtest::drain();
    }
    // One poll of the driver whose reads take the pending chunks in order,
    // without the line: a read is cut at the space the receiver offers.
    void poll(std::deque<Bytes>& pending)
    {
        KvcdrvRoot::existing()->receive([&pending](char* buf, int max) -> int {
            if (pending.empty()) return -1;
            Bytes& c = pending.front();
            const int n = std::min<int>(max, static_cast<int>(c.size()));
            std::copy(c.begin(), c.begin() + n, buf);
            if (n < static_cast<int>(c.size())) c.erase(c.begin(), c.begin() + n);
            else pending.pop_front();
            return n;
        });
        helmtest::drain();
    }

    KvPty pty;
    std::vector<KvTestComponent*> parents;
};

#endif
