#ifndef TESTS_SUPPORT_KVLINETEST_H
#define TESTS_SUPPORT_KVLINETEST_H

// The serial line's components under test: the unit is the test, on the
// master side of a pseudo-terminal; KvTestComponent stands in for a missing
// parent component. Waits are bounded polls on descriptors, never on a clock.

#include <algorithm>
#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "helm/BBinderState.h"
#include "helm/BBinding.h"
#include "helm/HelmTestKit.h"
#include "korprog/KvprgFrame.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/conndrv/States/KvcdrvRoot.h"

typedef std::vector<uint8_t> Bytes;

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes frame(uint8_t type, const std::string& data)
{
    KvprgFrame f;
    f.build(type, reinterpret_cast<const uint8_t*>(data.data()), static_cast<int>(data.size()));
    return Bytes(f.bytes(), f.bytes() + f.size());
}

class KvPty {
public:
    KvPty()
    {
        int slave = -1;
        char buf[64];
        if (::openpty(&master, &slave, buf, nullptr, nullptr) == 0) {
            name = buf;
            ::close(slave);  // only the program's side keeps the slave open
        }
    }
    ~KvPty()
    {
        if (master >= 0) ::close(master);
    }
    // Writes and waits until fd (the program's side) holds all the bytes,
    // so that its next read takes them at once.
    bool deliver(const Bytes& b, int fd) const
    {
        int before = 0;
        ::ioctl(fd, FIONREAD, &before);
        if (::write(master, b.data(), b.size()) != static_cast<ssize_t>(b.size())) return false;
        for (int i = 0; i < 600; ++i) {
            int n = 0;
            if (::ioctl(fd, FIONREAD, &n) == 0 && n >= before + static_cast<int>(b.size())) return true;
            struct pollfd p = {fd, POLLIN, 0};
            ::poll(&p, 1, 5);
        }
        return false;
    }
    // What the program wrote: count bytes, or less when timeoutMs passed.
    Bytes read(size_t count, int timeoutMs = 3000) const
    {
        Bytes got;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count && std::chrono::steady_clock::now() < end) {
            struct pollfd p = {master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            uint8_t buf[4096];
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    int master = -1;
    std::string name;
};

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
    uint16_t send(BBindingEvent* e, ComponentId cmp) { return _binder->sendExternal(e, 10, cmp, nullptr); }
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
    // Driven time: due timers fire and their events are served.
    void tick(BTickType n)
    {
        helmtest::FakeClock::advance(n);
        BScheduler::step();
        helmtest::drain();
    }
    size_t count(const std::string& s) const
    {
        size_t n = 0;
        for (size_t p = trace.find(s); p != std::string::npos; p = trace.find(s, p + 1)) ++n;
        return n;
    }

    KvPty pty;
    std::vector<KvTestComponent*> parents;
};

#endif
