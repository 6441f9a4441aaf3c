#ifndef HELM_BEVENT_H
#define HELM_BEVENT_H

#include "helm/BDefs.h"

class BBinding;

// Base of all events: heap objects with a reference count of 1 at creation.
// Every holder (a sender until it sends, each queue it sits in) owns one
// reference and gives it up with destroy().
class BEvent {
public:
    BEvent(SignalId signal, bool debug);

    virtual ModuleId moduleId() const { return MOD_UNDEFINED; }
    virtual ComponentId componentId() const { return CMP_UNDEFINED; }
    virtual void printData(uint16_t level) const;
    virtual BBinding* binding() const { return nullptr; }

    void copy() { ++_refCount; }
    void destroy();
    uint16_t refCount() const { return _refCount; }
    // Asks the scheduler to keep the event being dispatched for later.
    void defer() const;

    SignalId signalId() const { return _signalId; }
    void signalId(SignalId s) { _signalId = s; }
    bool evtdbg() const { return _debug; }

protected:
    // Events delete themselves when their last holder lets go.
    virtual ~BEvent();

    SignalId _signalId;
    uint16_t _refCount;
    bool _debug;
};

#endif
