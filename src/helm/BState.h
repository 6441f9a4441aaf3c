#ifndef HELM_BSTATE_H
#define HELM_BSTATE_H

#include <string>

#include "helm/BDefs.h"

class BEvent;
class BLocalEvent;
class BBindingEvent;
class BKey;
class BEvtQueue;
class BCompositeState;

// Base of every state. A state never calls another: it sends events and asks
// for transitions from inside its hooks; the runtime performs exits, deletions,
// entries and retries after the hook returns.
class BState {
public:
    BState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id);
    virtual ~BState();
    BState(const BState&) = delete;
    BState& operator=(const BState&) = delete;

    ModuleId moduleId() const { return _moduleId; }
    ComponentId componentId() const { return _componentId; }
    StateId stateId() const { return _stateId; }
    bool isInitialised() const { return _stateIsInitialised; }

    virtual void transition(BFinal final);
    virtual void transition(BState* target);
    virtual void reloadWatchdog(uint16_t seconds);
    virtual bool sendLocal(BLocalEvent* event, StateId id);
    virtual uint16_t sendExternal(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key);
    virtual uint16_t sendBack(BBindingEvent* event, ModuleId mod, ComponentId cmp, BKey* key);
    virtual uint16_t sendBack(BBindingEvent* event, BKey* key);
    virtual bool sendBack(const BBindingEvent* received, BBindingEvent* reply);
    virtual void onEntry(const BEvent*) {}
    virtual void onEvent(const BEvent*) {}
    virtual void onExit(const BEvent*) {}
    virtual void printHelmData();
    virtual void printData(int argc, char** argv);
    virtual void printStateData(int argc, char** argv);
    virtual bool isPersistent() const = 0;
    virtual BCompositeState* enclosing(StateId id = 0) const;
    virtual BEvtQueue* queue() const;
    virtual DebugLevel debugLevel() const;
    virtual bool useFastBndQueue() const;
    virtual BState* getState(StateId id);
    virtual void clearDeferedEvts();
    virtual void retryDeferedEvts();
    virtual const char* name() const;
    virtual std::string instName() const;
    virtual void initialize();
    virtual void dispatch();
    virtual void abort();

protected:
    // "m:c:s" of this state, for trace lines.
    std::string ids() const;
    // "name:instName" of this state's component, for trace lines.
    std::string compName() const;
    // Traces a send ("=sl>;", "=se>;", "=sb>;") under the send bits.
    void traceSend(const char* tag, const BEvent* e, ModuleId dstMod, ComponentId dstCmp) const;
    bool dbg(DebugLevel bits) const { return (debugLevel() & bits) != 0; }

    bool _stateIsInitialised;
    BCompositeState* _enclosing;
    ModuleId _moduleId;
    ComponentId _componentId;
    StateId _stateId;
};

#endif
