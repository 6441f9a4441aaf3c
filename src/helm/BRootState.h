#ifndef HELM_BROOTSTATE_H
#define HELM_BROOTSTATE_H

#include <string>

#include "helm/BCompositeState.h"

class BBinding;
class BTimer;

// The top of one component: its name, debug level, watchdog, and the
// bindings through which parent components use it.
class BRootState : public BCompositeState {
public:
    BRootState(const char* name, ModuleId mod, ComponentId cmp, BPriority prio);
    ~BRootState() override;

    using BState::sendBack;
    using BState::transition;

    void transition(BFinal final) override;
    void transition(BState* target) override;
    void reloadWatchdog(uint16_t seconds) override;
    bool sendLocal(BLocalEvent* event, StateId id) override;
    uint16_t sendExternal(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key) override;
    uint16_t sendBack(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key) override;
    bool sendBack(const BBindingEvent* received, BBindingEvent* reply) override;
    BCompositeState* enclosing(StateId = 0) const override { return nullptr; }
    const char* name() const override { return _name; }
    std::string instName() const override { return _instName; }
    DebugLevel debugLevel() const override { return _debugLevel; }
    bool useFastBndQueue() const override { return _useFastBndQueue; }
    void clearDeferedEvts() override;
    void retryDeferedEvts() override;
    void printData(int argc, char** argv) override;
    void initialize() override;
    void dispatch() override;
    void abort() override;

    virtual void accept(BBinding* b);
    virtual uint16_t accept(ModuleId mod, ComponentId cmp, BKey* key);
    virtual uint16_t accept(BKey* key);
    virtual void reject(BBinding* b);
    virtual uint16_t reject(ModuleId mod, ComponentId cmp, BKey* key);
    virtual uint16_t reject(BKey* key);
    virtual void onSetup(BBinding*) {}
    virtual void onRelease(BBinding*) {}
    virtual void instName(const std::string& n) { _instName = n; }
    virtual void debugLevel(DebugLevel lvl) { _debugLevel = lvl; }
    virtual void useFastBndQueue(bool on) { _useFastBndQueue = on; }
    virtual void addBinding(BBinding* b);
    virtual void removeBinding(BBinding* b);

    const SLList<BBinding*>& parentList() const { return _parentList; }
    BTimer* watchdog() const { return _tmrWatchdog; }

    static bool _suspendWatchdogs;

protected:
    // Posts (activated) or defers (accepted) an event to a binding's parent.
    bool postToParent(BBinding* b, BBindingEvent* event);
    void onWatchdogTimeout();
    template <class F> uint16_t forSetupBindings(ModuleId mod, ComponentId cmp, BKey* key, F act);

    SLList<BBinding*> _parentList;
    const char* _name;
    std::string _instName;
    BTimer* _tmrWatchdog;
    DebugLevel _debugLevel;
    bool _useFastBndQueue;
};

#endif
