#ifndef HELM_BBINDING_H
#define HELM_BBINDING_H

#include "helm/BDefs.h"

class BBinderState;
class BKey;
class BRootState;
template <class T> class SLList;

// A parent binder's link to one child component. Derived bindings say how
// the child's root is created (or shared) in createChild().
class BBinding {
public:
    enum BStatus { UNINITIALIZED = 0, SETUP = 1, ACCEPTED = 2, REJECTED = 3, ACTIVATED = 4, RELEASING = 5 };

    explicit BBinding(BKey* key = nullptr);
    virtual ~BBinding();
    BBinding(const BBinding&) = delete;
    BBinding& operator=(const BBinding&) = delete;

    virtual BRootState* createChild() = 0;
    virtual void destroyChild() {}
    virtual ModuleId childModuleId() const;
    virtual ComponentId childComponentId() const;
    virtual BKey* key() const { return _key; }
    virtual void key(BKey* k) { _key = k; }
    virtual const char* currentStatus() const;
    virtual BBinderState* parent() const { return _parent; }
    virtual BRootState* child() const { return _child; }
    virtual void setup();
    virtual void accepted();
    virtual void rejected();
    virtual void activated();
    virtual void release();
    virtual void released();
    virtual void parent(BBinderState* p);
    virtual void wdError();

    ModuleId parentModuleId() const { return _parentModuleId; }
    ComponentId parentComponentId() const { return _parentComponentId; }
    bool isConnecting() const { return _status == SETUP; }
    bool isAccepted() const { return _status == ACCEPTED; }
    bool isActivated() const { return _status == ACTIVATED; }
    bool isRejected() const { return _status == REJECTED; }
    BStatus status() const { return _status; }

    // The "bnd" and "-help" words of a state dump: lists `list` under
    // "<owner> bindings:", with the ids of each binding's other side.
    static void printList(int argc, char** argv, const char* owner, const char* countLabel, const void* self,
                          const SLList<BBinding*>& list, bool showParents);

protected:
    // Moves from `from` to `to`; false (and nothing changes) while releasing,
    // or with the "unexpected call" report from any other status.
    bool advance(BStatus from, BStatus to);
    // Posts a handshake signal carrying this binding to the parent's or the child's queue.
    void postToParent(SignalId sig);
    void postToChild(SignalId sig);
    // Traces under the child's binding bit (0x200).
    void traceBinding(const char* tag) const;

    BBinderState* _parent;
    BRootState* _child;
    ModuleId _parentModuleId;
    ComponentId _parentComponentId;
    BKey* _key;
    BStatus _status;
};

#endif
